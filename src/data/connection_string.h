// Connection strings as the replaced platform reads them, and the engine each one names.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mirelda::data {

// "key=value;key=value": keys without regard to case and to blanks around them; values in {} or
// quotes may hold ";"; the last of repeated keys wins.
class ConnectionString {
 public:
  // Raises Error kInitStringFormat for an unterminated {} or quoted value.
  static ConnectionString Parse(std::string_view text);

  // The value of key (any case), without its braces or quotes.
  std::optional<std::string> Get(std::string_view key) const;
  std::string Value(std::string_view key) const { return Get(key).value_or(""); }
  // Takes every setting of other but the key except, replacing settings of the same key.
  void Overlay(const ConnectionString& other, std::string_view except);

 private:
  std::vector<std::pair<std::string, std::string>> entries_;  // lower-case keys
};

// The Jet file formats; the provider names 3.51 and 4.0 stand for them.
enum class JetFormat { kJet35, kJet40 };

struct JetTarget {
  std::string path;  // page path of the database file
  JetFormat provider_format = JetFormat::kJet40;
  // "Jet OLEDB:Engine Type": 4 or below is Jet 3.x, 5 Jet 4.0; absent is the provider's default.
  std::optional<JetFormat> engine_type;
  // The SQLite ODBC driver opens any SQLite file: no Jet format mark is asked for.
  bool plain_sqlite = false;
};

struct ServerTarget {
  std::string host;
  int port = 5432;
  std::string database;  // the maintenance database when the string names none
  std::string user;
  std::string password;
  // Seconds to wait for the server to answer; 0 waits without limit.
  int connect_timeout = 15;
};

struct ConnectionTarget {
  enum class Kind { kJetFile, kServer } kind = Kind::kJetFile;
  JetTarget jet;
  ServerTarget server;
};

// The engine a connection string names: "Provider=Microsoft.Jet.OLEDB.4.0" or "...3.51" with
// "Data Source", or "driver={Microsoft Access Driver (*.mdb)}" with "dbq", is a Jet file;
// "driver={SQLite3 ODBC Driver}" with "Database" any SQLite file; the server's OLE DB providers
// (SQLOLEDB, SQLNCLI, SQLNCLI10, SQLNCLI11, MSOLEDBSQL with Data Source, Initial Catalog, User ID,
// Password) and ODBC drivers ("{sql server}", its native clients, "ODBC Driver 11/13/17/18 for
// SQL Server" with server, database, uid, pwd) are the server database. "DSN=name" without a
// driver or provider stands for the string that the [dsn] section of the settings gives the
// name, the string's other keys laid over it. Raises Error naming an unknown provider
// (kProviderNotFound), driver or data source name (kUnspecified), and for a string that names
// no database file.
ConnectionTarget Route(const ConnectionString& connection_string);

}  // namespace mirelda::data
