// The four entry points of libmirelda, the version mark that tools read from the file without
// loading it, and the registration of the classes in the in-process class table when the library
// is loaded.
#include <string>

#include "database/database.h"
#include "frame/identity.h"
#include "frame/page_context.h"
#include "mirelda/export.h"
#include "mirelda/server_library.h"
#include "upload/file_system.h"
#include "webpage/web_page.h"

// Read by "mirelda-regsvr --info" straight from the ELF section, like a version resource.
__attribute__((section(".mirelda.version"), used)) static const char kVersionMark[] =
    "FileVersion=1.0.0.0\nProductName=Mirelda\nOLESelfRegister\n";

namespace mirelda::frame {
namespace {

ServerLibrary& Library() {
  static ServerLibrary library(
      reinterpret_cast<const void*>(&Library),
      {{std::string(DatabaseIdentity().prog_id), DatabaseIdentity().class_id,
        [] { return std::make_shared<database::Database>(); }},
       {std::string(FileSystemIdentity().prog_id), FileSystemIdentity().class_id,
        [] { return std::make_shared<upload::FileSystem>(); }},
       {std::string(WebPageIdentity().prog_id), WebPageIdentity().class_id,
        [] { return std::make_shared<webpage::WebPage>(); }}},
      std::string(kThreadingModel),
      {TypeLibraryId(), std::string(kTypeLibraryVersion), std::string(kTypeLibraryName), {}},
      [] { return PageContext::LiveInstances(); });
  return library;
}

[[maybe_unused]] const bool kAddedToClassTable = (Library().AddToClassTable(), true);

}  // namespace
}  // namespace mirelda::frame

extern "C" MIRELDA_API int32_t DllRegisterServer() { return mirelda::frame::Library().Register(); }

extern "C" MIRELDA_API int32_t DllUnregisterServer() {
  return mirelda::frame::Library().Unregister();
}

extern "C" MIRELDA_API int32_t DllGetClassObject(const mirelda::Guid* class_id,
                                                 const mirelda::Guid* interface_id,
                                                 void** factory) {
  return mirelda::frame::Library().GetClassObject(class_id, interface_id, factory);
}

extern "C" MIRELDA_API int32_t DllCanUnloadNow() {
  return mirelda::frame::Library().CanUnloadNow();
}
