// The class factory that DllGetClassObject hands out, and the counts behind DllCanUnloadNow.
#pragma once

#include <atomic>

#include "frame/identity.h"
#include "mirelda/registry.h"

namespace mirelda::frame {

class ComponentFactory final : public ClassFactory {
 public:
  // Starts with one reference, owned by the caller.
  explicit ComponentFactory(const ClassIdentity& identity);
  ~ComponentFactory() override;

  std::shared_ptr<Dispatch> CreateInstance() override;
  void LockServer(bool lock) override;
  void AddRef() override;
  void Release() override;

  // Factories not yet released and LockServer locks still held, across the library.
  static long OutstandingFactories();
  static long ServerLocks();

 private:
  const ClassIdentity& identity_;
  std::atomic<long> references_{1};
};

// A fresh instance of one of the three classes.
std::shared_ptr<Dispatch> CreateComponent(const ClassIdentity& identity);

}  // namespace mirelda::frame
