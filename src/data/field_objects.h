// The Fields collection of a record set, its Field objects and their provider Properties. They
// read the record set's rows through the cursor they share with it, so a field object that a
// caller keeps sees the current row, and sees the record set closed once it is.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/live_objects.h"
#include "data/result_table.h"
#include "mirelda/data.h"

namespace mirelda::data {

// The rows of an open record set and the current position: -1 before the first row (BOF),
// RowCount() after the last (EOF). Rows are null once the record set is closed.
struct Cursor {
  std::shared_ptr<const ResultTable> rows;
  size_t count = 0;  // rows->RowCount(), kept at hand for the checks of every read
  int64_t position = 0;

  // kObjectClosed when closed.
  const ResultTable& RequireRows() const;
  bool AtEnd() const { return position >= static_cast<int64_t>(count); }
  bool BeforeStart() const { return position < 0 || count == 0; }
};

class DataProperty final : public Property {
 public:
  DataProperty(std::string name, Variant value)
      : name_(std::move(name)), value_(std::move(value)) {}
  std::string Name() override { return name_; }
  Variant Value() override { return value_; }

 private:
  std::string name_;
  Variant value_;
  LiveObject live_;
};

class DataProperties final : public Properties {
 public:
  explicit DataProperties(std::vector<std::shared_ptr<DataProperty>> items)
      : items_(std::move(items)) {}
  int32_t Count() override { return static_cast<int32_t>(items_.size()); }
  std::shared_ptr<Property> Item(const Variant& index) override;

 private:
  std::vector<std::shared_ptr<DataProperty>> items_;
  LiveObject live_;
};

class DataField final : public Field {
 public:
  DataField(std::shared_ptr<Cursor> cursor, size_t column)
      : cursor_(std::move(cursor)), column_(column) {}
  std::string Name() override;
  // kNoCurrentRecord at BOF or EOF.
  Variant Value() override;
  int32_t Type() override;
  // "ISAUTOINCREMENT": true for a column the engine numbers itself.
  std::shared_ptr<Properties> GetProperties() override;

 private:
  const ColumnInfo& Column() const;

  std::shared_ptr<Cursor> cursor_;
  size_t column_;
  LiveObject live_;
};

class DataFields final : public Fields {
 public:
  explicit DataFields(std::shared_ptr<Cursor> cursor);
  int32_t Count() override;
  std::shared_ptr<Field> Item(const Variant& index) override;

 private:
  std::shared_ptr<Cursor> cursor_;
  std::vector<std::shared_ptr<DataField>> fields_;
  LiveObject live_;
};

}  // namespace mirelda::data
