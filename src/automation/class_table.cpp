// The in-process class table and creation by ProgID.
#include <dlfcn.h>

#include <map>
#include <mutex>

#include "mirelda/error.h"
#include "mirelda/registry.h"
#include "mirelda/text.h"

namespace mirelda {
namespace {

struct TableEntry {
  std::string prog_id;
  std::optional<Guid> class_id;
  Creator create;
};

struct Table {
  std::mutex mutex;
  std::map<std::string, TableEntry> by_prog_id;  // keyed by lower-case ProgID
};

Table& TheTable() {
  static Table* table = new Table;  // never destroyed: libraries may add classes during exit
  return *table;
}

// Libraries loaded for the store stay loaded for the life of the process: objects and factories
// they made may outlive any caller's reference to the library.
struct Libraries {
  std::mutex mutex;
  std::map<std::string, void*> handles;
};

Libraries& TheLibraries() {
  static Libraries* libraries = new Libraries;
  return *libraries;
}

void* LoadLibrary(const std::string& path) {
  Libraries& libs = TheLibraries();
  std::lock_guard lock(libs.mutex);
  auto it = libs.handles.find(path);
  if (it != libs.handles.end()) return it->second;
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = ::dlerror();
    throw Error(errc::kModuleNotFound,
                "Cannot load the library " + path + (why ? std::string(": ") + why : ""));
  }
  libs.handles.emplace(path, handle);
  return handle;
}

std::shared_ptr<Dispatch> CreateFromLibrary(const ClassRegistration& entry) {
  void* handle = LoadLibrary(entry.library);
  auto get_class_object =
      reinterpret_cast<DllGetClassObjectFn>(::dlsym(handle, "DllGetClassObject"));
  if (!get_class_object) {
    throw Error(errc::kClassNotAvailable,
                "The library " + entry.library + " has no DllGetClassObject");
  }
  void* raw = nullptr;
  int32_t hr = get_class_object(&entry.class_id, &ClassFactoryInterfaceId(), &raw);
  if (hr != kS_OK || !raw) {
    throw Error(hr != kS_OK ? hr : errc::kClassNotAvailable,
                "The library " + entry.library + " does not serve the class " + entry.prog_id +
                    " " + ToString(entry.class_id));
  }
  auto* factory = static_cast<ClassFactory*>(raw);
  std::shared_ptr<Dispatch> object;
  try {
    object = factory->CreateInstance();
  } catch (...) {
    factory->Release();
    throw;
  }
  factory->Release();
  return object;
}

}  // namespace

ClassFactory::~ClassFactory() = default;

const Guid& ClassFactoryInterfaceId() {
  static const Guid iid = *ParseGuid("{00000001-0000-0000-C000-000000000046}");
  return iid;
}

void ClassTable::Add(std::string prog_id, std::optional<Guid> class_id, Creator create) {
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  std::string key = text::ToLowerAscii(prog_id);
  t.by_prog_id[key] = TableEntry{std::move(prog_id), class_id, std::move(create)};
}

void ClassTable::Remove(std::string_view prog_id) {
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  t.by_prog_id.erase(text::ToLowerAscii(prog_id));
}

std::optional<Creator> ClassTable::Find(std::string_view prog_id) {
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  auto it = t.by_prog_id.find(text::ToLowerAscii(prog_id));
  if (it == t.by_prog_id.end()) return std::nullopt;
  return it->second.create;
}

std::shared_ptr<Dispatch> CreateObject(std::string_view prog_id) {
  if (auto creator = ClassTable::Find(prog_id)) return (*creator)();
  Registrations registrations = RegistrationStore(RegistrationStore::DefaultPath()).Load();
  if (const ClassRegistration* entry = registrations.FindProgId(prog_id)) {
    return CreateFromLibrary(*entry);
  }
  throw Error(errc::kInvalidClassString,
              "Invalid class string: no class is registered as '" + std::string(prog_id) + "'");
}

}  // namespace mirelda
