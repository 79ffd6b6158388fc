// The four entry points of libmirelda-data.so. Built into the shared library only: tests link the
// library's objects without them, beside the component library's own entry points.
#include <atomic>

#include "data/data_classes.h"
#include "data/live_objects.h"
#include "mirelda/error.h"
#include "mirelda/export.h"
#include "mirelda/registry.h"

namespace mirelda::data {
namespace {

constexpr int32_t kE_NoInterface = -2147467262;  // 0x80004002
constexpr int32_t kE_Pointer = -2147467261;      // 0x80004003

std::atomic<long> g_factories{0};
std::atomic<long> g_locks{0};

class DataFactory final : public ClassFactory {
 public:
  explicit DataFactory(const DataClass& data_class) : class_(data_class) { ++g_factories; }
  ~DataFactory() override { --g_factories; }

  std::shared_ptr<Dispatch> CreateInstance() override { return class_.create(); }
  void LockServer(bool lock) override {
    if (lock) {
      ++g_locks;
    } else if (g_locks.load() > 0) {
      --g_locks;
    }
  }
  void AddRef() override { ++references_; }
  void Release() override {
    if (--references_ == 0) delete this;
  }

 private:
  const DataClass& class_;
  std::atomic<long> references_{1};
};

ServerRegistration ThisServer() {
  ServerRegistration server;
  server.library = LibraryPathOf(reinterpret_cast<const void*>(&ThisServer));
  for (const DataClass& c : DataClasses())
    server.classes.emplace_back(std::string(c.prog_id), c.class_id);
  server.threading_model = std::string(kDataThreadingModel);
  server.type_library = {DataTypeLibraryId(), std::string(kDataTypeLibraryVersion),
                         std::string(kDataTypeLibraryName), server.library};
  return server;
}

int32_t ResultOf(const Error& e) { return e.number() < 0 ? e.number() : errc::kUnspecified; }

}  // namespace
}  // namespace mirelda::data

using namespace mirelda;
using namespace mirelda::data;

extern "C" MIRELDA_API int32_t DllRegisterServer() {
  try {
    RegisterServer(RegistrationStore(RegistrationStore::DefaultPath()), ThisServer());
    return kS_OK;
  } catch (const Error& e) {
    return ResultOf(e);
  }
}

extern "C" MIRELDA_API int32_t DllUnregisterServer() {
  try {
    UnregisterServer(RegistrationStore(RegistrationStore::DefaultPath()), ThisServer());
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
  for (const DataClass& c : DataClasses()) {
    if (*class_id != c.class_id) continue;
    if (*interface_id != ClassFactoryInterfaceId()) return kE_NoInterface;
    *factory = static_cast<ClassFactory*>(new DataFactory(c));
    return kS_OK;
  }
  return errc::kClassNotAvailable;
}

extern "C" MIRELDA_API int32_t DllCanUnloadNow() {
  bool idle = LiveObject::Count() == 0 && g_factories.load() == 0 && g_locks.load() == 0;
  return idle ? kS_OK : kS_FALSE;
}
