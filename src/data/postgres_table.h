// The rows of a PostgreSQL result, kept in the result itself and turned into values only when
// read, so that a record set costs little more than the result.
#pragma once

#include <memory>
#include <vector>

#include "data/postgres_handles.h"
#include "data/result_table.h"

namespace mirelda::data {

class PostgresTable final : public ResultTable {
 public:
  // Takes the result (PGRES_TUPLES_OK) and the columns as the engine names them; the field types
  // come from the result's column types.
  PostgresTable(PgResult result, std::vector<ColumnInfo> columns);

  size_t RowCount() const override { return rows_; }
  Variant Value(size_t row, size_t column) const override;

  enum class Kind : uint8_t { kText, kInteger, kReal, kBoolean, kDate, kBytes };

 private:
  PgResult result_;
  size_t rows_;
  std::vector<Kind> kinds_;
};

}  // namespace mirelda::data
