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
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    std::string why = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    throw std::runtime_error("cannot open " + file.string() + ": " + why);
  }
  sqlite3_busy_timeout(db, 5000);
  sqlite3_stmt* statement = nullptr;
  Rows rows;
  int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
  while (rc == SQLITE_OK && (rc = sqlite3_step(statement)) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      const unsigned char* text = sqlite3_column_text(statement, i);
      row.push_back(text ? reinterpret_cast<const char*>(text) : "NULL");
    }
    rows.push_back(std::move(row));
    rc = SQLITE_OK;
  }
  std::string why = rc == SQLITE_DONE ? "" : sqlite3_errmsg(db);
  sqlite3_finalize(statement);
  sqlite3_close(db);
  if (!why.empty()) throw std::runtime_error(sql + ": " + why);
  return rows;
}

}  // namespace mirelda::testing
