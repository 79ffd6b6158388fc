// The Fields collection of a record set, its Field objects and their provider Properties. They
// read the record set's rows through the cursor they share with it, so a field object that a
// caller keeps sees the current row, and sees the record set closed once it is.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "data/live_objects.h"
#include "data/result_table.h"
#include "mirelda/data.h"

namespace mirelda::data {

// What the current row's edit buffer holds (the numbers of EditModeEnum).
enum class EditMode : int32_t { kNone = 0, kInProgress = 1, kAdd = 2, kDeleted = 4 };

// The rows of an open record set, the order in which they are visible and the current position:
// -1 before the first visible row (BOF), count after the last (EOF). Rows are null once the
// record set is closed.
//
// A stored row is an engine row (below rows->RowCount()) or one that AddNew made (after them).
// A row whose values this record set changed, and every added row, keeps its values in changed.
struct Cursor {
  std::shared_ptr<const ResultTable> rows;
  std::unordered_map<size_t, std::vector<Variant>> changed;
  std::unordered_set<size_t> deleted;
  size_t stored = 0;
  // Visible rows by stored index once a Filter, Sort, AddNew or Delete has ordered them; before
  // that every stored row is visible in its own order.
  bool ordered = false;
  std::vector<size_t> order;
  size_t count = 0;  // visible rows, kept at hand for the checks of every read
  int64_t position = 0;

  EditMode edit = EditMode::kNone;
  std::vector<std::optional<Variant>> pending;  // by column, while edit is in progress or add

  // kObjectClosed when closed.
  const ResultTable& RequireRows() const;
  bool AtEnd() const { return position >= static_cast<int64_t>(count); }
  bool BeforeStart() const { return position < 0 || count == 0; }
  bool OnRow() const { return position >= 0 && position < static_cast<int64_t>(count); }
  size_t RowAt(size_t visible) const { return ordered ? order[visible] : visible; }
  // The stored row under the position; kNoCurrentRecord off the rows or on a deleted one.
  size_t CurrentRow() const;
  // A stored value, as this record set last wrote or read it.
  Variant Stored(size_t row, size_t column) const;
  // The value a field shows: the edit buffer's, else the stored one.
  Variant Shown(size_t column) const;
  // Makes order explicit, so rows can be added, dropped or rearranged.
  void MakeOrdered();
};

// What the record set tells its fields about writing: whether values may change at all, and the
// step that starts an edit of the current row.
class FieldWrites {
 public:
  virtual ~FieldWrites() = default;
  // Raises the read-only error when the record set cannot change; starts an edit otherwise.
  virtual void BeginFieldEdit() = 0;
  virtual bool Updatable() const = 0;
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
  DataField(std::shared_ptr<Cursor> cursor, size_t column, FieldWrites* writes)
      : cursor_(std::move(cursor)), column_(column), writes_(writes) {}
  std::string Name() override;
  // kNoCurrentRecord at BOF or EOF or on a deleted row.
  Variant Value() override;
  // Starts an edit of the current row (or writes into the row being added); the read-only error
  // when the record set cannot change.
  void SetValue(const Variant& value) override;
  Variant OriginalValue() override;
  Variant UnderlyingValue() override;
  int32_t Type() override;
  int32_t DefinedSize() override;
  int32_t ActualSize() override;
  int32_t Attributes() override;
  // "ISAUTOINCREMENT": true for a column the engine numbers itself.
  std::shared_ptr<Properties> GetProperties() override;

  // The record set is closing: writes have nobody to go to any more.
  void Detach() { writes_ = nullptr; }

 private:
  const ColumnInfo& Column() const;

  std::shared_ptr<Cursor> cursor_;
  size_t column_;
  FieldWrites* writes_;
  LiveObject live_;
};

class DataFields final : public Fields {
 public:
  DataFields(std::shared_ptr<Cursor> cursor, FieldWrites* writes);
  int32_t Count() override;
  std::shared_ptr<Field> Item(const Variant& index) override;
  // The column of a name (any letter case) or index; kItemNotFound otherwise.
  size_t ColumnOf(const Variant& index) const;
  void Detach();

 private:
  std::shared_ptr<Cursor> cursor_;
  std::vector<std::shared_ptr<DataField>> fields_;
  LiveObject live_;
};

}  // namespace mirelda::data
