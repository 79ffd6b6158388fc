#include "data/data_classes.h"

#include "data/data_command.h"
#include "data/data_connection.h"
#include "data/data_record_set.h"
#include "data/data_stream.h"
#include "data/file_system_object.h"
#include "data/jet_catalog.h"
#include "data/mail_configuration.h"
#include "data/mail_message.h"
#include "data/scripting_dictionary.h"
#include "data/server_http_request.h"
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

const Guid& MailMessageClassId() {
  static const Guid id = Fixed("{1BBF1A24-F055-4A6B-8FAA-323BBD3E5805}");
  return id;
}
const Guid& MailConfigurationClassId() {
  static const Guid id = Fixed("{074F0158-4544-4441-99F6-3695CDAD8FF3}");
  return id;
}
const Guid& ServerHttpRequestClassId() {
  static const Guid id = Fixed("{46A7107D-E604-45C9-8525-34EFBD730FB4}");
  return id;
}
namespace {
// The other names of the request object, each with a class id of its own as on the platform;
// they all make the one class.
const Guid& HttpAliasClassId(int which) {
  static const Guid ids[] = {Fixed("{5CC8913A-39B7-44A0-9C23-A7325B3A839A}"),
                             Fixed("{27553C8C-9DDD-4E20-8DC3-5125C141BAD6}"),
                             Fixed("{900A1D8C-F5FC-46B0-B0F5-C7A26D513D79}"),
                             Fixed("{785202C8-D1E1-4C95-A20D-F69BAA84AD49}"),
                             Fixed("{072B6C5E-7F34-40E1-8AC1-225CD8B9DC4A}")};
  return ids[which];
}
}  // namespace
const Guid& StreamClassId() {
  static const Guid id = Fixed("{B1A8F0D3-6C2E-4E57-9A41-3D7C52E08B16}");
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
      {"CDO.Message", MailMessageClassId(), &Make<MailMessage>},
      {"CDO.Configuration", MailConfigurationClassId(), &Make<MailConfiguration>},
      {"MSXML2.ServerXMLHTTP", ServerHttpRequestClassId(), &Make<ServerHttpRequest>},
      {"MSXML2.ServerXMLHTTP.3.0", HttpAliasClassId(0), &Make<ServerHttpRequest>},
      {"MSXML2.ServerXMLHTTP.6.0", HttpAliasClassId(1), &Make<ServerHttpRequest>},
      {"Microsoft.XMLHTTP", HttpAliasClassId(2), &Make<ServerHttpRequest>},
      {"MSXML2.XMLHTTP", HttpAliasClassId(3), &Make<ServerHttpRequest>},
      {"Msxml2.XMLHTTP.6.0", HttpAliasClassId(4), &Make<ServerHttpRequest>},
      {"ADODB.Stream", StreamClassId(), &Make<DataStream>},
  };
  return classes;
}

}  // namespace mirelda::data
