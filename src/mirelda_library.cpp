// libmirelda itself: the list of its classes, the four entry points, the version mark that tools
// read from the file without loading it, and the registration of the classes in the in-process
// class table when the library is loaded. The list lives here, above the class folders, so that
// the frame they all build on knows none of them.
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

namespace mirelda {
namespace {

ServerLibrary& Library() {
  static ServerLibrary library(
      reinterpret_cast<const void*>(&Library),
      {{std::string(frame::DatabaseIdentity().prog_id), frame::DatabaseIdentity().class_id,
        [] { return std::make_shared<database::Database>(); }},
       {std::string(frame::FileSystemIdentity().prog_id), frame::FileSystemIdentity().class_id,
        [] { return std::make_shared<upload::FileSystem>(); }},
       {std::string(frame::WebPageIdentity().prog_id), frame::WebPageIdentity().class_id,
        [] { return std::make_shared<webpage::WebPage>(); }}},
      std::string(frame::kThreadingModel),
      {frame::TypeLibraryId(),
       std::string(frame::kTypeLibraryVersion),
       std::string(frame::kTypeLibraryName),
       {}},
      [] { return frame::PageContext::LiveInstances(); });
  return library;
}

[[maybe_unused]] const bool kAddedToClassTable = (Library().AddToClassTable(), true);

}  // namespace
}  // namespace mirelda

extern "C" MIRELDA_API int32_t DllRegisterServer() { return mirelda::Library().Register(); }

extern "C" MIRELDA_API int32_t DllUnregisterServer() { return mirelda::Library().Unregister(); }

extern "C" MIRELDA_API int32_t DllGetClassObject(const mirelda::Guid* class_id,
                                                 const mirelda::Guid* interface_id,
                                                 void** factory) {
  return mirelda::Library().GetClassObject(class_id, interface_id, factory);
}

extern "C" MIRELDA_API int32_t DllCanUnloadNow() { return mirelda::Library().CanUnloadNow(); }
