// The "{sql server}" database: PostgreSQL through libpq, spoken to in the server dialect.
#pragma once

#include <libpq-fe.h>

#include <unordered_map>

#include "data/connection_string.h"
#include "data/engine.h"
#include "data/postgres_handles.h"

namespace mirelda::data {

class PostgresEngine final : public Engine {
 public:
  // Connects; raises kLogonFailed when the server refuses the user, password or database, and
  // an unspecified error when it cannot be reached.
  explicit PostgresEngine(const ServerTarget& target);

  std::shared_ptr<const ResultTable> Run(std::string_view statement) override;

 private:
  // What a result does not say about a table column: its name as written and whether the
  // server numbers it.
  struct ColumnFacts {
    std::string written_name;
    bool auto_increment = false;
  };
  using TableFacts = std::unordered_map<int, ColumnFacts>;

  // The facts of the result's source tables, fetched once per table and connection.
  void LearnTables(const PGresult* result);

  PgConnection conn_;
  std::unordered_map<Oid, TableFacts> tables_;
};

}  // namespace mirelda::data
