// How the built-ins read their arguments: an object stands for its default value, Null is
// Invalid use of Null (94) where a value is needed, and a count or position outside its range is
// Invalid procedure call or argument (5).
#pragma once

#include <cstdint>
#include <string>

#include "mirelda/error.h"
#include "mirelda/late_binding.h"
#include "mirelda/variant.h"

namespace mirelda::script::vbscript {

inline Variant PlainValue(const Variant& value) {
  return value.is_object() ? ValueOf(value) : value;
}

inline std::string TextArg(const Variant& value) { return PlainValue(value).ToString(); }

inline int32_t LongArg(const Variant& value) { return PlainValue(value).ToLong(); }

// A count or position that must not be negative (or below minimum).
inline int32_t CountArg(const Variant& value, int32_t minimum = 0) {
  int32_t n = LongArg(value);
  if (n < minimum) throw Error(errc::kInvalidProcedureCall);
  return n;
}

}  // namespace mirelda::script::vbscript
