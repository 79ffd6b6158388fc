#include "data/data_classes.h"

#include "data/data_command.h"
#include "data/data_connection.h"
#include "data/data_record_set.h"
#include "data/file_system_object.h"
#include "data/jet_catalog.h"
#include "data/scripting_dictionary.h"
#include "mirelda/registry.h"

namespace mirelda::data {
namespace {

Guid Fixed(std::string_view text) { return *ParseGuid(text); }

template <class T>
std::shared_ptr<Dispatch> Make() {
  return std::make_shared<T>();
}

// A Parameter made by CreateObject starts as CreateParameter() with no arguments makes it.
std::shared_ptr<Dispatch> MakeParameter() {
  return std::make_shared<DataParameter>("", 0, direction::kInput, 0, Variant());
}

// The classes join the in-process class table as soon as the library is loaded, so that
// creation by ProgID finds them without the registration store.
[[maybe_unused]] const bool kAddedToClassTable = [] {
  for (const DataClass& c : DataClasses())
    ClassTable::Add(std::string(c.prog_id), c.class_id, c.create);
  return true;
}();

}  // namespace

const Guid& DataTypeLibraryId() {
  static const Guid id = Fixed("{777C94DA-E5DC-4596-8CD6-2E0D83EDC57C}");
  return id;
}
const Guid& ConnectionClassId() {
  static const Guid id = Fixed("{5E23E160-4E44-4607-97F5-BC0C0A2A3249}");
  return id;
}
const Guid& RecordSetClassId() {
  static const Guid id = Fixed("{2C7868FC-50D5-4506-A3D6-CC4C2A91FE75}");
  return id;
}
const Guid& CatalogClassId() {
  static const Guid id = Fixed("{9A87DC5B-A456-4560-9837-82CC11A099E5}");
  return id;
}
const Guid& JetEngineClassId() {
  static const Guid id = Fixed("{15CFF41D-EB5F-4AA1-B401-AE5E3B9AD440}");
  return id;
}
const Guid& FileSystemObjectClassId() {
  static const Guid id = Fixed("{F2E257BB-7AEA-4176-9B78-AD5FB54EBF90}");
  return id;
}

const Guid& DictionaryClassId() {
  static const Guid id = Fixed("{662B49FD-7C7E-406A-93A9-976929E71670}");
  return id;
}

const Guid& CommandClassId() {
  static const Guid id = Fixed("{2C899708-ACC4-4DEB-9BA4-8750EF329E77}");
  return id;
}

const Guid& ParameterClassId() {
  static const Guid id = Fixed("{AF2DA309-8778-462B-AE3D-36069B2B9721}");
  return id;
}

const std::vector<DataClass>& DataClasses() {
  static const std::vector<DataClass> classes = {
      {"ADODB.Connection", ConnectionClassId(), &Make<DataConnection>},
      {"ADODB.RecordSet", RecordSetClassId(), &Make<DataRecordSet>},
      {"ADOX.Catalog", CatalogClassId(), &Make<JetCatalog>},
      {"JRO.JetEngine", JetEngineClassId(), &Make<JetCompactor>},
      {"Scripting.FileSystemObject", FileSystemObjectClassId(), &Make<FileSystemObjectImpl>},
      {"Scripting.Dictionary", DictionaryClassId(), &Make<ScriptingDictionary>},
      {"ADODB.Command", CommandClassId(), &Make<DataCommand>},
      {"ADODB.Parameter", ParameterClassId(), &MakeParameter},
  };
  return classes;
}

}  // namespace mirelda::data
