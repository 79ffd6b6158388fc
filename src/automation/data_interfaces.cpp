// Member tables of the data access interfaces, and their scripting forms.
#include "mirelda/data.h"

namespace mirelda {

void Connection::OpenWith(const std::string& connection_string, const Variant& /*user_id*/,
                          const Variant& /*password*/, int32_t /*options*/) {
  // Credentials travel inside the connection string ("uid=", "pwd="), as every caller here
  // writes them; the separate arguments exist for scripts written against the original object.
  Open(connection_string);
}

std::shared_ptr<RecordSet> Connection::ExecuteWith(const std::string& text,
                                                   Variant& records_affected, int32_t options) {
  int32_t affected = -1;
  std::shared_ptr<RecordSet> result = ExecuteCounted(text, options, affected);
  records_affected = Variant(affected);
  return result;
}

std::shared_ptr<RecordSet> Connection::ScriptOpenSchema(int32_t schema, const Variant& criteria,
                                                        const Variant& /*schema_id*/) {
  // SchemaID names provider-specific schemas (adSchemaProviderSpecific), which no engine here has.
  return OpenSchema(schema, criteria);
}

const MemberTable& Connection::Members() const {
  static const MemberTable table =
      MemberTableBuilder<Connection>("_Connection")
          .Method<&Connection::OpenWith>(
              "Open", {Arg("ConnectionString"), Arg("UserID").Optional(),
                       Arg("Password").Optional(), Arg("Options").Optional(int32_t{-1})})
          .Method<&Connection::ExecuteWith>(
              "Execute", {Arg("CommandText"), Arg("RecordsAffected").ByRef().Optional(),
                          Arg("Options").Optional(int32_t{-1})})
          .Method<&Connection::Close>("Close")
          .Get<&Connection::State>("State")
          .Get<&Connection::ConnectionString>("ConnectionString")
          .Method<&Connection::BeginTrans>("BeginTrans")
          .Method<&Connection::CommitTrans>("CommitTrans")
          .Method<&Connection::RollbackTrans>("RollbackTrans")
          .Get<&Connection::Errors>("Errors")
          .Method<&Connection::ScriptOpenSchema>(
              "OpenSchema",
              {Arg("Schema"), Arg("Restrictions").Optional(), Arg("SchemaID").Optional()})
          .Get<&Connection::ConnectionTimeout>("ConnectionTimeout")
          .Let<&Connection::SetConnectionTimeout>("ConnectionTimeout", {Arg("Timeout")})
          .Get<&Connection::CommandTimeout>("CommandTimeout")
          .Let<&Connection::SetCommandTimeout>("CommandTimeout", {Arg("Timeout")})
          .Build();
  return table;
}

Variant RecordSet::FieldValue(const Variant& index) { return GetFields()->Item(index)->Value(); }

std::shared_ptr<Field> RecordSet::FieldItem(const Variant& index) {
  return GetFields()->Item(index);
}

void RecordSet::PutFieldItem(const Variant& index, const Variant& value) {
  GetFields()->Item(index)->SetValue(value);
}

Variant RecordSet::ScriptFields(const Variant& index) {
  auto fields = GetFields();
  if (index.is_missing()) return Variant(fields);
  return Variant(fields->Item(index));
}

Variant Field::ScriptProperties(const Variant& index) {
  auto properties = GetProperties();
  if (index.is_missing()) return Variant(properties);
  return Variant(properties->Item(index));
}

const MemberTable& RecordSet::Members() const {
  static const MemberTable table =
      MemberTableBuilder<RecordSet>("_Recordset")
          .Method<&RecordSet::FieldItem>("Collect", {Arg("Index")})
          .Default()
          .Let<&RecordSet::PutFieldItem>("Collect", {Arg("Index"), Arg("Value")})
          .Default()
          .Method<&RecordSet::Open>(
              "Open", {Arg("Source").Optional(), Arg("ActiveConnection").Optional(),
                       Arg("CursorType").Optional(int32_t{-1}),
                       Arg("LockType").Optional(int32_t{-1}), Arg("Options").Optional(int32_t{-1})})
          .Get<&RecordSet::IsEOF>("EOF")
          .Get<&RecordSet::IsBOF>("BOF")
          .Method<&RecordSet::MoveNext>("MoveNext")
          .Method<&RecordSet::MovePrevious>("MovePrevious")
          .Method<&RecordSet::MoveFirst>("MoveFirst")
          .Method<&RecordSet::MoveLast>("MoveLast")
          .Method<&RecordSet::Move>("Move", {Arg("NumRecords"), Arg("Start").Optional()})
          .Get<&RecordSet::RecordCount>("RecordCount")
          .Get<&RecordSet::ScriptFields>("Fields", {Arg("Index").Optional()})
          .Let<&RecordSet::PutFieldItem>("Fields", {Arg("Index"), Arg("Value")})
          .Method<&RecordSet::Close>("Close")
          .Get<&RecordSet::State>("State")
          .Get<&RecordSet::CursorType>("CursorType")
          .Let<&RecordSet::SetCursorType>("CursorType", {Arg("Value")})
          .Get<&RecordSet::LockType>("LockType")
          .Let<&RecordSet::SetLockType>("LockType", {Arg("Value")})
          .Get<&RecordSet::CursorLocation>("CursorLocation")
          .Let<&RecordSet::SetCursorLocation>("CursorLocation", {Arg("Value")})
          .Get<&RecordSet::Source>("Source")
          .Let<&RecordSet::SetSource>("Source", {Arg("Value")})
          .Get<&RecordSet::ActiveConnection>("ActiveConnection")
          .Let<&RecordSet::SetActiveConnection>("ActiveConnection", {Arg("Value")})
          .Set<&RecordSet::SetActiveConnection>("ActiveConnection", {Arg("Value")})
          .Get<&RecordSet::PageSize>("PageSize")
          .Let<&RecordSet::SetPageSize>("PageSize", {Arg("Value")})
          .Get<&RecordSet::PageCount>("PageCount")
          .Get<&RecordSet::AbsolutePage>("AbsolutePage")
          .Let<&RecordSet::SetAbsolutePage>("AbsolutePage", {Arg("Value")})
          .Get<&RecordSet::AbsolutePosition>("AbsolutePosition")
          .Let<&RecordSet::SetAbsolutePosition>("AbsolutePosition", {Arg("Value")})
          .Get<&RecordSet::Bookmark>("Bookmark")
          .Let<&RecordSet::SetBookmark>("Bookmark", {Arg("Value")})
          .Get<&RecordSet::Filter>("Filter")
          .Let<&RecordSet::SetFilter>("Filter", {Arg("Value")})
          .Get<&RecordSet::Sort>("Sort")
          .Let<&RecordSet::SetSort>("Sort", {Arg("Value")})
          .Method<&RecordSet::Find>(
              "Find", {Arg("Criteria"), Arg("SkipRecords").Optional(),
                       Arg("SearchDirection").Optional(int32_t{1}), Arg("Start").Optional()})
          .Method<&RecordSet::GetRows>("GetRows",
                                       {Arg("Rows").Optional(int32_t{-1}), Arg("Start").Optional(),
                                        Arg("Fields").Optional()})
          .Method<&RecordSet::Supports>("Supports", {Arg("CursorOptions")})
          .Method<&RecordSet::NextRecordset>("NextRecordset",
                                             {Arg("RecordsAffected").ByRef().Optional()})
          .Method<&RecordSet::AddNew>("AddNew",
                                      {Arg("FieldList").Optional(), Arg("Values").Optional()})
          .Method<&RecordSet::Update>("Update",
                                      {Arg("Fields").Optional(), Arg("Values").Optional()})
          .Method<&RecordSet::CancelUpdate>("CancelUpdate")
          .Method<&RecordSet::Delete>("Delete", {Arg("AffectRecords").Optional(int32_t{1})})
          .Get<&RecordSet::EditMode>("EditMode")
          .Build();
  return table;
}

std::vector<Variant> Fields::Enumerate() {
  std::vector<Variant> fields;
  int32_t count = Count();
  for (int32_t i = 0; i < count; ++i) fields.emplace_back(Item(Variant(i)));
  return fields;
}

const MemberTable& Fields::Members() const {
  static const MemberTable table = MemberTableBuilder<Fields>("Fields")
                                       .Get<&Fields::Item>("Item", {Arg("Index")})
                                       .Default()
                                       .Get<&Fields::Count>("Count")
                                       .Build();
  return table;
}

const MemberTable& Field::Members() const {
  static const MemberTable table =
      MemberTableBuilder<Field>("Field")
          .Get<&Field::Value>("Value")
          .Default()
          .Get<&Field::Name>("Name")
          .Let<&Field::SetValue>("Value", {Arg("Value")})
          .Default()
          .Get<&Field::OriginalValue>("OriginalValue")
          .Get<&Field::UnderlyingValue>("UnderlyingValue")
          .Get<&Field::Type>("Type")
          .Get<&Field::DefinedSize>("DefinedSize")
          .Get<&Field::ActualSize>("ActualSize")
          .Get<&Field::Attributes>("Attributes")
          .Get<&Field::ScriptProperties>("Properties", {Arg("Index").Optional()})
          .Build();
  return table;
}

const MemberTable& Properties::Members() const {
  static const MemberTable table = MemberTableBuilder<Properties>("Properties")
                                       .Get<&Properties::Item>("Item", {Arg("Index")})
                                       .Default()
                                       .Get<&Properties::Count>("Count")
                                       .Build();
  return table;
}

const MemberTable& Property::Members() const {
  static const MemberTable table = MemberTableBuilder<Property>("Property")
                                       .Get<&Property::Value>("Value")
                                       .Default()
                                       .Get<&Property::Name>("Name")
                                       .Build();
  return table;
}

const MemberTable& Catalog::Members() const {
  static const MemberTable table = MemberTableBuilder<Catalog>("_Catalog")
                                       .Method<&Catalog::Create>("Create", {Arg("ConnectString")})
                                       .Build();
  return table;
}

const MemberTable& JetEngine::Members() const {
  static const MemberTable table =
      MemberTableBuilder<JetEngine>("IJetEngine")
          .Method<&JetEngine::CompactDatabase>("CompactDatabase",
                                               {Arg("SourceConnection"), Arg("DestConnection")})
          .Build();
  return table;
}

const MemberTable& FileSystemObject::Members() const {
  static const MemberTable table =
      MemberTableBuilder<FileSystemObject>("IFileSystem3")
          .Method<&FileSystemObject::DeleteFile>("DeleteFile",
                                                 {Arg("FileSpec"), Arg("Force").Optional(false)})
          .Method<&FileSystemObject::CopyFile>(
              "CopyFile", {Arg("Source"), Arg("Destination"), Arg("OverWriteFiles").Optional(true)})
          .Method<&FileSystemObject::MoveFile>("MoveFile", {Arg("Source"), Arg("Destination")})
          .Method<&FileSystemObject::FileExists>("FileExists", {Arg("FileSpec")})
          .Method<&FileSystemObject::FolderExists>("FolderExists", {Arg("FolderSpec")})
          .Method<&FileSystemObject::CreateFolder>("CreateFolder", {Arg("Path")})
          .Method<&FileSystemObject::GetFileName>("GetFileName", {Arg("Path")})
          .Method<&FileSystemObject::BuildPath>("BuildPath", {Arg("Path"), Arg("Name")})
          .Build();
  return table;
}

}  // namespace mirelda
