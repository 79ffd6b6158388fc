// The in-process class table and creation by ProgID.
#include <dlfcn.h>
#include <sys/stat.h>
#include <time.h>

#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>

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

// The table, the libraries and the store are read by every creation and seldom changed: readers
// share the lock, so pages creating objects on several threads never wait for one another (a
// wait sends a quick page back to the workers).
struct Table {
  std::shared_mutex mutex;
  std::map<std::string, TableEntry> by_prog_id;  // keyed by lower-case ProgID
};

Table& TheTable() {
  static Table* table = new Table;  // never destroyed: libraries may add classes during exit
  return *table;
}

// Libraries loaded for the store stay loaded for the life of the process: objects and factories
// they made may outlive any caller's reference to the library.
struct Libraries {
  std::shared_mutex mutex;
  std::map<std::string, void*> handles;
};

Libraries& TheLibraries() {
  static Libraries* libraries = new Libraries;
  return *libraries;
}

void* LoadLibrary(const std::string& path) {
  Libraries& libs = TheLibraries();
  {
    std::shared_lock lock(libs.mutex);
    auto it = libs.handles.find(path);
    if (it != libs.handles.end()) return it->second;
  }
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

// The store as last read, kept while its file is unchanged: pages create objects by ProgID on
// every request, and opening and parsing the file each time cost more than making the object.
// Stores are replaced by a rename, so a registration changes the file's identity and the next
// creation reads it again.
struct StoreCache {
  struct Identity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    bool operator==(const Identity& o) const {
      return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
             modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
  };

  std::shared_mutex mutex;
  std::filesystem::path path;
  Identity identity;
  std::shared_ptr<const Registrations> registrations;
};

StoreCache::Identity IdentityOf(const std::filesystem::path& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return {};
  return {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
}

std::shared_ptr<const Registrations> CurrentRegistrations() {
  static StoreCache* cache = new StoreCache;  // never destroyed, as the class table
  std::filesystem::path path = RegistrationStore::DefaultPath();
  StoreCache::Identity identity = IdentityOf(path);
  // The file clock ticks coarsely and a freed inode is soon reused: a store written again within
  // the same tick, at the same size, could look unchanged. One written in the last two seconds
  // is therefore read afresh each time.
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  if (identity.exists && now.tv_sec - identity.modified.tv_sec < 2) {
    return std::make_shared<const Registrations>(RegistrationStore(path).Load());
  }
  {
    std::shared_lock lock(cache->mutex);
    if (cache->registrations && cache->path == path && cache->identity == identity) {
      return cache->registrations;
    }
  }
  auto registrations = std::make_shared<const Registrations>(RegistrationStore(path).Load());
  std::lock_guard lock(cache->mutex);
  cache->path = std::move(path);
  cache->identity = identity;
  cache->registrations = registrations;
  return registrations;
}

}  // namespace

ClassFactory::~ClassFactory() = default;

const Guid& ClassFactoryInterfaceId() {
  static const Guid iid = *ParseGuid("{00000001-0000-0000-C000-000000000046}");
  return iid;
}

void ClassTable::Add(std::string prog_id, std::optional<Guid> class_id, Creator create) {
  Table& t = TheTable();
  std::string key = text::ToLowerAscii(prog_id);
  std::lock_guard lock(t.mutex);
  t.by_prog_id[key] = TableEntry{std::move(prog_id), class_id, std::move(create)};
}

void ClassTable::Remove(std::string_view prog_id) {
  Table& t = TheTable();
  std::string key = text::ToLowerAscii(prog_id);
  std::lock_guard lock(t.mutex);
  t.by_prog_id.erase(key);
}

std::optional<Creator> ClassTable::Find(std::string_view prog_id) {
  Table& t = TheTable();
  std::string key = text::ToLowerAscii(prog_id);
  std::shared_lock lock(t.mutex);
  auto it = t.by_prog_id.find(key);
  if (it == t.by_prog_id.end()) return std::nullopt;
  return it->second.create;
}

std::shared_ptr<Dispatch> CreateObject(std::string_view prog_id) {
  if (auto creator = ClassTable::Find(prog_id)) return (*creator)();
  std::shared_ptr<const Registrations> registrations = CurrentRegistrations();
  if (const ClassRegistration* entry = registrations->FindProgId(prog_id)) {
    return CreateFromLibrary(*entry);
  }
  throw Error(errc::kInvalidClassString,
              "Invalid class string: no class is registered as '" + std::string(prog_id) + "'");
}

}  // namespace mirelda
