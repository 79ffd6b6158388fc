// "ADODB.RecordSet": the rows of one query or table, materialised when it opens, with the cursor
// behaviour of the replaced library for the cursor types that callers pass. Paging lives in
// record_set_paging.cpp, Filter, Sort and Find in record_set_filter.cpp, changes in
// record_set_update.cpp.
#pragma once

#include <memory>
#include <string>

#include "data/data_connection.h"
#include "data/field_objects.h"
#include "data/live_objects.h"
#include "data/record_criteria.h"
#include "mirelda/data.h"

namespace mirelda::data {

enum class CursorType : int32_t { kForwardOnly = 0, kKeyset = 1, kDynamic = 2, kStatic = 3 };

class DataRecordSet final : public RecordSet, private FieldWrites {
 public:
  DataRecordSet() = default;
  ~DataRecordSet() override;

  // Raises kObjectOpen when open, kConnectionInvalid without a usable connection,
  // kWrongArguments without a source, and the engine's error when the query fails (the record
  // set then stays closed). A statement that returns no rows runs and leaves it closed. With a
  // lock type other than read-only, the rows of one table can change.
  void Open(const Variant& source, const Variant& active_connection, int32_t cursor_type,
            int32_t lock_type, int32_t options) override;
  // Moving past either end raises kNoCurrentRecord, moving backwards on a forward-only cursor
  // kFetchBackward. A move with an edit in progress writes the edit first.
  bool IsEOF() override;
  bool IsBOF() override;
  void MoveNext() override;
  void MovePrevious() override;
  void MoveFirst() override;
  void MoveLast() override;
  void Move(int32_t num_records, const Variant& start) override;
  int32_t RecordCount() override;
  std::shared_ptr<Fields> GetFields() override;
  void Close() override;
  int32_t State() override;
  std::optional<Guid> ClassId() const override;

  int32_t CursorType() override { return static_cast<int32_t>(cursor_type_); }
  void SetCursorType(int32_t value) override;
  int32_t LockType() override { return lock_type_; }
  void SetLockType(int32_t value) override;
  int32_t CursorLocation() override { return cursor_location_; }
  void SetCursorLocation(int32_t value) override;
  std::string Source() override { return source_; }
  void SetSource(const std::string& value) override;
  Variant ActiveConnection() override;
  void SetActiveConnection(const Variant& value) override;

  int32_t PageSize() override { return page_size_; }
  void SetPageSize(int32_t value) override;
  int32_t PageCount() override;
  int32_t AbsolutePage() override;
  void SetAbsolutePage(int32_t value) override;
  int32_t AbsolutePosition() override;
  void SetAbsolutePosition(int32_t value) override;
  Variant Bookmark() override;
  void SetBookmark(const Variant& value) override;

  Variant Filter() override { return filter_text_.empty() ? Variant(0) : Variant(filter_text_); }
  void SetFilter(const Variant& value) override;
  std::string Sort() override { return sort_text_; }
  void SetSort(const std::string& value) override;
  void Find(const std::string& criteria, int32_t skip_records, int32_t direction,
            const Variant& start) override;
  Variant GetRows(int32_t rows, const Variant& start, const Variant& fields) override;
  bool Supports(int32_t cursor_options) override;
  std::shared_ptr<RecordSet> NextRecordset(Variant& records_affected) override;

  void AddNew(const Variant& field_list, const Variant& values) override;
  void Update(const Variant& fields, const Variant& values) override;
  void CancelUpdate() override;
  void Delete(int32_t affect_records) override;
  int32_t EditMode() override;

  // Opens the record set on rows that a statement returned (read-only).
  void Attach(std::shared_ptr<const ResultTable> rows, enum CursorType cursor_type);

 private:
  // FieldWrites
  void BeginFieldEdit() override;
  bool Updatable() const override;

  const ResultTable& RequireOpen() const;
  void RequireClosed() const;
  void RequireBackward() const;
  bool CountsRows() const;
  // The visible row a bookmark names; kWrongArguments for one that names none.
  int64_t PlaceOf(const Variant& bookmark) const;
  // Writes an edit in progress before the position changes.
  void SettleEdit();
  // Puts the position at a visible row (or BOF, EOF), dropping a deleted row that the position
  // leaves from the order.
  void MoveTo(int64_t position);
  // Recomputes the visible rows from the stored ones, the sort and the filter.
  void Reorder();
  // The row's key columns and values for an UPDATE or DELETE; kNotSupported without a key.
  void WriteChanges(size_t row, const std::vector<size_t>& columns);
  void InsertRow(size_t row);
  void DeleteRow(size_t row);

  std::shared_ptr<Cursor> cursor_ = std::make_shared<Cursor>();
  std::shared_ptr<DataFields> fields_;
  enum CursorType cursor_type_ = CursorType::kForwardOnly;
  int32_t lock_type_ = lock_type::kReadOnly;
  int32_t cursor_location_ = kUseServer;
  std::string source_;
  std::shared_ptr<DataConnection> connection_;
  bool own_connection_ = false;
  std::string table_;  // the one table the rows come from, when they can change
  int32_t page_size_ = 10;
  std::string filter_text_;
  std::optional<Criteria> filter_;
  std::string sort_text_;
  std::vector<SortKey> sort_;
  int64_t add_return_ = 0;  // where CancelUpdate of an AddNew goes back to
  LiveObject live_;
};

}  // namespace mirelda::data
