// The four entry points of the in-process server, the version mark that tools read from the file
// without loading it, and the registration of the classes in the in-process class table when the
// library is loaded.
#include <string>

#include "frame/class_factory.h"
#include "frame/identity.h"
#include "frame/page_context.h"
#include "mirelda/error.h"
#include "mirelda/export.h"
#include "mirelda/registry.h"

// Read by "mirelda-regsvr --info" straight from the ELF section, like a version resource.
__attribute__((section(".mirelda.version"), used)) static const char kVersionMark[] =
    "FileVersion=1.0.0.0\nProductName=Mirelda\nOLESelfRegister\n";

namespace mirelda::frame {
namespace {

constexpr int32_t kE_NoInterface = -2147467262;  // 0x80004002
constexpr int32_t kE_Pointer = -2147467261;      // 0x80004003

// The library's entry in the registration store.
ServerRegistration ThisServer() {
  ServerRegistration server;
  server.library = LibraryPathOf(reinterpret_cast<const void*>(&ThisServer));
  for (const ClassIdentity* id : AllClasses()) {
    server.classes.emplace_back(std::string(id->prog_id), id->class_id);
  }
  server.threading_model = std::string(kThreadingModel);
  server.type_library = {TypeLibraryId(), std::string(kTypeLibraryVersion),
                         std::string(kTypeLibraryName), server.library};
  return server;
}

int32_t ResultOf(const Error& e) { return e.number() < 0 ? e.number() : errc::kUnspecified; }

[[maybe_unused]] const bool kAddedToClassTable = [] {
  for (const ClassIdentity* id : AllClasses()) {
    ClassTable::Add(std::string(id->prog_id), id->class_id, [id] { return CreateComponent(*id); });
  }
  return true;
}();

}  // namespace
}  // namespace mirelda::frame

using namespace mirelda;
using namespace mirelda::frame;

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
