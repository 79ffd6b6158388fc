// The dictionary bootstrap: one pattern, run by each of the six public methods of Database with
// its table's data (dictionary_table.h).
#pragma once

#include <memory>
#include <string>

#include "database/database.h"
#include "dictionary/dictionary_table.h"
#include "mirelda/data.h"

namespace mirelda::dictionary {

// Creates the table when it is absent and seeds it when it is empty; returns the report. Errors of
// its own record set (creating it, opening or closing the emptiness probe) reach the caller.
Variant RunBootstrap(database::Database& db, const DictionaryTable& table, int16_t db_ver);

// The seeding step's means of writing: every statement runs under continue-on-error, and any
// failure makes the step answer false.
class Seeder {
 public:
  Seeder(database::Database& db, std::shared_ptr<RecordSet> rs);

  // Runs a statement on the connection.
  void Execute(const std::string& statement);
  // The first row's field of a query, or `fallback` when the query returns no row. `narrow` reads
  // the value as a 16-bit integer; otherwise it is used as read.
  Variant ReadFirst(const std::string& query, const std::string& field, bool narrow,
                    Variant fallback);
  bool failed() const { return failed_; }

 private:
  database::Database& db_;
  std::shared_ptr<RecordSet> rs_;
  bool failed_ = false;
};

}  // namespace mirelda::dictionary
