// The table builder's field list and its CREATE TABLE statement, apart from any connection.
#pragma once

#include <optional>
#include <string>

#include "mirelda/variant.h"

namespace mirelda::database {

struct FieldList {
  int16_t db_ver = 1;  // 2 writes reference clauses; anything else counts as 1
  std::string table_name;
  Variant names, types, sizes, nulls;  // four parallel arrays
  std::string primary_key;             // column names separated by ","
  std::string references;              // items "table&...&col,col" separated by "|"
};

// Runs the checks in order and returns the message of the first that fails, or nothing when the
// list is sound. Raises Error where a value cannot be read: an argument that is not an array
// (Type mismatch), a bound outside the 16-bit index (Overflow), an empty reference item
// (Subscript out of range), a Null name where the names are joined (Invalid use of Null).
std::optional<std::string> CheckFieldList(const FieldList& list);

// The statement for a list that passed the checks.
std::string BuildCreateTable(const FieldList& list);

}  // namespace mirelda::database
