// Database files: a Jet file or a server database is created, probed, or (Jet) compacted in place.
// All five methods are trapped: a failing step leaves a pending error that a later step reports
// into the page with the error's number and description.
#include <cctype>

#include "database/arguments.h"
#include "database/database.h"
#include "mirelda/data.h"

namespace mirelda::database {
namespace {

constexpr const char* kJet351 = "Provider=Microsoft.Jet.OLEDB.3.51;Data Source=";
constexpr const char* kJet40 = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";

template <class T>
std::shared_ptr<T> As(const std::shared_ptr<Dispatch>& object, const char* prog_id) {
  auto typed = std::dynamic_pointer_cast<T>(object);
  if (!typed)
    throw Error(errc::kTypeMismatch, std::string(prog_id) + " gave an object of another kind");
  return typed;
}

std::string ServerConnectionString(const Variant& server, const Variant& uid, const Variant& pwd) {
  std::string s = "driver={sql server};server=" + server.ToText() + ";uid=" + uid.ToText();
  if (!pwd.ToText().empty()) s += ";pwd=" + pwd.ToText();
  return s;
}

// A database name goes into "create database " bare, so only a plain identifier is accepted.
bool IsPlainIdentifier(const std::string& name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

std::string QuoteLiteral(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

constexpr const char* kCannotCreate = "无法建立，请检查错误信息<br>";
constexpr const char* kCannotCompact = "无法压缩，请检查错误信息<br>";

}  // namespace

Variant Database::AccessDbExists(Variant DBPath) {
  ResumeNext trap;
  std::shared_ptr<Connection> connection;
  trap.Step([&] { connection = As<Connection>(Create("ADODB.Connection"), "ADODB.Connection"); });
  trap.Step([&] {
    if (!connection) throw Error(errc::kObjectVariableNotSet);
    connection->Open(kJet40 + DBPath.ToText());
  });
  bool exists = !PendingError().pending();
  ClearPendingError();
  return Variant(exists);
}

Variant Database::CreateAccessDbFile(Variant DBFileName, Variant DbVer, Variant SavePath) {
  ResumeNext trap;
  const std::string folder = NormaliseFolder(SavePath.ToText());
  const std::string name = NormaliseFileName(DBFileName.ToText());
  if (AccessDbExists(Variant(folder + name)).ToBool()) {
    WriteTrapped(trap, "对不起，该数据库已经存在!");
    return Variant(false);
  }
  std::shared_ptr<Catalog> catalog;
  trap.Step([&] { catalog = As<Catalog>(Create("ADOX.Catalog"), "ADOX.Catalog"); });
  if (PendingError().pending()) {
    WriteTrapped(trap, TakePendingError(kCannotCreate));
    return Variant();
  }
  const char* provider = IsNumber(DbVer, 0) ? kJet351 : kJet40;
  trap.Step([&] { catalog->Create(provider + folder + name); });
  // A catalog that could not create the file (missing folder, no permission, a file in the way)
  // is reported instead of being passed off as a success.
  if (PendingError().pending()) {
    WriteTrapped(trap, TakePendingError(kCannotCreate));
    return Variant(false);
  }
  return Variant(true);
}

Variant Database::SqlServerDbExists(Variant DbServer, Variant DbUid, Variant DbPwd,
                                    Variant DBName) {
  ResumeNext trap;
  bool exists = false;
  trap.Step([&] {
    auto connection = As<Connection>(Create("ADODB.Connection"), "ADODB.Connection");
    connection->Open(ServerConnectionString(DbServer, DbUid, DbPwd));
    // The name's quotes are doubled so that it can neither break nor widen the lookup.
    auto rs = connection->Execute(
        "select * from sysdatabases Where name = '" + QuoteLiteral(DBName.ToText()) + "'", -1);
    exists = !rs->IsEOF();
  });
  if (PendingError().pending()) exists = false;
  ClearPendingError();
  return Variant(exists);
}

Variant Database::CreateSqlServerDB(Variant DbServer, Variant DbUid, Variant DbPwd,
                                    Variant DBName) {
  ResumeNext trap;
  const std::string name = DBName.ToText();
  if (!IsPlainIdentifier(name)) {
    Error refused(errc::kInvalidProcedureCall,
                  "Invalid database name '" + name +
                      "': use letters, digits and underscores, not starting with a digit");
    ResumeNext::Record(refused);
    WriteTrapped(trap, TakePendingError(kCannotCreate));
    return Variant(false);
  }
  std::shared_ptr<Connection> connection;
  trap.Step([&] {
    connection = As<Connection>(Create("ADODB.Connection"), "ADODB.Connection");
    connection->Open(ServerConnectionString(DbServer, DbUid, DbPwd));
  });
  Variant result;
  if (SqlServerDbExists(DbServer, DbUid, DbPwd, DBName).ToBool()) {
    WriteTrapped(trap, "对不起，数据库" + name + "已存在！");
    result = Variant(false);
  } else if (PendingError().pending()) {
    WriteTrapped(trap, TakePendingError(kCannotCreate));
    return Variant();
  } else {
    trap.Step([&] { connection->Execute("create database " + name, -1); });
    if (PendingError().pending()) {
      WriteTrapped(trap, TakePendingError(kCannotCreate));
      result = Variant(false);
    } else {
      result = Variant(true);
    }
  }
  trap.Step([&] {
    if (!connection) throw Error(errc::kObjectVariableNotSet);
    connection->Close();
  });
  return result;
}

Variant Database::CompressAccessDb(Variant DBFileName, Variant DbVer, Variant SavePath) {
  ResumeNext trap;
  const std::string file =
      NormaliseFolder(SavePath.ToText()) + NormaliseFileName(DBFileName.ToText());
  const std::string copy = file + ".bak.mdb";
  if (!AccessDbExists(Variant(file)).ToBool()) {
    WriteTrapped(trap, "对不起，该数据库不存在!");
    return Variant(false);
  }
  // A copy left over from an earlier run holds nothing that the database lacks: it goes first,
  // so that it can neither block the compaction nor be moved over the database.
  auto remove_copy = [&] {
    auto fso =
        As<FileSystemObject>(Create("Scripting.FileSystemObject"), "Scripting.FileSystemObject");
    if (fso->FileExists(copy)) fso->DeleteFile(copy, true);
  };
  trap.Step(remove_copy);
  std::shared_ptr<JetEngine> engine;
  trap.Step([&] { engine = As<JetEngine>(Create("JRO.JetEngine"), "JRO.JetEngine"); });
  if (PendingError().pending()) {
    WriteTrapped(trap, TakePendingError(kCannotCompact));
    return Variant();
  }
  std::string destination = kJet40 + copy;
  if (IsNumber(DbVer, 0)) destination += ";Jet OLEDB:Engine Type=4";
  trap.Step([&] { engine->CompactDatabase(kJet40 + file, destination); });

  // DeleteFile reports a failed compaction and then deletes nothing.
  Variant deleted;
  trap.Step([&] { deleted = DeleteFile(Variant(file)); });
  if (!(deleted.type() == VarType::kBoolean && deleted.ToBool())) {
    if (PendingError().pending()) {
      WriteTrapped(trap, TakePendingError(kCannotCompact));
    }
    trap.Step(remove_copy);
    ClearPendingError();
    return Variant(false);
  }
  Variant renamed;
  trap.Step([&] { renamed = RenameFile(Variant(copy), Variant(file)); });
  if (!(renamed.type() == VarType::kBoolean && renamed.ToBool())) {
    // The database is gone and its compacted copy stays where it is: say so, never claim success.
    if (PendingError().pending()) {
      WriteTrapped(trap, TakePendingError(kCannotCompact));
    }
    return Variant(false);
  }
  return Variant(true);
}

}  // namespace mirelda::database
