// Registration and creation by ProgID. A library records its classes in the registration store
// (DllRegisterServer); CreateObject finds a class by ProgID without regard to case, first in the
// in-process class table, then in the store, loading the library that serves it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mirelda/dispatch.h"
#include "mirelda/export.h"
#include "mirelda/guid.h"

namespace mirelda {

// Makes instances of one class. Libraries hand factories out through DllGetClassObject.
class MIRELDA_API ClassFactory {
 public:
  virtual ~ClassFactory();
  // A fresh, independent instance.
  virtual std::shared_ptr<Dispatch> CreateInstance() = 0;
  // Keeps the serving library loaded while locked (counts towards DllCanUnloadNow).
  virtual void LockServer(bool lock) = 0;
  // Factories are reference counted across the C entry points: the caller of DllGetClassObject
  // owns one reference and gives it back with Release.
  virtual void AddRef() = 0;
  virtual void Release() = 0;
};

// One class as the store records it.
struct ClassRegistration {
  std::string prog_id;
  Guid class_id;
  std::string library;          // absolute path of the in-process server
  std::string threading_model;  // "Apartment"
  Guid type_library;
  std::string type_library_version;  // "181.0"
  friend bool operator==(const ClassRegistration&, const ClassRegistration&) = default;
};

struct TypeLibraryRegistration {
  Guid id;
  std::string version;
  std::string name;
  std::string library;
  friend bool operator==(const TypeLibraryRegistration&, const TypeLibraryRegistration&) = default;
};

struct MIRELDA_API Registrations {
  std::vector<ClassRegistration> classes;
  std::vector<TypeLibraryRegistration> type_libraries;

  // The class of this ProgID, matched without regard to case.
  const ClassRegistration* FindProgId(std::string_view prog_id) const;
};

// The registration store: one text file. Writers hold an exclusive lock on a companion lock file,
// write the new content to a temporary file beside the store, flush it to disk and rename it over
// the store, so two processes registering at once never lose or corrupt an entry and a reader
// (which takes no lock) sees either the old or the new file, never a half-written one.
class MIRELDA_API RegistrationStore {
 public:
  explicit RegistrationStore(std::filesystem::path file);

  // MIRELDA_REGISTRY when set; otherwise $XDG_STATE_HOME/mirelda/registry, falling back to
  // ~/.local/state/mirelda/registry.
  static std::filesystem::path DefaultPath();

  const std::filesystem::path& path() const { return file_; }

  // The current content; a missing store is empty. Lines it does not understand are skipped.
  Registrations Load() const;

  // Applies change to the current content and stores the result atomically. Raises Error
  // (Permission denied, Path not found) when the store cannot be written; the store is then
  // unchanged.
  void Update(const std::function<void(Registrations&)>& change) const;

 private:
  std::filesystem::path file_;
};

// What an in-process server library records about itself in the registration store.
struct ServerRegistration {
  std::string library;                                // absolute path of the library file
  std::vector<std::pair<std::string, Guid>> classes;  // ProgID and class id of each class
  std::string threading_model;                        // "Apartment"
  TypeLibraryRegistration type_library;
};

// The absolute path of the loaded library (or program) whose code or data holds address. Raises
// Error when the loader cannot tell.
MIRELDA_API std::string LibraryPathOf(const void* address);

// The store update of DllRegisterServer: removes every entry that names one of the server's class
// ids or ProgIDs (any letter case) and its type library, then records the server's classes and
// type library. Raises Error as RegistrationStore::Update does; the store is then unchanged.
MIRELDA_API void RegisterServer(const RegistrationStore& store, const ServerRegistration& server);
// The store update of DllUnregisterServer: removes exactly the server's classes (by class id) and
// its type library.
MIRELDA_API void UnregisterServer(const RegistrationStore& store, const ServerRegistration& server);

using Creator = std::function<std::shared_ptr<Dispatch>()>;

// Classes compiled into or loaded into this process. Libraries add their classes when loaded.
class MIRELDA_API ClassTable {
 public:
  static void Add(std::string prog_id, std::optional<Guid> class_id, Creator create);
  static void Remove(std::string_view prog_id);
  // The creator of a ProgID, matched without regard to case.
  static std::optional<Creator> Find(std::string_view prog_id);
};

// Creates an object by ProgID: the in-process class table first, then the store at
// RegistrationStore::DefaultPath() (loading the library and asking its DllGetClassObject). Raises
// Error kInvalidClassString ("Invalid class string") for an unknown ProgID, and an Error naming the
// library when it cannot be loaded.
MIRELDA_API std::shared_ptr<Dispatch> CreateObject(std::string_view prog_id);

// The signatures of the four entry points of an in-process server library.
extern "C" {
using DllRegisterServerFn = int32_t (*)();
using DllUnregisterServerFn = int32_t (*)();
using DllGetClassObjectFn = int32_t (*)(const Guid* class_id, const Guid* interface_id,
                                        void** factory);
using DllCanUnloadNowFn = int32_t (*)();
}

// HRESULTs of the entry points.
inline constexpr int32_t kS_OK = 0;
inline constexpr int32_t kS_FALSE = 1;

// The interface identifier of ClassFactory, for DllGetClassObject.
MIRELDA_API const Guid& ClassFactoryInterfaceId();

}  // namespace mirelda
