// The registration-store updates that every in-process server library's DllRegisterServer and
// DllUnregisterServer make, and the path of the library that runs them.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <algorithm>

#include "mirelda/error.h"
#include "mirelda/registry.h"
#include "mirelda/text.h"

namespace mirelda {
namespace {

bool NamesClassOf(const ServerRegistration& server, const ClassRegistration& entry,
                  bool by_prog_id) {
  for (const auto& [prog_id, class_id] : server.classes) {
    if (entry.class_id == class_id) return true;
    if (by_prog_id && text::EqualsIgnoreCase(entry.prog_id, prog_id)) return true;
  }
  return false;
}

}  // namespace

std::string LibraryPathOf(const void* address) {
  Dl_info info{};
  if (::dladdr(address, &info) == 0 || !info.dli_fname) {
    throw Error(errc::kUnspecified, "Cannot tell which file this library was loaded from");
  }
  char resolved[PATH_MAX];
  if (::realpath(info.dli_fname, resolved)) return resolved;
  return info.dli_fname;
}

void RegisterServer(const RegistrationStore& store, const ServerRegistration& server) {
  store.Update([&](Registrations& r) {
    // A ProgID serves one class: an older entry under the same name, from any library, goes.
    std::erase_if(r.classes,
                  [&](const ClassRegistration& c) { return NamesClassOf(server, c, true); });
    std::erase_if(r.type_libraries,
                  [&](const TypeLibraryRegistration& t) { return t.id == server.type_library.id; });
    for (const auto& [prog_id, class_id] : server.classes) {
      r.classes.push_back({prog_id, class_id, server.library, server.threading_model,
                           server.type_library.id, server.type_library.version});
    }
    r.type_libraries.push_back(server.type_library);
  });
}

void UnregisterServer(const RegistrationStore& store, const ServerRegistration& server) {
  store.Update([&](Registrations& r) {
    std::erase_if(r.classes,
                  [&](const ClassRegistration& c) { return NamesClassOf(server, c, false); });
    std::erase_if(r.type_libraries,
                  [&](const TypeLibraryRegistration& t) { return t.id == server.type_library.id; });
  });
}

}  // namespace mirelda
