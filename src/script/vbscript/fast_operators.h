// The operators on Integer, Long and Double operands, which loop counters, sums and tests are
// made of, computed in place on plain numbers. Each answers false when its operands or result
// need the runtime's general rules (another subtype, an Integer or Long result that would pass
// Long, division by zero, a Double that overflows), which then decide; where it answers true its
// result is the one those rules give.
#pragma once

#include <cmath>
#include <cstdint>

#include "mirelda/variant.h"
#include "mirelda/variant_ops.h"
#include "script/vbscript/program.h"

namespace mirelda::script::vbscript {

// An Integer, Long or Double without the Variant around it.
struct PlainNumber {
  enum class Kind : uint8_t { kInteger, kLong, kDouble };
  Kind kind = Kind::kInteger;
  int64_t whole = 0;  // kInteger, kLong
  double real = 0;    // kDouble

  double AsDouble() const { return kind == Kind::kDouble ? real : static_cast<double>(whole); }
  Variant ToVariant() const {
    switch (kind) {
      case Kind::kInteger:
        return Variant(static_cast<int16_t>(whole));
      case Kind::kLong:
        return Variant(static_cast<int32_t>(whole));
      case Kind::kDouble:
        return Variant(real);
    }
    return Variant();
  }
};

inline bool NumberOf(const Variant& v, PlainNumber* out) {
  if (const int32_t* l = v.LongIf()) {
    *out = {PlainNumber::Kind::kLong, *l, 0};
  } else if (const int16_t* i = v.IntegerIf()) {
    *out = {PlainNumber::Kind::kInteger, *i, 0};
  } else if (const double* d = v.DoubleIf()) {
    *out = {PlainNumber::Kind::kDouble, 0, *d};
  } else {
    return false;
  }
  return true;
}

// A whole result in the narrowest of Integer (unless long_kind) and Long that holds it.
inline bool WholeResult(int64_t r, bool long_kind, PlainNumber* out) {
  if (!long_kind && r >= INT16_MIN && r <= INT16_MAX) {
    *out = {PlainNumber::Kind::kInteger, r, 0};
  } else if (r >= INT32_MIN && r <= INT32_MAX) {
    *out = {PlainNumber::Kind::kLong, r, 0};
  } else {
    return false;
  }
  return true;
}

inline bool FastBinary(Binary op, const PlainNumber& a, const PlainNumber& b, PlainNumber* out) {
  using Kind = PlainNumber::Kind;
  if (a.kind != Kind::kDouble && b.kind != Kind::kDouble) {
    int64_t x = a.whole, y = b.whole;
    bool long_kind = a.kind == Kind::kLong || b.kind == Kind::kLong;
    switch (op) {
      case Binary::kAdd:
        return WholeResult(x + y, long_kind, out);
      case Binary::kSubtract:
        return WholeResult(x - y, long_kind, out);
      case Binary::kMultiply:
        return WholeResult(x * y, long_kind, out);
      case Binary::kModulo:
        return y != 0 && WholeResult(x % y, long_kind, out);
      case Binary::kIntDivide:
        return y != 0 && WholeResult(x / y, long_kind, out);
      case Binary::kDivide:
        if (y == 0) return false;
        *out = {Kind::kDouble, 0, static_cast<double>(x) / static_cast<double>(y)};
        return true;
      default:
        return false;
    }
  }
  double p = a.AsDouble(), q = b.AsDouble(), r = 0;
  switch (op) {
    case Binary::kAdd:
      r = p + q;
      break;
    case Binary::kSubtract:
      r = p - q;
      break;
    case Binary::kMultiply:
      r = p * q;
      break;
    case Binary::kDivide:
      if (q == 0) return false;
      r = p / q;
      break;
    default:
      // Mod and \ round Double operands first: the general rules do that.
      return false;
  }
  if (!std::isfinite(r)) return false;
  *out = {Kind::kDouble, 0, r};
  return true;
}

inline bool FastBinary(Binary op, const Variant& a, const Variant& b, Variant* out) {
  PlainNumber x, y, r;
  if (!NumberOf(a, &x) || !NumberOf(b, &y) || !FastBinary(op, x, y, &r)) return false;
  *out = r.ToVariant();
  return true;
}

inline int Order(const PlainNumber& a, const PlainNumber& b) {
  using Kind = PlainNumber::Kind;
  if (a.kind != Kind::kDouble && b.kind != Kind::kDouble) {
    return a.whole < b.whole ? -1 : a.whole > b.whole ? 1 : 0;
  }
  double p = a.AsDouble(), q = b.AsDouble();
  return p < q ? -1 : p > q ? 1 : 0;
}

inline bool FastOrder(const Variant& a, const Variant& b, int* order) {
  PlainNumber x, y;
  if (!NumberOf(a, &x) || !NumberOf(b, &y)) return false;
  *order = Order(x, y);
  return true;
}

inline bool Holds(CompareOp op, int order) {
  switch (op) {
    case CompareOp::kEq:
      return order == 0;
    case CompareOp::kNe:
      return order != 0;
    case CompareOp::kLt:
      return order < 0;
    case CompareOp::kLe:
      return order <= 0;
    case CompareOp::kGt:
      return order > 0;
    case CompareOp::kGe:
      return order >= 0;
  }
  return false;
}

}  // namespace mirelda::script::vbscript
