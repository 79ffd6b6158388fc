// The fixed identity of the data library's classes and of its type library. The GUIDs were
// chosen once and never change between builds.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "mirelda/dispatch.h"
#include "mirelda/guid.h"

namespace mirelda::data {

inline constexpr std::string_view kDataTypeLibraryName = "MireldaData";
inline constexpr std::string_view kDataTypeLibraryVersion = "1.0";
inline constexpr std::string_view kDataThreadingModel = "Apartment";

struct DataClass {
  std::string_view prog_id;
  Guid class_id;
  std::shared_ptr<Dispatch> (*create)();
};

const Guid& DataTypeLibraryId();
const Guid& ConnectionClassId();
const Guid& RecordSetClassId();
const Guid& CatalogClassId();
const Guid& JetEngineClassId();
const Guid& FileSystemObjectClassId();
const Guid& DictionaryClassId();
const Guid& CommandClassId();
const Guid& ParameterClassId();
const Guid& MailMessageClassId();
const Guid& MailConfigurationClassId();
const Guid& ServerHttpRequestClassId();
const Guid& StreamClassId();

// The library's classes, each with its ProgID and a creator of fresh instances.
const std::vector<DataClass>& DataClasses();

}  // namespace mirelda::data
