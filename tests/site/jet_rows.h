// Reads a site's Jet file straight through SQLite, to see what the pages really stored.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace mirelda::testing {

using Rows = std::vector<std::vector<std::string>>;

// The rows of a query, every value as text ("NULL" for a null), read from a fresh read-only
// connection.
inline Rows JetRows(const std::filesystem::path& file, const std::string& sql) {
  sqlite3* db = nullptr;
  char* error = nullptr;
  Rows rows;
  int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_busy_timeout(db, 5000);
    auto keep = [](void* out, int n, char** values, char**) {
      auto& row = static_cast<Rows*>(out)->emplace_back();
      for (int i = 0; i < n; ++i) row.push_back(values[i] ? values[i] : "NULL");
      return 0;
    };
    rc = sqlite3_exec(db, sql.c_str(), keep, &rows, &error);
  }
  std::string why = rc == SQLITE_OK ? "" : error ? error : db ? sqlite3_errmsg(db) : "no memory";
  sqlite3_free(error);
  sqlite3_close(db);
  if (!why.empty()) throw std::runtime_error(file.string() + ": " + sql + ": " + why);
  return rows;
}

}  // namespace mirelda::testing
