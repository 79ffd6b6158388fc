// "ADODB.RecordSet": the rows of one query, materialised when it opens, with the cursor
// behaviour of the replaced library for the cursor types that callers pass.
#pragma once

#include <memory>

#include "data/data_connection.h"
#include "data/field_objects.h"
#include "data/live_objects.h"
#include "mirelda/data.h"

namespace mirelda::data {

enum class CursorType : int32_t { kForwardOnly = 0, kKeyset = 1, kDynamic = 2, kStatic = 3 };

class DataRecordSet final : public RecordSet {
 public:
  // source: the query text. active_connection: an open Connection of this library, or a
  // connection string that the record set opens for itself and closes with it. cursor_type -1
  // is forward-only; lock_type and options are accepted (rows are read-only). Raises kObjectOpen
  // when open, kConnectionInvalid without a usable connection, kWrongArguments without a source,
  // and the engine's error when the query fails (the record set then stays closed). A statement
  // that returns no rows runs and leaves the record set closed.
  void Open(const Variant& source, const Variant& active_connection, int32_t cursor_type,
            int32_t lock_type, int32_t options) override;
  // The members below raise kObjectClosed on a closed record set; moving past either end raises
  // kNoCurrentRecord, moving backwards on a forward-only cursor kFetchBackward.
  bool IsEOF() override;
  bool IsBOF() override;
  void MoveNext() override;
  void MovePrevious() override;
  void MoveFirst() override;
  void MoveLast() override;
  // -1 for forward-only and dynamic cursors, the row count for keyset and static ones.
  int32_t RecordCount() override;
  std::shared_ptr<Fields> GetFields() override;
  void Close() override;
  int32_t State() override;
  std::optional<Guid> ClassId() const override;

  // Opens the record set on rows that a statement returned.
  void Attach(std::shared_ptr<const ResultTable> rows, CursorType cursor_type);

 private:
  const ResultTable& RequireOpen() const;
  void RequireBackward() const;

  std::shared_ptr<Cursor> cursor_ = std::make_shared<Cursor>();
  std::shared_ptr<DataFields> fields_;
  CursorType cursor_type_ = CursorType::kForwardOnly;
  std::shared_ptr<DataConnection> own_connection_;
  LiveObject live_;
};

}  // namespace mirelda::data
