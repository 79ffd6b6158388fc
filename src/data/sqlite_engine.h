// The Jet file database: an SQLite file with a Jet format mark, spoken to in Jet's SQL.
#pragma once

#include <string>

#include "data/connection_string.h"
#include "data/engine.h"
#include "data/sqlite_handles.h"

namespace mirelda::data {

class SqliteEngine final : public Engine {
 public:
  // Opens the database file that target names (resolved through the path map). Raises Error
  // when the file is missing, is no SQLite database, or lacks the Jet format mark that a Jet
  // provider or driver requires.
  explicit SqliteEngine(const JetTarget& target);

  // The ADO type of a column declared with this SQLite type, or nothing for a declaration that
  // names no type.
  static std::optional<int32_t> DeclaredFieldType(const char* declared);

  Dialect dialect() const override { return Dialect::kJet; }
  RunResult Execute(std::string_view statement, std::span<const Variant> parameters,
                    int32_t timeout_seconds) override;

 private:
  SqliteDatabase db_;
};

}  // namespace mirelda::data
