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
  bool key = false;          // part of its table's primary key
  int32_t defined_size = 0;  // declared characters of text; 0 takes the type's own size
};

// The size a column of this type declares when its definition names none: bytes for numbers,
// the long types' limit for memo and binary columns.
int32_t DefaultDefinedSize(int32_t type);

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

// Rows copied out of an engine, row after row, in a compact form: numbers in place, text and
// bytes in one shared buffer. A value becomes a Variant only when it is read.
class CellTable final : public ResultTable {
 public:
  explicit CellTable(std::vector<ColumnInfo> columns) { columns_ = std::move(columns); }

  std::vector<ColumnInfo>& mutable_columns() { return columns_; }

  // Append the cells of each row in column order.
  void AddNull() { cells_.push_back({0, 0, Kind::kNull}); }
  void AddInteger(int64_t value) {
    cells_.push_back({static_cast<uint64_t>(value), 0, Kind::kInteger});
  }
  void AddBoolean(bool value) { cells_.push_back({value, 0, Kind::kBoolean}); }
  void AddReal(double value);
  // as_date: read as a Date when the text holds one, as text otherwise.
  void AddText(std::string_view text, bool as_date) {
    AddSpan(text, as_date ? Kind::kDateText : Kind::kText);
  }
  void AddBytes(std::string_view bytes) { AddSpan(bytes, Kind::kBytes); }

  // Closes the row whose cells were added since the last call.
  void EndRow() { ++rows_; }

  size_t RowCount() const override { return rows_; }
  Variant Value(size_t row, size_t column) const override;

 private:
  enum class Kind : uint8_t { kNull, kInteger, kBoolean, kReal, kText, kDateText, kBytes };
  struct Cell {
    uint64_t bits;  // the number, or the offset of the text in the buffer
    uint32_t size;  // the length of the text
    Kind kind;
  };
  void AddSpan(std::string_view bytes, Kind kind);

  std::vector<Cell> cells_;
  std::string buffer_;
  size_t rows_ = 0;
};

// A date as an engine writes it: "YYYY-MM-DD[ HH:MM:SS[.fraction]][+zone]" or a time of day.
// False when text holds no date.
bool ParseStoredDate(std::string_view text, Date* out);

}  // namespace mirelda::data
