// Pages, positions and bookmarks of a record set. A bookmark is the stored row's number, which
// stays with the row through Sort and Filter.
#include "data/data_errors.h"
#include "data/data_record_set.h"

namespace mirelda::data {
namespace {

[[noreturn]] void OutOfRange(const char* what) {
  throw Error(errc::kWrongArguments,
              std::string("Arguments are of the wrong type, are out of acceptable range, or are "
                          "in conflict with one another (") +
                  what + ").");
}

[[noreturn]] void NoPositions() {
  throw Error(data_errc::kNotSupported,
              "Object or provider is not capable of performing requested operation: a "
              "forward-only record set has no positions.");
}

}  // namespace

void DataRecordSet::SetPageSize(int32_t value) {
  if (value < 1) OutOfRange("PageSize");
  page_size_ = value;
}

int32_t DataRecordSet::PageCount() {
  int32_t count = RecordCount();
  if (count < 0) return -1;
  return count / page_size_ + (count % page_size_ != 0 ? 1 : 0);
}

int32_t DataRecordSet::AbsolutePosition() {
  RequireOpen();
  if (cursor_type_ == CursorType::kForwardOnly) return kPosUnknown;
  if (cursor_->AtEnd()) return kPosEOF;
  if (cursor_->BeforeStart()) return kPosBOF;
  return static_cast<int32_t>(cursor_->position + 1);
}

void DataRecordSet::SetAbsolutePosition(int32_t value) {
  RequireOpen();
  if (cursor_type_ == CursorType::kForwardOnly) NoPositions();
  SettleEdit();
  MoveTo(-1);
  if (value < 1 || static_cast<size_t>(value) > cursor_->count) OutOfRange("AbsolutePosition");
  cursor_->position = value - 1;
}

int32_t DataRecordSet::AbsolutePage() {
  int32_t position = AbsolutePosition();
  if (position < 1) return position;
  return (position - 1) / page_size_ + 1;
}

void DataRecordSet::SetAbsolutePage(int32_t value) {
  RequireOpen();
  if (cursor_type_ == CursorType::kForwardOnly) NoPositions();
  if (value < 1) OutOfRange("AbsolutePage");
  SettleEdit();
  MoveTo(-1);
  // A page past the last leaves the record set at EOF, as reading on from the last page would.
  int64_t first = (static_cast<int64_t>(value) - 1) * page_size_;
  MoveTo(first);
}

Variant DataRecordSet::Bookmark() {
  RequireOpen();
  if (cursor_type_ == CursorType::kForwardOnly) NoPositions();
  return Variant(static_cast<double>(cursor_->CurrentRow()));
}

// Bookmarks are Doubles; the Long (or Integer) numbers 0, 1 and 2 name the current, the first and
// the last row, as the replaced library's BookmarkEnum does.
int64_t DataRecordSet::PlaceOf(const Variant& bookmark) const {
  if (bookmark.type() == VarType::kLong || bookmark.type() == VarType::kInteger) {
    switch (bookmark.ToLong()) {
      case 0:
        return cursor_->position;
      case 1:
        return 0;
      case 2:
        return static_cast<int64_t>(cursor_->count) - 1;
      default:
        break;
    }
  } else if (bookmark.is_numeric()) {
    double wanted = bookmark.ToDouble();
    for (size_t i = 0; i < cursor_->count; ++i) {
      if (static_cast<double>(cursor_->RowAt(i)) == wanted) return static_cast<int64_t>(i);
    }
  }
  OutOfRange("Bookmark");
}

void DataRecordSet::SetBookmark(const Variant& value) {
  RequireOpen();
  if (cursor_type_ == CursorType::kForwardOnly) NoPositions();
  SettleEdit();
  MoveTo(-1);
  cursor_->position = PlaceOf(value);
}

}  // namespace mirelda::data
