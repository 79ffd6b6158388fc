// How the operators see their operands: objects as their default values, and the numeric kind
// that decides a result's subtype.
#pragma once

#include <cstdint>

#include "mirelda/variant.h"

namespace mirelda::operands {

enum class Kind : uint8_t {
  kEmpty, kNull, kBoolean, kByte, kInteger, kLong, kSingle, kDouble, kCurrency, kDate, kString,
};

struct Operand {
  Kind kind;
  Variant value;
};

// An object's default value; other values as they are.
Variant Plain(const Variant& v);
// The kind of a plain value; Type mismatch (13) for arrays, byte arrays, missing and error values.
Kind KindOf(const Variant& v);
// An operand of arithmetic: text becomes a Double (13 when it is no number), Empty an Integer 0
// that keeps the kind kEmpty.
Operand Numeric(const Variant& value);
// A whole result in the narrowest subtype from at_least up (Byte, Integer, Long), else Double.
Variant FromWhole(int64_t value, Kind at_least);
// A Double result; Overflow (6) when it is no finite number.
Variant FromDouble(double value);

}  // namespace mirelda::operands
