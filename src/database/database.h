// Mirelda.Database: database files, connection strings and the table probe, the table builder,
// path and file utilities, and the data dictionary bootstrap.
//
// One instance belongs to one page and is called on that page's thread. Trapped methods (the
// database files, the probes) report failures through their result and the page; the others let
// an Error reach the caller.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "frame/connected_page.h"

namespace mirelda::database {

class Database final : public frame::ConnectedPage {
 public:
  // Database files. Each writes at most one message of its own into the page and returns true
  // when it went through, false when it refused or failed, Empty when a component it needs could
  // not be created.
  Variant CreateAccessDbFile(Variant DBFileName, Variant DbVer, Variant SavePath);
  Variant CreateSqlServerDB(Variant DbServer, Variant DbUid, Variant DbPwd, Variant DBName);
  Variant CompressAccessDb(Variant DBFileName, Variant DbVer, Variant SavePath);
  // True when the Jet 4.0 provider opens the file; false on every failure. Writes nothing.
  Variant AccessDbExists(Variant DBPath);
  // True when "select * from " + tableName opens on the handed-over connection. Writes nothing.
  Variant TableExists(Variant tableName);
  // True when the server lists the database. Writes nothing.
  Variant SqlServerDbExists(Variant DbServer, Variant DbUid, Variant DbPwd, Variant DBName);

  // Checks a field list, builds one CREATE TABLE statement and runs it on the handed-over
  // connection; returns "创建表成功", "创建表失败" or the message of the failing check.
  Variant CreateTable(int16_t DbVer, std::string sTableName, Variant aFieldname, Variant aFieldType,
                      Variant aFieldSize, Variant aFieldNull, std::string sPrimarykey,
                      std::string sReference);

  // Path and file utilities.
  Variant AppPath();
  Variant AppName();
  Variant ArrayToString(Variant aObject);
  Variant DeleteFile(Variant filespec);
  Variant RenameFile(Variant filespec1, Variant filespec2);
  Variant CreateAccessConnection(Variant DBPath, Variant DBName, Variant ConnectionVer);
  Variant CreateSqlConnection(Variant ServerName, Variant DatabaseName, Variant UserName,
                              Variant Password);
  Variant ConvertPath(Variant RelativePath);
  Variant FileExist(Variant fPath, Variant fName);

  // Closes the handed-over connection, then drops it. Raises Object variable not set (91) when no
  // connection is set; when Close fails its error reaches the caller and the reference stays.
  void closeDB();

  // The data dictionary bootstrap: each creates its table when absent, seeds it when empty, and
  // returns the report. Errors of their own record set reach the caller.
  Variant CreateTableReference(int16_t DbVer);
  Variant CreateFieldReference(int16_t DbVer);
  Variant CreateEnumTable(int16_t DbVer);
  Variant CreateIndexTable(int16_t DbVer);
  Variant CreateAdministrator(int16_t DbVer);
  Variant CreateAdminMenu(int16_t DbVer);

  // The page's Server.CreateObject; Object variable not set (91) outside a page.
  std::shared_ptr<Dispatch> Create(const std::string& prog_id) const;

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Database"; }
  std::optional<Guid> ClassId() const override;

 private:
  // Writes a report into the page.
  void Write(const std::string& message) const;
  // Writes a report into the page as a trapped step: a page that cannot be written to leaves the
  // failure pending in trap, not raised.
  void WriteTrapped(ResumeNext& trap, const std::string& message) const;
  // The pending error as a report (text, the number, "<br>", the description); clears it.
  static std::string TakePendingError(const char* text);
};

}  // namespace mirelda::database
