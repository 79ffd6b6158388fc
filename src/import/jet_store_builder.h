// Builds a Jet file from table definitions and rows, under a temporary name beside its
// destination, and gives it the destination's name only once everything is in it.
#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "data/connection_string.h"
#include "data/sqlite_handles.h"
#include "import/access_model.h"

namespace mirelda::import {

class JetStoreBuilder {
 public:
  // Creates an empty Jet file of the given format beside destination. Raises Error
  // (kDatabaseExists) when destination exists and replace is false, and when its folder is
  // missing or not writable.
  JetStoreBuilder(const std::filesystem::path& destination, data::JetFormat format, bool replace);
  // Removes the temporary file unless Publish succeeded.
  ~JetStoreBuilder();
  JetStoreBuilder(const JetStoreBuilder&) = delete;
  JetStoreBuilder& operator=(const JetStoreBuilder&) = delete;

  // Creates the table in Jet's SQL, with the columns that have a Jet type, the primary key and
  // required columns; each column or key left out is appended to lost. Raises Error when the
  // table cannot be created at all. Rows and indexes that follow go to this table.
  void BeginTable(const AccessTable& table, std::vector<std::string>& lost);
  // Inserts one row (one cell per column of the table given to BeginTable); the reason when the
  // row could not be stored.
  std::optional<std::string> AddRow(const std::vector<Cell>& cells);
  // Creates the table's other indexes; each one that cannot be built is appended to lost.
  void EndTable(std::vector<std::string>& lost);

  // Commits and moves the file to the destination (replacing it only when asked to). Raises
  // Error, leaving the destination as it was, when that fails.
  void Publish();

  const std::filesystem::path& temporary_path() const { return temporary_; }

 private:
  std::filesystem::path destination_;
  std::filesystem::path temporary_;
  bool replace_;
  bool published_ = false;
  data::SqliteDatabase db_;
  data::SqliteStatement insert_;
  const AccessTable* table_ = nullptr;
  std::vector<size_t> kept_;     // the columns of table_ that the Jet table has
  std::set<std::string> names_;  // table and index names taken, in upper case
};

}  // namespace mirelda::import
