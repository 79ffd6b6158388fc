#include "data/field_objects.h"

#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::data {
namespace {

[[noreturn]] void NotFound(const Variant& index) {
  std::string what = index.is_string() ? "'" + index.ToString() + "'" : index.ToText();
  throw Error(errc::kItemNotFound,
              "Item cannot be found in the collection corresponding to the requested name or "
              "ordinal (" +
                  what + ").");
}

// Ordinal position for a number, or the first item whose name matches without regard to case.
template <class Items, class NameOf>
size_t Find(const Items& items, const Variant& index, NameOf&& name_of) {
  const VarType type = index.type();
  if (type == VarType::kLong || type == VarType::kInteger || index.is_numeric()) {
    int32_t ordinal = index.ToLong();
    if (ordinal < 0 || static_cast<size_t>(ordinal) >= items.size()) NotFound(index);
    return static_cast<size_t>(ordinal);
  }
  if (!index.is_string()) NotFound(index);
  const std::string& wanted = index.ToString();
  for (size_t i = 0; i < items.size(); ++i) {
    if (text::EqualsIgnoreCase(name_of(items[i]), wanted)) return i;
  }
  NotFound(index);
}

}  // namespace

const ResultTable& Cursor::RequireRows() const {
  if (!rows) throw Error(errc::kObjectClosed);
  return *rows;
}

std::shared_ptr<Property> DataProperties::Item(const Variant& index) {
  return items_[Find(items_, index, [](const auto& p) { return p->Name(); })];
}

const ColumnInfo& DataField::Column() const { return cursor_->RequireRows().columns()[column_]; }

std::string DataField::Name() { return Column().name; }

int32_t DataField::Type() { return Column().type; }

Variant DataField::Value() {
  const ResultTable& rows = cursor_->RequireRows();
  // Before the first row the position is negative, which as unsigned lies past the last.
  const auto row = static_cast<uint64_t>(cursor_->position);
  if (row >= cursor_->count) throw Error(errc::kNoCurrentRecord);
  return rows.Value(row, column_);
}

std::shared_ptr<Properties> DataField::GetProperties() {
  const ColumnInfo& column = Column();
  return std::make_shared<DataProperties>(std::vector<std::shared_ptr<DataProperty>>{
      std::make_shared<DataProperty>("ISAUTOINCREMENT", Variant(column.auto_increment))});
}

DataFields::DataFields(std::shared_ptr<Cursor> cursor) : cursor_(std::move(cursor)) {
  size_t count = cursor_->RequireRows().columns().size();
  fields_.reserve(count);
  for (size_t i = 0; i < count; ++i) fields_.push_back(std::make_shared<DataField>(cursor_, i));
}

int32_t DataFields::Count() {
  cursor_->RequireRows();
  return static_cast<int32_t>(fields_.size());
}

std::shared_ptr<Field> DataFields::Item(const Variant& index) {
  const std::vector<ColumnInfo>& columns = cursor_->RequireRows().columns();
  return fields_[Find(columns, index,
                      [](const ColumnInfo& c) -> const std::string& { return c.name; })];
}

}  // namespace mirelda::data
