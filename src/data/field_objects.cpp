#include "data/field_objects.h"

#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::data {
namespace {

// FieldAttributeEnum.
constexpr int32_t kFldUpdatable = 0x4;
constexpr int32_t kFldFixed = 0x10;
constexpr int32_t kFldIsNullable = 0x20;
constexpr int32_t kFldMayBeNull = 0x40;
constexpr int32_t kFldLong = 0x80;
constexpr int32_t kFldKeyColumn = 0x8000;

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

bool IsLong(int32_t type) {
  return type == field_type::kLongVarWChar || type == field_type::kLongVarBinary;
}

}  // namespace

const ResultTable& Cursor::RequireRows() const {
  if (!rows) throw Error(errc::kObjectClosed);
  return *rows;
}

size_t Cursor::CurrentRow() const {
  if (!OnRow()) throw Error(errc::kNoCurrentRecord);
  size_t row = RowAt(static_cast<size_t>(position));
  if (deleted.contains(row)) throw Error(errc::kNoCurrentRecord);
  return row;
}

Variant Cursor::Stored(size_t row, size_t column) const {
  if (!changed.empty()) {
    auto it = changed.find(row);
    if (it != changed.end()) return it->second[column];
  }
  return rows->Value(row, column);
}

Variant Cursor::Shown(size_t column) const {
  size_t row = CurrentRow();
  if (edit != EditMode::kNone && pending[column]) return *pending[column];
  return Stored(row, column);
}

void Cursor::MakeOrdered() {
  if (ordered) return;
  order.resize(count);
  for (size_t i = 0; i < count; ++i) order[i] = i;
  ordered = true;
}

std::shared_ptr<Property> DataProperties::Item(const Variant& index) {
  return items_[Find(items_, index, [](const auto& p) { return p->Name(); })];
}

const ColumnInfo& DataField::Column() const { return cursor_->RequireRows().columns()[column_]; }

std::string DataField::Name() { return Column().name; }

int32_t DataField::Type() { return Column().type; }

Variant DataField::Value() {
  cursor_->RequireRows();
  return cursor_->Shown(column_);
}

void DataField::SetValue(const Variant& value) {
  cursor_->RequireRows();
  if (!writes_) throw Error(errc::kObjectClosed);
  cursor_->CurrentRow();
  writes_->BeginFieldEdit();
  // Arrays and objects have no column to go into; the engine would only see their text.
  if (value.is_array() || value.is_object() || value.is_missing()) {
    throw Error(errc::kTypeMismatch, "A field takes a single value.");
  }
  cursor_->pending[column_] = value.is_empty() ? Variant::Null() : value;
}

Variant DataField::OriginalValue() {
  cursor_->RequireRows();
  return cursor_->Stored(cursor_->CurrentRow(), column_);
}

// The table holds what this record set last wrote or read: writes go through at once.
Variant DataField::UnderlyingValue() { return OriginalValue(); }

int32_t DataField::DefinedSize() {
  const ColumnInfo& column = Column();
  return column.defined_size > 0 ? column.defined_size : DefaultDefinedSize(column.type);
}

int32_t DataField::ActualSize() {
  Variant value = Value();
  if (value.is_null()) return 0;
  if (value.is_bytes()) return static_cast<int32_t>(value.AsBytes().size());
  if (value.is_string()) return static_cast<int32_t>(text::Length(value.ToString()));
  return DefaultDefinedSize(Column().type);
}

int32_t DataField::Attributes() {
  const ColumnInfo& column = Column();
  int32_t flags = kFldMayBeNull;
  if (!column.key) flags |= kFldIsNullable;
  if (column.key) flags |= kFldKeyColumn;
  if (IsLong(column.type)) {
    flags |= kFldLong;
  } else if (column.type != field_type::kVarWChar) {
    flags |= kFldFixed;
  }
  if (writes_ && writes_->Updatable() && !column.auto_increment) flags |= kFldUpdatable;
  return flags;
}

std::shared_ptr<Properties> DataField::GetProperties() {
  const ColumnInfo& column = Column();
  return std::make_shared<DataProperties>(std::vector<std::shared_ptr<DataProperty>>{
      std::make_shared<DataProperty>("ISAUTOINCREMENT", Variant(column.auto_increment)),
      std::make_shared<DataProperty>("KEYCOLUMN", Variant(column.key))});
}

DataFields::DataFields(std::shared_ptr<Cursor> cursor, FieldWrites* writes)
    : cursor_(std::move(cursor)) {
  size_t count = cursor_->RequireRows().columns().size();
  fields_.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    fields_.push_back(std::make_shared<DataField>(cursor_, i, writes));
  }
}

int32_t DataFields::Count() {
  cursor_->RequireRows();
  return static_cast<int32_t>(fields_.size());
}

size_t DataFields::ColumnOf(const Variant& index) const {
  const std::vector<ColumnInfo>& columns = cursor_->RequireRows().columns();
  return Find(columns, index, [](const ColumnInfo& c) -> const std::string& { return c.name; });
}

std::shared_ptr<Field> DataFields::Item(const Variant& index) { return fields_[ColumnOf(index)]; }

void DataFields::Detach() {
  for (auto& field : fields_) field->Detach();
}

}  // namespace mirelda::data
