// The class frame of Mirelda.Database: its interface, in interface order, and what its methods
// share.
#include "database/database.h"

#include "frame/identity.h"

namespace mirelda::database {

void Database::closeDB() {
  RequireConnection().Close();
  objConn = nullptr;
}

void Database::Write(const std::string& message) const { RequireResponse().Write(message); }

void Database::WriteTrapped(ResumeNext& trap, const std::string& message) const {
  trap.Step([&] { Write(message); });
}

std::string Database::TakePendingError(const char* text) {
  const ErrorInfo& pending = PendingError();
  std::string report = text + std::to_string(pending.number) + "<br>" + pending.description;
  ClearPendingError();
  return report;
}

std::shared_ptr<Dispatch> Database::Create(const std::string& prog_id) const {
  return RequireServer().CreateObject(prog_id);
}

std::optional<Guid> Database::ClassId() const { return frame::DatabaseIdentity().class_id; }

const MemberTable& Database::Members() const {
  static const MemberTable table =
      MemberTableBuilder<Database>("_Database", frame::DatabaseIdentity().interface_id)
          .Method<&Database::OnStartPage>("OnStartPage", {Arg("vScriptingContext").ByRef()})
          .Method<&Database::OnEndPage>("OnEndPage")
          .Set<&Database::setConnection>("setConnection", {Arg("sConn").ByRef()})
          .Method<&Database::CreateAccessDbFile>("CreateAccessDbFile",
                                                 {Arg("DBFileName"), Arg("DbVer"), Arg("SavePath")})
          .Method<&Database::CreateSqlServerDB>(
              "CreateSqlServerDB", {Arg("DbServer"), Arg("DbUid"), Arg("DbPwd"), Arg("DBName")})
          .Method<&Database::CompressAccessDb>("CompressAccessDb",
                                               {Arg("DBFileName"), Arg("DbVer"), Arg("SavePath")})
          .Method<&Database::AccessDbExists>("AccessDbExists", {Arg("DBPath")})
          .Method<&Database::TableExists>("TableExists", {Arg("tableName")})
          .Method<&Database::SqlServerDbExists>(
              "SqlServerDbExists", {Arg("DbServer"), Arg("DbUid"), Arg("DbPwd"), Arg("DBName")})
          .Method<&Database::CreateTable>(
              "CreateTable", {Arg("DbVer"), Arg("sTableName"), Arg("aFieldname"), Arg("aFieldType"),
                              Arg("aFieldSize"), Arg("aFieldNull"), Arg("sPrimarykey").Optional(),
                              Arg("sReference").Optional()})
          .Method<&Database::AppPath>("AppPath")
          .Method<&Database::AppName>("AppName")
          .Method<&Database::ArrayToString>("ArrayToString", {Arg("aObject").ByRef()})
          .Method<&Database::DeleteFile>("DeleteFile", {Arg("filespec").ByRef()})
          .Method<&Database::RenameFile>("RenameFile",
                                         {Arg("filespec1").ByRef(), Arg("filespec2").ByRef()})
          .Method<&Database::CreateAccessConnection>(
              "CreateAccessConnection", {Arg("DBPath"), Arg("DBName"), Arg("ConnectionVer")})
          .Method<&Database::CreateSqlConnection>(
              "CreateSqlConnection",
              {Arg("ServerName"), Arg("DatabaseName"), Arg("UserName"), Arg("Password")})
          .Method<&Database::ConvertPath>("ConvertPath", {Arg("RelativePath")})
          .Method<&Database::FileExist>("FileExist", {Arg("fPath"), Arg("fName")})
          .Method<&Database::CreateTableReference>("CreateTableReference", {Arg("DbVer")})
          .Method<&Database::CreateFieldReference>("CreateFieldReference", {Arg("DbVer")})
          .Method<&Database::CreateEnumTable>("CreateEnumTable", {Arg("DbVer")})
          .Method<&Database::CreateIndexTable>("CreateIndexTable", {Arg("DbVer")})
          .Method<&Database::CreateAdministrator>("CreateAdministrator", {Arg("DbVer")})
          .Method<&Database::CreateAdminMenu>("CreateAdminMenu", {Arg("DbVer")})
          .Method<&Database::closeDB>("closeDB")
          .Build();
  return table;
}

}  // namespace mirelda::database
