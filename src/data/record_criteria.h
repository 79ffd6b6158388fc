// The criteria of a record set's Filter and Find ("name = 'x' AND (n > 3 OR n = Null)",
// "title LIKE '*new*'") and the keys of its Sort ("a ASC, b DESC"), read against the record set's
// columns and tested on its stored rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "data/field_objects.h"
#include "mirelda/variant.h"

namespace mirelda::data {

class Criteria {
 public:
  // Reads criteria text: comparisons "field op value" (op one of = <> != < > <= >= LIKE, value
  // a 'quoted' or "quoted" text, a number, a #date# or Null; "field IS [NOT] NULL") joined by
  // AND and OR, with parentheses. Names are found without regard to case and may be [bracketed].
  // Raises kWrongArguments for text it cannot read and kItemNotFound for a name no column has.
  static Criteria Parse(std::string_view text, const std::vector<ColumnInfo>& columns);

  // Texts compare without regard to case, as the replaced library's filters do; a Null field
  // meets only "= Null" and "<> Null" is false for it. LIKE takes * and % for any characters.
  bool Matches(const Cursor& cursor, size_t row) const;

  enum class Op : uint8_t { kEq, kNe, kLt, kLe, kGt, kGe, kLike, kAnd, kOr };
  struct Node {
    Op op = Op::kEq;
    size_t column = 0;  // comparisons
    Variant value;
    size_t left = 0, right = 0;  // AND, OR: node indices
  };

 private:
  bool Test(size_t node, const Cursor& cursor, size_t row) const;

  std::vector<Node> nodes_;
  size_t root_ = 0;
};

struct SortKey {
  size_t column;
  bool descending;
};

// "a, b DESC, [c d] ASC"; an empty text gives no keys. kWrongArguments for text it cannot read,
// kItemNotFound for a name no column has.
std::vector<SortKey> ParseSort(std::string_view text, const std::vector<ColumnInfo>& columns);

// The order of two values in a Sort: Null first, then numbers, dates and texts as the page
// language compares them (texts without regard to case).
int CompareForSort(const Variant& a, const Variant& b);

// True when text matches pattern, * and % standing for any run of characters; ASCII letters
// match without regard to case.
bool MatchesLike(std::string_view text, std::string_view pattern);

}  // namespace mirelda::data
