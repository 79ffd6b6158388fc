// The rows a statement returned, as the engines hand them to record sets: column descriptions and
// values that do not depend on the connection any more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mirelda/data.h"
#include "mirelda/variant.h"

namespace mirelda::data {

struct ColumnInfo {
  std::string name;  // as the statement or the table definition wrote it
  int32_t type = field_type::kVarWChar;
  bool auto_increment = false;
};

// Immutable once built; shared by a record set and its field objects.
class ResultTable {
 public:
  virtual ~ResultTable() = default;

  const std::vector<ColumnInfo>& columns() const { return columns_; }
  virtual size_t RowCount() const = 0;
  // row < RowCount(), column < columns().size().
  virtual Variant Value(size_t row, size_t column) const = 0;

 protected:
  std::vector<ColumnInfo> columns_;
};

// Rows held as values, row after row.
class ValueTable final : public ResultTable {
 public:
  explicit ValueTable(std::vector<ColumnInfo> columns) { columns_ = std::move(columns); }

  std::vector<ColumnInfo>& mutable_columns() { return columns_; }
  std::vector<Variant>& cells() { return cells_; }
  size_t RowCount() const override {
    return columns_.empty() ? 0 : cells_.size() / columns_.size();
  }
  Variant Value(size_t row, size_t column) const override {
    return cells_[row * columns_.size() + column];
  }

 private:
  std::vector<Variant> cells_;
};

// A date as an engine writes it: "YYYY-MM-DD[ HH:MM:SS[.fraction]][+zone]" or a time of day.
// False when text holds no date.
bool ParseStoredDate(std::string_view text, Date* out);

}  // namespace mirelda::data
