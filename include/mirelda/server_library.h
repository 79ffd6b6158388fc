// The four entry points of an in-process server library, written once for every library. A
// library describes itself as a ServerLibrary (its classes, threading model and type library) and
// forwards its extern "C" DllRegisterServer, DllUnregisterServer, DllGetClassObject and
// DllCanUnloadNow to it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "mirelda/export.h"
#include "mirelda/guid.h"
#include "mirelda/registry.h"

namespace mirelda {

struct ServedClass {
  std::string prog_id;
  Guid class_id;
  Creator create;
};

class MIRELDA_API ServerLibrary {
 public:
  // anchor is an address inside the library, by which it finds its own file; live_objects counts
  // the library's objects that are alive.
  ServerLibrary(const void* anchor, std::vector<ServedClass> classes, std::string threading_model,
                TypeLibraryRegistration type_library, std::function<long()> live_objects);
  ServerLibrary(const ServerLibrary&) = delete;
  ServerLibrary& operator=(const ServerLibrary&) = delete;

  // Adds the classes to the in-process class table (done when the library is loaded).
  void AddToClassTable() const;

  // The entry points' work; each answers an HRESULT and raises nothing.
  int32_t Register() const;
  int32_t Unregister() const;
  // A new factory for one of the classes, owning one reference, through factory.
  int32_t GetClassObject(const Guid* class_id, const Guid* interface_id, void** factory);
  // kS_OK when no object, factory or server lock of the library is outstanding.
  int32_t CanUnloadNow() const;

  const std::vector<ServedClass>& classes() const { return classes_; }

 private:
  friend class LibraryFactory;
  ServerRegistration Describe() const;

  const void* anchor_;
  std::vector<ServedClass> classes_;
  std::string threading_model_;
  TypeLibraryRegistration type_library_;
  std::function<long()> live_objects_;
  std::atomic<long> factories_{0};
  std::atomic<long> locks_{0};
};

}  // namespace mirelda
