// Owning handles of SQLite connections and statements, and the errors SQLite reports as Errors.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <string_view>

#include "data/provider_error.h"
#include "mirelda/error.h"

namespace mirelda::data {

struct SqliteCloser {
  void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
using SqliteDatabase = std::unique_ptr<sqlite3, SqliteCloser>;

struct SqliteFinalizer {
  void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteFinalizer>;

// How long a connection waits for another connection's lock before it gives up, so that pages
// running at once on one file take turns instead of failing.
inline constexpr int kBusyTimeoutMs = 30000;

// Opens a database file with flags (SQLITE_OPEN_*); page_path names it in messages.
SqliteDatabase OpenSqlite(const std::filesystem::path& file, int flags, std::string_view page_path);

// The Error for the last failure on db: "no such table" has its own number; statements that
// cannot run as written (syntax, unknown columns and functions, objects that already exist)
// are command errors, as Jet reports them; everything else is unspecified. The description is
// SQLite's message, the native error SQLite's extended result code, and the SQLSTATE the class
// of the failure ("42S02", "42000", "23000" for constraints, "HY000" otherwise).
ProviderError SqliteError(sqlite3* db);

// Runs text that returns no rows; raises SqliteError.
void SqliteExec(sqlite3* db, const char* text);

}  // namespace mirelda::data
