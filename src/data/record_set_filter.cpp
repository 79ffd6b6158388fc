// Filter, Sort and Find of a record set, over the rows it holds: the engine is not asked again.
#include <algorithm>

#include "data/data_errors.h"
#include "data/data_record_set.h"

namespace mirelda::data {

void DataRecordSet::Reorder() {
  Cursor& c = *cursor_;
  std::vector<size_t> order;
  order.reserve(c.stored);
  for (size_t row = 0; row < c.stored; ++row) {
    if (c.deleted.contains(row)) continue;
    if (filter_ && !filter_->Matches(c, row)) continue;
    order.push_back(row);
  }
  if (!sort_.empty()) {
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      for (const SortKey& key : sort_) {
        int o = CompareForSort(c.Stored(a, key.column), c.Stored(b, key.column));
        if (o != 0) return key.descending ? o > 0 : o < 0;
      }
      return false;
    });
  }
  c.order = std::move(order);
  c.ordered = true;
  c.count = c.order.size();
  c.position = 0;
}

void DataRecordSet::SetFilter(const Variant& value) {
  const ResultTable& table = RequireOpen();
  SettleEdit();
  if (value.is_numeric() && !value.is_string()) {
    if (value.ToLong() != 0) {
      throw Error(data_errc::kNotSupported,
                  "Object or provider is not capable of performing requested operation: only "
                  "adFilterNone (0) and criteria text filter these rows.");
    }
    filter_.reset();
    filter_text_.clear();
  } else if (value.is_array()) {
    throw Error(data_errc::kNotSupported,
                "Object or provider is not capable of performing requested operation: rows are "
                "filtered by criteria text.");
  } else {
    std::string text = value.ToText();
    if (text.empty()) {
      filter_.reset();
    } else {
      filter_ = Criteria::Parse(text, table.columns());
    }
    filter_text_ = std::move(text);
  }
  Reorder();
}

void DataRecordSet::SetSort(const std::string& value) {
  const ResultTable& table = RequireOpen();
  if (cursor_type_ == CursorType::kForwardOnly) {
    throw Error(data_errc::kNotSupported,
                "Object or provider is not capable of performing requested operation: a "
                "forward-only record set cannot be sorted.");
  }
  SettleEdit();
  sort_ = ParseSort(value, table.columns());
  sort_text_ = value;
  Reorder();
}

void DataRecordSet::Find(const std::string& criteria, int32_t skip_records, int32_t direction,
                         const Variant& start) {
  const ResultTable& table = RequireOpen();
  if (direction != kSearchForward && direction != kSearchBackward) {
    throw Error(errc::kWrongArguments);
  }
  if (direction == kSearchBackward || skip_records < 0) RequireBackward();
  Criteria wanted = Criteria::Parse(criteria, table.columns());
  SettleEdit();
  int64_t from = cursor_->position;
  if (!start.is_missing()) {
    from = PlaceOf(start);
  } else if (!cursor_->OnRow()) {
    throw Error(errc::kNoCurrentRecord);
  }
  MoveTo(from);
  const Cursor& c = *cursor_;
  const auto count = static_cast<int64_t>(c.count);
  for (int64_t at = c.position + static_cast<int64_t>(skip_records) * direction;
       at >= 0 && at < count; at += direction) {
    size_t row = c.RowAt(static_cast<size_t>(at));
    if (!c.deleted.contains(row) && wanted.Matches(c, row)) {
      cursor_->position = at;
      return;
    }
  }
  cursor_->position = direction == kSearchForward ? count : -1;
}

}  // namespace mirelda::data
