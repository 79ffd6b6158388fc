// Changes through a record set: each Update, AddNew with values, and Delete goes to the table at
// once, by the primary key, with every value a bound parameter. The row the engine returns is
// what the record set holds afterwards, so numbers it made (an autoincrement key) and defaults
// show at once.
#include "data/data_errors.h"
#include "data/data_record_set.h"
#include "data/record_set_writes.h"

namespace mirelda::data {
namespace {

constexpr int32_t kAffectCurrent = 1;

[[noreturn]] void ReadOnly() {
  throw Error(data_errc::kNotSupported,
              "Current Recordset does not support updating. This may be a limitation of the "
              "provider, or of the selected locktype.");
}

// Pairs of field names (or indices) and values: two arrays of one length, or one of each.
template <class Put>
void EachPair(const Variant& fields, const Variant& values, Put&& put) {
  if (fields.is_array() != values.is_array()) {
    throw Error(errc::kWrongArguments,
                "Arguments are of the wrong type, are out of acceptable range, or are in conflict "
                "with one another: field names and values do not pair.");
  }
  if (!fields.is_array()) {
    put(fields, values);
    return;
  }
  const std::vector<Variant>& names = fields.AsArray().items();
  const std::vector<Variant>& items = values.AsArray().items();
  if (names.size() != items.size() || fields.AsArray().rank() != 1 ||
      values.AsArray().rank() != 1) {
    throw Error(errc::kWrongArguments,
                "Arguments are of the wrong type, are out of acceptable range, or are in conflict "
                "with one another: field names and values do not pair.");
  }
  for (size_t i = 0; i < names.size(); ++i) put(names[i], items[i]);
}

}  // namespace

bool DataRecordSet::Updatable() const {
  return cursor_->rows && lock_type_ != lock_type::kReadOnly && !table_.empty() && connection_;
}

void DataRecordSet::BeginFieldEdit() {
  if (!Updatable()) ReadOnly();
  if (cursor_->edit != EditMode::kNone) return;
  cursor_->edit = EditMode::kInProgress;
  std::fill(cursor_->pending.begin(), cursor_->pending.end(), std::nullopt);
}

void DataRecordSet::SettleEdit() {
  if (cursor_->edit != EditMode::kNone) Update(Variant::Missing(), Variant::Missing());
}

int32_t DataRecordSet::EditMode() {
  RequireOpen();
  if (cursor_->OnRow() && cursor_->deleted.contains(cursor_->RowAt(cursor_->position))) {
    return static_cast<int32_t>(EditMode::kDeleted);
  }
  return static_cast<int32_t>(cursor_->edit);
}

void DataRecordSet::AddNew(const Variant& field_list, const Variant& values) {
  RequireOpen();
  if (!Updatable()) ReadOnly();
  SettleEdit();
  Cursor& c = *cursor_;
  MoveTo(c.position);
  c.MakeOrdered();
  size_t row = c.stored++;
  c.changed[row] = std::vector<Variant>(c.rows->columns().size(), Variant::Null());
  add_return_ = c.position;
  c.order.push_back(row);
  c.count = c.order.size();
  c.position = static_cast<int64_t>(c.count) - 1;
  c.edit = EditMode::kAdd;
  std::fill(c.pending.begin(), c.pending.end(), std::nullopt);
  if (field_list.is_missing()) return;
  EachPair(field_list, values, [&](const Variant& name, const Variant& value) {
    fields_->Item(name)->SetValue(value);
  });
  Update(Variant::Missing(), Variant::Missing());
}

void DataRecordSet::Update(const Variant& fields, const Variant& values) {
  RequireOpen();
  if (!fields.is_missing()) {
    cursor_->CurrentRow();
    EachPair(fields, values, [&](const Variant& name, const Variant& value) {
      fields_->Item(name)->SetValue(value);
    });
  }
  Cursor& c = *cursor_;
  if (c.edit == EditMode::kNone) return;
  size_t row = c.CurrentRow();
  std::vector<size_t> columns;
  for (size_t i = 0; i < c.pending.size(); ++i) {
    if (c.pending[i]) columns.push_back(i);
  }
  RowWriter writer(connection_->OpenEngineOrRaise(), table_, c.rows->columns());
  std::vector<Variant> written;
  if (c.edit == EditMode::kAdd) {
    std::vector<Variant> given;
    for (size_t i : columns) given.push_back(*c.pending[i]);
    written = writer.Insert(columns, given);
  } else if (!columns.empty()) {
    std::vector<Variant> given, original;
    for (size_t i : columns) given.push_back(*c.pending[i]);
    for (size_t i = 0; i < c.pending.size(); ++i) original.push_back(c.Stored(row, i));
    written = writer.Change(columns, given, original);
  }
  if (!written.empty()) c.changed[row] = std::move(written);
  c.edit = EditMode::kNone;
  std::fill(c.pending.begin(), c.pending.end(), std::nullopt);
}

void DataRecordSet::CancelUpdate() {
  RequireOpen();
  Cursor& c = *cursor_;
  if (c.edit == EditMode::kAdd) {
    // The added row was never written: it leaves the order and the record set goes back to
    // where it was.
    size_t row = c.order.back();
    c.order.pop_back();
    c.count = c.order.size();
    c.changed.erase(row);
    c.deleted.insert(row);
    c.position = std::min<int64_t>(add_return_, static_cast<int64_t>(c.count));
  }
  c.edit = EditMode::kNone;
  std::fill(c.pending.begin(), c.pending.end(), std::nullopt);
}

void DataRecordSet::Delete(int32_t affect_records) {
  RequireOpen();
  if (!Updatable()) ReadOnly();
  if (affect_records != kAffectCurrent) {
    throw Error(data_errc::kNotSupported,
                "Object or provider is not capable of performing requested operation: Delete "
                "takes the current row only.");
  }
  if (cursor_->edit == EditMode::kAdd) {
    CancelUpdate();
    return;
  }
  Cursor& c = *cursor_;
  size_t row = c.CurrentRow();
  std::vector<Variant> original;
  for (size_t i = 0; i < c.pending.size(); ++i) original.push_back(c.Stored(row, i));
  RowWriter(connection_->OpenEngineOrRaise(), table_, c.rows->columns()).Remove(original);
  c.edit = EditMode::kNone;
  std::fill(c.pending.begin(), c.pending.end(), std::nullopt);
  c.MakeOrdered();
  c.deleted.insert(row);
}

}  // namespace mirelda::data
