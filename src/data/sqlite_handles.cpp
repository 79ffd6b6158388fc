#include "data/sqlite_handles.h"

#include <string>

namespace mirelda::data {

SqliteDatabase OpenSqlite(const std::filesystem::path& file, int flags,
                          std::string_view page_path) {
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(file.c_str(), &raw, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  SqliteDatabase db(raw);
  if (rc != SQLITE_OK) {
    std::string why = raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
    throw Error(errc::kUnspecified,
                "Cannot open the database file '" + std::string(page_path) + "': " + why);
  }
  sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
  sqlite3_extended_result_codes(db.get(), 1);
  return db;
}

ProviderError SqliteError(sqlite3* db) {
  std::string message = sqlite3_errmsg(db);
  int32_t number = errc::kUnspecified;
  int code = sqlite3_extended_errcode(db);
  std::string state = (code & 0xff) == SQLITE_CONSTRAINT ? "23000" : "HY000";
  if (message.starts_with("no such table")) {
    number = errc::kNoSuchTable;
    state = "42S02";
  } else if (message.find("syntax error") != std::string::npos ||
             message.starts_with("incomplete input") || message.starts_with("unrecognized token") ||
             message.starts_with("no such column") || message.starts_with("no such function") ||
             message.find("already exists") != std::string::npos) {
    number = errc::kSyntaxError;
    state = "42000";
  }
  return ProviderError(number, message, "SQLite", state, code);
}

void SqliteExec(sqlite3* db, const char* text) {
  if (sqlite3_exec(db, text, nullptr, nullptr, nullptr) != SQLITE_OK) throw SqliteError(db);
}

}  // namespace mirelda::data
