#include "data/connection_string.h"

#include <charconv>
#include <initializer_list>

#include "mirelda/error.h"
#include "mirelda/settings.h"
#include "mirelda/text.h"

namespace mirelda::data {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string TrimBlanks(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

// "Data  Source" and "data source" name one key.
std::string NormaliseKey(std::string_view key) {
  std::string out;
  for (char c : TrimBlanks(key)) {
    if (IsBlank(c)) {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  return text::ToLowerAscii(out);
}

[[noreturn]] void Malformed(std::string_view text, const char* why) {
  throw Error(errc::kInitStringFormat,
              "The connection string '" + std::string(text) + "' is malformed: " + why + ".");
}

std::optional<JetFormat> EngineType(const ConnectionString& cs) {
  std::optional<std::string> value = cs.Get("jet oledb:engine type");
  if (!value) return std::nullopt;
  int type = 0;
  std::string digits = TrimBlanks(*value);
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), type);
  if (ec != std::errc() || end != digits.data() + digits.size() || type < 1 || type > 6) {
    throw Error(errc::kInitStringFormat,
                "Jet OLEDB:Engine Type must be a number from 1 to 6, not '" + *value + "'.");
  }
  return type <= 4 ? JetFormat::kJet35 : JetFormat::kJet40;
}

JetTarget JetFile(const ConnectionString& cs, std::string_view path_key, JetFormat format) {
  JetTarget target;
  target.path = TrimBlanks(cs.Value(path_key));
  if (target.path.empty()) {
    throw Error(errc::kUnspecified, "The connection string names no database file (" +
                                        std::string(path_key) + " is missing or empty).");
  }
  target.provider_format = format;
  target.engine_type = EngineType(cs);
  return target;
}

// The value of the first of keys the string holds; the OLE DB providers and the ODBC drivers name
// the same setting differently.
std::string FirstOf(const ConnectionString& cs, std::initializer_list<std::string_view> keys) {
  for (std::string_view key : keys) {
    if (auto value = cs.Get(key)) return *value;
  }
  return {};
}

bool IsOneOf(const std::string& key, std::initializer_list<std::string_view> names) {
  for (std::string_view name : names) {
    if (key == name) return true;
  }
  return false;
}

// The server's OLE DB providers and ODBC drivers, all served by the server database.
bool IsServerProvider(const std::string& key) {
  return IsOneOf(key, {"sqloledb", "sqloledb.1", "sqlncli", "sqlncli10", "sqlncli11", "msoledbsql",
                       "msoledbsql19"});
}
bool IsServerDriver(const std::string& key) {
  return IsOneOf(key, {"sql server", "sql native client", "sql server native client 10.0",
                       "sql server native client 11.0", "odbc driver 11 for sql server",
                       "odbc driver 13 for sql server", "odbc driver 17 for sql server",
                       "odbc driver 18 for sql server"});
}

// The string that DSN=name stands for, from the [dsn] section of the host's settings, with the
// other settings of the original string laid over it (uid and pwd often travel beside a DSN).
ConnectionString Resolved(const ConnectionString& cs, const std::string& dsn) {
  std::optional<std::string> defined = settings::Get("dsn", dsn);
  if (!defined) {
    throw Error(errc::kUnspecified, "Data source name '" + dsn +
                                        "' not found and no default driver specified (no such "
                                        "name in the [dsn] section of the host's configuration).");
  }
  ConnectionString resolved = ConnectionString::Parse(*defined);
  if (resolved.Get("dsn")) {
    throw Error(errc::kUnspecified,
                "Data source name '" + dsn + "' is defined by another data source name.");
  }
  resolved.Overlay(cs, "dsn");
  return resolved;
}

// "host", "host,port" or "host:port"; "tcp:" and a named instance ("host\name") are ignored,
// and the local machine's names mean the loopback host.
ServerTarget Server(const ConnectionString& cs) {
  ServerTarget target;
  std::string server = TrimBlanks(FirstOf(cs, {"server", "data source", "address", "addr"}));
  if (text::ToLowerAscii(server.substr(0, 4)) == "tcp:") server = server.substr(4);
  std::string port;
  if (size_t comma = server.find(','); comma != std::string::npos) {
    port = TrimBlanks(server.substr(comma + 1));
    server = TrimBlanks(server.substr(0, comma));
  } else if (size_t colon = server.find(':');
             colon != std::string::npos && server.find(':', colon + 1) == std::string::npos) {
    port = TrimBlanks(server.substr(colon + 1));
    server = TrimBlanks(server.substr(0, colon));
  }
  if (size_t slash = server.find('\\'); slash != std::string::npos) server.resize(slash);
  std::string lower = text::ToLowerAscii(server);
  target.host = lower.empty() || lower == "(local)" || lower == "." ? "localhost" : server;
  if (!port.empty()) {
    auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), target.port);
    if (ec != std::errc() || end != port.data() + port.size() || target.port < 1 ||
        target.port > 65535) {
      throw Error(errc::kInitStringFormat, "The server port '" + port + "' is not a port number.");
    }
  }
  // Database names compare without regard to case on the server being replaced; unquoted names
  // that the server dialect creates are stored in lower case.
  target.database = text::ToLowerAscii(TrimBlanks(FirstOf(cs, {"database", "initial catalog"})));
  if (target.database.empty()) target.database = "postgres";
  // Integrated security names no user: the server then takes the login of this process.
  target.user = FirstOf(cs, {"uid", "user id", "user"});
  target.password = FirstOf(cs, {"pwd", "password"});
  return target;
}

}  // namespace

ConnectionString ConnectionString::Parse(std::string_view s) {
  ConnectionString out;
  size_t i = 0;
  while (i < s.size()) {
    if (s[i] == ';' || IsBlank(s[i])) {
      ++i;
      continue;
    }
    size_t eq = s.find_first_of("=;", i);
    if (eq == std::string_view::npos || s[eq] == ';') {
      // A segment without "=" carries no setting.
      i = eq == std::string_view::npos ? s.size() : eq + 1;
      continue;
    }
    std::string key = NormaliseKey(s.substr(i, eq - i));
    i = eq + 1;
    while (i < s.size() && IsBlank(s[i])) ++i;
    std::string value;
    if (i < s.size() && (s[i] == '{' || s[i] == '"' || s[i] == '\'')) {
      char close = s[i] == '{' ? '}' : s[i];
      size_t j = i + 1;
      while (true) {
        if (j >= s.size()) Malformed(s, "a value is not closed");
        if (s[j] == close) {
          if (j + 1 < s.size() && s[j + 1] == close) {
            value += close;
            j += 2;
            continue;
          }
          break;
        }
        value += s[j++];
      }
      i = j + 1;
      while (i < s.size() && IsBlank(s[i])) ++i;
      if (i < s.size() && s[i] != ';') Malformed(s, "text follows a closed value");
    } else {
      size_t end = s.find(';', i);
      if (end == std::string_view::npos) end = s.size();
      value = TrimBlanks(s.substr(i, end - i));
      i = end;
    }
    if (key.empty()) continue;
    std::erase_if(out.entries_, [&](const auto& entry) { return entry.first == key; });
    out.entries_.emplace_back(std::move(key), std::move(value));
  }
  return out;
}

std::optional<std::string> ConnectionString::Get(std::string_view key) const {
  std::string wanted = NormaliseKey(key);
  for (const auto& [k, v] : entries_) {
    if (k == wanted) return v;
  }
  return std::nullopt;
}

void ConnectionString::Overlay(const ConnectionString& other, std::string_view except) {
  for (const auto& [key, value] : other.entries_) {
    if (key == except) continue;
    std::erase_if(entries_, [&](const auto& entry) { return entry.first == key; });
    entries_.emplace_back(key, value);
  }
}

ConnectionTarget Route(const ConnectionString& given) {
  ConnectionTarget target;
  std::string dsn = TrimBlanks(given.Value("dsn"));
  const bool named = !dsn.empty() && !given.Get("driver") && !given.Get("provider");
  const ConnectionString cs = named ? Resolved(given, dsn) : given;
  std::string provider = TrimBlanks(cs.Value("provider"));
  std::string provider_key = text::ToLowerAscii(provider);
  if (provider_key == "microsoft.jet.oledb.4.0" || provider_key == "microsoft.jet.oledb.3.51") {
    target.kind = ConnectionTarget::Kind::kJetFile;
    target.jet = JetFile(cs, "data source",
                         provider_key.ends_with("3.51") ? JetFormat::kJet35 : JetFormat::kJet40);
    return target;
  }
  if (IsServerProvider(provider_key)) {
    target.kind = ConnectionTarget::Kind::kServer;
    target.server = Server(cs);
    return target;
  }
  // Without a provider the ODBC bridge serves the string, as it does on the platform replaced.
  if (!provider_key.empty() && !provider_key.starts_with("msdasql")) {
    throw Error(errc::kProviderNotFound,
                "Provider cannot be found. It may not be properly "
                "installed. (Provider=" +
                    provider + ")");
  }
  std::string driver = TrimBlanks(cs.Value("driver"));
  std::string driver_key = text::ToLowerAscii(driver);
  if (driver_key == "microsoft access driver (*.mdb)" ||
      driver_key == "microsoft access driver (*.mdb, *.accdb)") {
    target.kind = ConnectionTarget::Kind::kJetFile;
    target.jet = JetFile(cs, "dbq", JetFormat::kJet40);
    return target;
  }
  if (driver_key == "sqlite3 odbc driver" || driver_key == "sqlite3 odbc driver (utf-8)") {
    target.kind = ConnectionTarget::Kind::kJetFile;
    target.jet.path = TrimBlanks(FirstOf(cs, {"database", "dbq"}));
    if (target.jet.path.empty()) {
      throw Error(errc::kUnspecified,
                  "The connection string names no database file (Database is missing or empty).");
    }
    target.jet.plain_sqlite = true;
    return target;
  }
  if (IsServerDriver(driver_key)) {
    target.kind = ConnectionTarget::Kind::kServer;
    target.server = Server(cs);
    return target;
  }
  if (driver.empty()) {
    throw Error(errc::kUnspecified,
                "Data source name " +
                    (dsn.empty() ? std::string("not given") : "'" + dsn + "' not found") +
                    " and no default driver specified.");
  }
  throw Error(errc::kUnspecified,
              "Data source name not found and no default driver specified: the driver {" + driver +
                  "} is not installed.");
}

}  // namespace mirelda::data
