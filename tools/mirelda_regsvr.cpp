// mirelda-regsvr: registers and unregisters in-process server libraries, shows a library's
// version mark, and creates a class by ProgID to show its identity and member table.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "elf_section.h"
#include "mirelda/dispatch.h"
#include "mirelda/error.h"
#include "mirelda/registry.h"
#include "mirelda/version.h"

namespace {

constexpr const char* kUsage =
    "usage: mirelda-regsvr [--registry FILE] [-u] LIBRARY   register (-u: unregister) a library\n"
    "       mirelda-regsvr [--registry FILE] --show PROGID  create a class by ProgID and print "
    "its\n"
    "                                                       identity and member table\n"
    "       mirelda-regsvr [--registry FILE] --list         print the registration store\n"
    "       mirelda-regsvr --info LIBRARY                   print a library's version mark\n"
    "       mirelda-regsvr --version                        print this program's release\n"
    "The store is FILE, else $MIRELDA_REGISTRY, else ~/.local/state/mirelda/registry.\n";

int CallEntryPoint(const std::string& library, const char* entry_point) {
  void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::cerr << "mirelda-regsvr: cannot load " << library << ": " << ::dlerror() << "\n";
    return 1;
  }
  auto fn = reinterpret_cast<mirelda::DllRegisterServerFn>(::dlsym(handle, entry_point));
  if (!fn) {
    std::cerr << "mirelda-regsvr: " << library << " has no " << entry_point << "\n";
    return 1;
  }
  int32_t hr = fn();
  if (hr != mirelda::kS_OK) {
    std::cerr << "mirelda-regsvr: " << entry_point << " failed with " << hr << "\n";
    return 1;
  }
  std::cout << entry_point << " in " << library << " succeeded ("
            << mirelda::RegistrationStore::DefaultPath().string() << ")\n";
  return 0;
}

std::string Describe(const mirelda::Param& p) {
  std::string out;
  if (p.optional) out += "[";
  if (p.by_ref) out += "ByRef ";
  out += p.name + " As " + std::string(mirelda::ToString(p.type));
  if (p.optional) out += "]";
  return out;
}

int Show(const std::string& prog_id) {
  std::shared_ptr<mirelda::Dispatch> object = mirelda::CreateObject(prog_id);
  const mirelda::MemberTable& table = object->Members();
  std::cout << "ProgID:     " << prog_id << "\n"
            << "Class:      " << object->ClassName() << "\n";
  if (auto id = object->ClassId()) std::cout << "Class ID:   " << mirelda::ToString(*id) << "\n";
  std::cout << "Interface:  " << table.interface_name();
  if (table.interface_id()) std::cout << " " << mirelda::ToString(*table.interface_id());
  std::cout << " (dual)\n";
  mirelda::Registrations r =
      mirelda::RegistrationStore(mirelda::RegistrationStore::DefaultPath()).Load();
  if (const mirelda::ClassRegistration* entry = r.FindProgId(prog_id)) {
    std::cout << "Library:    " << entry->library << "\n"
              << "Threading:  " << entry->threading_model << "\n"
              << "Type lib:   " << mirelda::ToString(entry->type_library) << " version "
              << entry->type_library_version << "\n";
  }
  std::cout << "Members:\n";
  for (const mirelda::Member& m : table.members()) {
    std::string params;
    for (const mirelda::Param& p : m.params) params += (params.empty() ? "" : ", ") + Describe(p);
    std::cout << "  " << m.name << " (" << mirelda::ToString(m.kind) << ")"
              << "(" << params << ")";
    if (m.result != mirelda::ParamType::kNone) {
      std::cout << " As " << mirelda::ToString(m.result);
    }
    std::cout << "\n";
  }
  return 0;
}

int List() {
  mirelda::RegistrationStore store(mirelda::RegistrationStore::DefaultPath());
  mirelda::Registrations r = store.Load();
  std::cout << "# " << store.path().string() << "\n";
  for (const auto& c : r.classes) {
    std::cout << c.prog_id << "\t" << mirelda::ToString(c.class_id) << "\t" << c.library << "\t"
              << c.threading_model << "\n";
  }
  for (const auto& t : r.type_libraries) {
    std::cout << "type library " << t.name << " " << t.version << "\t" << mirelda::ToString(t.id)
              << "\t" << t.library << "\n";
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool unregister = false;
  std::string mode, target;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--version") {
      std::cout << "mirelda-regsvr " MIRELDA_VERSION "\n";
      return 0;
    } else if (arg == "--registry" && i + 1 < argc) {
      ::setenv("MIRELDA_REGISTRY", argv[++i], 1);
    } else if (arg == "-u") {
      unregister = true;
    } else if ((arg == "--show" || arg == "--info") && i + 1 < argc) {
      mode = arg;
      target = argv[++i];
    } else if (arg == "--list") {
      mode = arg;
    } else if (!arg.empty() && arg[0] != '-' && target.empty()) {
      target = arg;
    } else {
      std::cerr << kUsage;
      return 2;
    }
  }
  try {
    if (mode == "--list") return List();
    if (mode == "--show") return Show(target);
    if (mode == "--info") {
      auto mark = mirelda::tools::ReadElfSection(target, ".mirelda.version");
      if (!mark) {
        std::cerr << "mirelda-regsvr: " << target << " carries no version mark\n";
        return 1;
      }
      std::cout << mark->c_str();
      return 0;
    }
    if (target.empty()) {
      std::cerr << kUsage;
      return 2;
    }
    return CallEntryPoint(target, unregister ? "DllUnregisterServer" : "DllRegisterServer");
  } catch (const mirelda::Error& e) {
    std::cerr << "mirelda-regsvr: error " << e.number() << ": " << e.description() << "\n";
    return 1;
  }
}
