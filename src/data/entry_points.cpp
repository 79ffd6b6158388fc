// The four entry points of libmirelda-data.so. Built into the shared library only: tests link the
// library's objects without them, beside the component library's own entry points.
#include "data/data_classes.h"
#include "data/live_objects.h"
#include "mirelda/export.h"
#include "mirelda/server_library.h"

namespace mirelda::data {
namespace {

std::vector<ServedClass> Served() {
  std::vector<ServedClass> served;
  for (const DataClass& c : DataClasses()) {
    served.push_back({std::string(c.prog_id), c.class_id, c.create});
  }
  return served;
}

ServerLibrary& Library() {
  static ServerLibrary library(reinterpret_cast<const void*>(&Library), Served(),
                               std::string(kDataThreadingModel),
                               {DataTypeLibraryId(),
                                std::string(kDataTypeLibraryVersion),
                                std::string(kDataTypeLibraryName),
                                {}},
                               [] { return LiveObject::Count(); });
  return library;
}

}  // namespace
}  // namespace mirelda::data

extern "C" MIRELDA_API int32_t DllRegisterServer() { return mirelda::data::Library().Register(); }

extern "C" MIRELDA_API int32_t DllUnregisterServer() {
  return mirelda::data::Library().Unregister();
}

extern "C" MIRELDA_API int32_t DllGetClassObject(const mirelda::Guid* class_id,
                                                 const mirelda::Guid* interface_id,
                                                 void** factory) {
  return mirelda::data::Library().GetClassObject(class_id, interface_id, factory);
}

extern "C" MIRELDA_API int32_t DllCanUnloadNow() { return mirelda::data::Library().CanUnloadNow(); }
