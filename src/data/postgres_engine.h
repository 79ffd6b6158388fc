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

  Dialect dialect() const override { return Dialect::kServer; }
  RunResult Execute(std::string_view statement, std::span<const Variant> parameters,
                    int32_t timeout_seconds) override;

 private:
  // What a result does not say about a table column: its name as written and whether the
  // server numbers it.
  struct ColumnFacts {
    std::string written_name;
    bool auto_increment = false;
    bool key = false;
  };
  using TableFacts = std::unordered_map<int, ColumnFacts>;

  // The facts of the result's source tables, fetched once per table and connection.
  void LearnTables(const PGresult* result);
  // Sets the server's statement_timeout when it differs from what holds.
  void ApplyTimeout(int32_t seconds);

  static constexpr int32_t kTimeoutUnknown = -1;

  PgConnection conn_;
  std::unordered_map<Oid, TableFacts> tables_;
  // The statement_timeout the session holds, in seconds: 0 (none) as the server starts.
  int32_t applied_timeout_ = 0;
};

}  // namespace mirelda::data
