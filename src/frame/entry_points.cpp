// The four entry points of the in-process server, the version mark that tools read from the file
// without loading it, and the registration of the classes in the in-process class table when the
// library is loaded.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <string>

#include "frame/class_factory.h"
#include "frame/identity.h"
#include "frame/page_context.h"
#include "mirelda/error.h"
#include "mirelda/export.h"
#include "mirelda/registry.h"
#include "mirelda/text.h"

// Read by "mirelda-regsvr --info" straight from the ELF section, like a version resource.
__attribute__((section(".mirelda.version"), used)) static const char kVersionMark[] =
    "FileVersion=1.0.0.0\nProductName=Mirelda\nOLESelfRegister\n";

namespace mirelda::frame {
namespace {

constexpr int32_t kE_NoInterface = -2147467262;  // 0x80004002
constexpr int32_t kE_Pointer = -2147467261;      // 0x80004003

std::string ThisLibraryPath() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<const void*>(&ThisLibraryPath), &info) == 0 || !info.dli_fname) {
    throw Error(errc::kUnspecified, "Cannot tell which file this library was loaded from");
  }
  char resolved[PATH_MAX];
  if (::realpath(info.dli_fname, resolved)) return resolved;
  return info.dli_fname;
}

int32_t ResultOf(const Error& e) { return e.number() < 0 ? e.number() : errc::kUnspecified; }

bool IsOurs(const ClassRegistration& entry) {
  for (const ClassIdentity* id : AllClasses()) {
    if (entry.class_id == id->class_id) return true;
  }
  return false;
}

[[maybe_unused]] const bool kAddedToClassTable = [] {
  for (const ClassIdentity* id : AllClasses()) {
    ClassTable::Add(std::string(id->prog_id), id->class_id,
                    [id] { return CreateComponent(*id); });
  }
  return true;
}();

}  // namespace
}  // namespace mirelda::frame

using namespace mirelda;
using namespace mirelda::frame;

extern "C" MIRELDA_API int32_t DllRegisterServer() {
  try {
    const std::string library = ThisLibraryPath();
    RegistrationStore(RegistrationStore::DefaultPath()).Update([&](Registrations& r) {
      std::erase_if(r.classes, [](const ClassRegistration& c) {
        if (IsOurs(c)) return true;
        for (const ClassIdentity* id : AllClasses()) {
          if (text::EqualsIgnoreCase(c.prog_id, id->prog_id)) return true;
        }
        return false;
      });
      std::erase_if(r.type_libraries,
                    [](const TypeLibraryRegistration& t) { return t.id == TypeLibraryId(); });
      for (const ClassIdentity* id : AllClasses()) {
        r.classes.push_back({std::string(id->prog_id), id->class_id, library,
                             std::string(kThreadingModel), TypeLibraryId(),
                             std::string(kTypeLibraryVersion)});
      }
      r.type_libraries.push_back({TypeLibraryId(), std::string(kTypeLibraryVersion),
                                  std::string(kTypeLibraryName), library});
    });
    return kS_OK;
  } catch (const Error& e) {
    return ResultOf(e);
  }
}

extern "C" MIRELDA_API int32_t DllUnregisterServer() {
  try {
    RegistrationStore(RegistrationStore::DefaultPath()).Update([](Registrations& r) {
      std::erase_if(r.classes, IsOurs);
      std::erase_if(r.type_libraries,
                    [](const TypeLibraryRegistration& t) { return t.id == TypeLibraryId(); });
    });
    return kS_OK;
  } catch (const Error& e) {
    return ResultOf(e);
  }
}

extern "C" MIRELDA_API int32_t DllGetClassObject(const Guid* class_id, const Guid* interface_id,
                                                 void** factory) {
  if (!factory) return kE_Pointer;
  *factory = nullptr;
  if (!class_id || !interface_id) return kE_Pointer;
  for (const ClassIdentity* id : AllClasses()) {
    if (*class_id != id->class_id) continue;
    if (*interface_id != ClassFactoryInterfaceId()) return kE_NoInterface;
    *factory = static_cast<ClassFactory*>(new ComponentFactory(*id));
    return kS_OK;
  }
  return errc::kClassNotAvailable;
}

extern "C" MIRELDA_API int32_t DllCanUnloadNow() {
  bool idle = PageContext::LiveInstances() == 0 && ComponentFactory::OutstandingFactories() == 0 &&
              ComponentFactory::ServerLocks() == 0;
  return idle ? kS_OK : kS_FALSE;
}
