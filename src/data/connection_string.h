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
};

struct ServerTarget {
  std::string host;
  int port = 5432;
  std::string database;  // the maintenance database when the string names none
  std::string user;
  std::string password;
};

struct ConnectionTarget {
  enum class Kind { kJetFile, kServer } kind = Kind::kJetFile;
  JetTarget jet;
  ServerTarget server;
};

// The engine a connection string names: "Provider=Microsoft.Jet.OLEDB.4.0" or "...3.51" with
// "Data Source", or "driver={Microsoft Access Driver (*.mdb)}" with "dbq", is a Jet file;
// "driver={sql server}" with server, database, uid and pwd is the server database. Raises Error
// naming an unknown provider (kProviderNotFound) or driver (kUnspecified), and for a string that
// names no database file.
ConnectionTarget Route(const ConnectionString& connection_string);

}  // namespace mirelda::data
