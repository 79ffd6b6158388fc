// The forms in which parameter values reach the engines, shared by both so that a value binds the
// same way whichever database is behind the connection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "mirelda/variant.h"

namespace mirelda::data {

struct BoundValue {
  enum class Kind { kNull, kInteger, kReal, kDecimal, kText, kBytes } kind = Kind::kNull;
  int64_t integer = 0;
  double real = 0;
  // kDecimal, kText and kBytes: the value's bytes, in owned or (bytes) in the Variant's storage,
  // so the BoundValue lives no longer than the Variant it was made from and is not copied.
  std::string_view bytes;
  std::string owned;

  BoundValue() = default;
  BoundValue(const BoundValue&) = delete;
  BoundValue& operator=(const BoundValue&) = delete;
};

// The bound form of value, parameter number position (from 1, for messages). Raises Type mismatch
// for arrays, objects and error values.
void ToBoundValue(const Variant& value, size_t position, BoundValue& out);

// The Errors of a placeholder count that does not match the values given.
void CheckParameterCount(size_t placeholders, size_t values);

}  // namespace mirelda::data
