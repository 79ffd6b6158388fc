#include "mirelda/server_library.h"

#include "mirelda/error.h"

namespace mirelda {

constexpr int32_t kE_NoInterface = -2147467262;  // 0x80004002
constexpr int32_t kE_Pointer = -2147467261;      // 0x80004003

// A factory of one class; while it lives, and while a lock it took is held, the library counts as
// in use.
class LibraryFactory final : public ClassFactory {
 public:
  LibraryFactory(ServerLibrary& library, const ServedClass& served)
      : library_(library), served_(served) {
    ++library_.factories_;
  }
  ~LibraryFactory() override { --library_.factories_; }

  std::shared_ptr<Dispatch> CreateInstance() override { return served_.create(); }
  void LockServer(bool lock) override {
    if (lock) {
      ++library_.locks_;
    } else if (library_.locks_.load() > 0) {
      --library_.locks_;
    }
  }
  void AddRef() override { ++references_; }
  void Release() override {
    if (--references_ == 0) delete this;
  }

 private:
  ServerLibrary& library_;
  const ServedClass& served_;
  std::atomic<long> references_{1};
};

namespace {

int32_t ResultOf(const Error& e) { return e.number() < 0 ? e.number() : errc::kUnspecified; }

}  // namespace

ServerLibrary::ServerLibrary(const void* anchor, std::vector<ServedClass> classes,
                             std::string threading_model, TypeLibraryRegistration type_library,
                             std::function<long()> live_objects)
    : anchor_(anchor),
      classes_(std::move(classes)),
      threading_model_(std::move(threading_model)),
      type_library_(std::move(type_library)),
      live_objects_(std::move(live_objects)) {}

void ServerLibrary::AddToClassTable() const {
  for (const ServedClass& c : classes_) ClassTable::Add(c.prog_id, c.class_id, c.create);
}

ServerRegistration ServerLibrary::Describe() const {
  ServerRegistration server;
  server.library = LibraryPathOf(anchor_);
  for (const ServedClass& c : classes_) server.classes.emplace_back(c.prog_id, c.class_id);
  server.threading_model = threading_model_;
  server.type_library = type_library_;
  server.type_library.library = server.library;
  return server;
}

int32_t ServerLibrary::Register() const {
  try {
    RegisterServer(RegistrationStore(RegistrationStore::DefaultPath()), Describe());
    return kS_OK;
  } catch (const Error& e) {
    return ResultOf(e);
  }
}

int32_t ServerLibrary::Unregister() const {
  try {
    UnregisterServer(RegistrationStore(RegistrationStore::DefaultPath()), Describe());
    return kS_OK;
  } catch (const Error& e) {
    return ResultOf(e);
  }
}

int32_t ServerLibrary::GetClassObject(const Guid* class_id, const Guid* interface_id,
                                      void** factory) {
  if (!factory) return kE_Pointer;
  *factory = nullptr;
  if (!class_id || !interface_id) return kE_Pointer;
  for (const ServedClass& c : classes_) {
    if (*class_id != c.class_id) continue;
    if (*interface_id != ClassFactoryInterfaceId()) return kE_NoInterface;
    *factory = static_cast<ClassFactory*>(new LibraryFactory(*this, c));
    return kS_OK;
  }
  return errc::kClassNotAvailable;
}

int32_t ServerLibrary::CanUnloadNow() const {
  bool idle = live_objects_() == 0 && factories_.load() == 0 && locks_.load() == 0;
  return idle ? kS_OK : kS_FALSE;
}

}  // namespace mirelda
