#include "data/data_record_set.h"

#include "data/data_classes.h"
#include "data/data_command.h"

namespace mirelda::data {

void DataRecordSet::Open(const Variant& source, const Variant& active_connection,
                         int32_t cursor_type, int32_t /*lock_type*/, int32_t options) {
  if (cursor_->rows) throw Error(errc::kObjectOpen);
  // A Command as the source brings its own connection and parameters.
  if (auto command = source.is_object() ? std::dynamic_pointer_cast<DataCommand>(source.ToObject())
                                        : nullptr) {
    RunResult result = command->Run(options);
    if (!result.rows) return;
    Attach(std::move(result.rows), cursor_type >= 0 && cursor_type <= 3
                                       ? static_cast<CursorType>(cursor_type)
                                       : CursorType::kForwardOnly);
    return;
  }
  if (!source.is_string()) {
    throw Error(errc::kWrongArguments, "The record set has no query text to open.");
  }
  std::shared_ptr<DataConnection> connection;
  std::shared_ptr<DataConnection> own;
  if (active_connection.is_object()) {
    connection = std::dynamic_pointer_cast<DataConnection>(active_connection.ToObject());
  } else if (active_connection.is_string()) {
    own = std::make_shared<DataConnection>();
    own->Open(active_connection.ToString());
    connection = own;
  }
  if (!connection) throw Error(errc::kConnectionInvalid);
  std::shared_ptr<const ResultTable> rows = connection->OpenEngineOrRaise().Run(source.ToString());
  if (!rows) return;
  CursorType type = cursor_type >= 0 && cursor_type <= 3 ? static_cast<CursorType>(cursor_type)
                                                         : CursorType::kForwardOnly;
  Attach(std::move(rows), type);
  own_connection_ = std::move(own);
}

void DataRecordSet::Attach(std::shared_ptr<const ResultTable> rows, CursorType cursor_type) {
  // A fresh cursor: field objects kept from an earlier opening stay with the closed one.
  cursor_ = std::make_shared<Cursor>();
  cursor_->count = rows->RowCount();
  cursor_->rows = std::move(rows);
  cursor_->position = 0;
  cursor_type_ = cursor_type;
  fields_ = std::make_shared<DataFields>(cursor_);
}

const ResultTable& DataRecordSet::RequireOpen() const { return cursor_->RequireRows(); }

void DataRecordSet::RequireBackward() const {
  if (cursor_type_ == CursorType::kForwardOnly) throw Error(errc::kFetchBackward);
}

bool DataRecordSet::IsEOF() {
  RequireOpen();
  return cursor_->AtEnd();
}

bool DataRecordSet::IsBOF() {
  RequireOpen();
  return cursor_->BeforeStart();
}

void DataRecordSet::MoveNext() {
  RequireOpen();
  if (cursor_->AtEnd()) throw Error(errc::kNoCurrentRecord);
  ++cursor_->position;
}

void DataRecordSet::MovePrevious() {
  RequireOpen();
  RequireBackward();
  if (cursor_->BeforeStart()) throw Error(errc::kNoCurrentRecord);
  --cursor_->position;
}

void DataRecordSet::MoveFirst() {
  RequireOpen();
  if (cursor_->count == 0) throw Error(errc::kNoCurrentRecord);
  cursor_->position = 0;
}

void DataRecordSet::MoveLast() {
  RequireOpen();
  RequireBackward();
  if (cursor_->count == 0) throw Error(errc::kNoCurrentRecord);
  cursor_->position = static_cast<int64_t>(cursor_->count) - 1;
}

int32_t DataRecordSet::RecordCount() {
  RequireOpen();
  if (cursor_type_ == CursorType::kForwardOnly || cursor_type_ == CursorType::kDynamic) return -1;
  return static_cast<int32_t>(cursor_->count);
}

std::shared_ptr<Fields> DataRecordSet::GetFields() {
  RequireOpen();
  return fields_;
}

void DataRecordSet::Close() {
  RequireOpen();
  cursor_->rows.reset();
  fields_.reset();
  if (own_connection_) {
    own_connection_->Close();
    own_connection_.reset();
  }
}

int32_t DataRecordSet::State() { return cursor_->rows ? kStateOpen : kStateClosed; }

std::optional<Guid> DataRecordSet::ClassId() const { return RecordSetClassId(); }

}  // namespace mirelda::data
