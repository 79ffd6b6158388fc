// The operators on Integer, Long and Double operands, which loop counters, sums and tests are
// made of, computed in place. Each answers false when its operands or result need the runtime's
// general rules (another subtype, an Integer or Long result that would pass Long, division by
// zero, a Double that overflows), which then decide; where it answers true its result is the one
// those rules give.
#pragma once

#include <cmath>
#include <cstdint>

#include "mirelda/variant.h"
#include "mirelda/variant_ops.h"
#include "script/vbscript/program.h"

namespace mirelda::script::vbscript {

// The whole number of an Integer or Long; long_kind says which (the result's least kind).
inline bool WholeOperand(const Variant& v, int64_t* out, bool* long_kind) {
  if (const int32_t* l = v.LongIf()) {
    *out = *l;
    *long_kind = true;
    return true;
  }
  if (const int16_t* i = v.IntegerIf()) {
    *out = *i;
    *long_kind = false;
    return true;
  }
  return false;
}

inline bool NumberOperand(const Variant& v, double* out) {
  if (const double* d = v.DoubleIf()) {
    *out = *d;
    return true;
  }
  int64_t whole = 0;
  bool long_kind = false;
  if (!WholeOperand(v, &whole, &long_kind)) return false;
  *out = static_cast<double>(whole);
  return true;
}

inline bool WholeResult(int64_t r, bool long_kind, Variant* out) {
  if (!long_kind && r >= INT16_MIN && r <= INT16_MAX) {
    *out = Variant(static_cast<int16_t>(r));
  } else if (r >= INT32_MIN && r <= INT32_MAX) {
    *out = Variant(static_cast<int32_t>(r));
  } else {
    return false;
  }
  return true;
}

inline bool FastBinary(Binary op, const Variant& a, const Variant& b, Variant* out) {
  int64_t x = 0, y = 0;
  bool lx = false, ly = false;
  if (WholeOperand(a, &x, &lx) && WholeOperand(b, &y, &ly)) {
    bool long_kind = lx || ly;
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
        *out = Variant(static_cast<double>(x) / static_cast<double>(y));
        return true;
      default:
        return false;
    }
  }
  if (!a.DoubleIf() && !b.DoubleIf()) return false;
  double p = 0, q = 0;
  if (!NumberOperand(a, &p) || !NumberOperand(b, &q)) return false;
  double r = 0;
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
      return false;
  }
  if (!std::isfinite(r)) return false;
  *out = Variant(r);
  return true;
}

inline bool FastOrder(const Variant& a, const Variant& b, int* order) {
  int64_t x = 0, y = 0;
  bool lx = false, ly = false;
  if (WholeOperand(a, &x, &lx) && WholeOperand(b, &y, &ly)) {
    *order = x < y ? -1 : x > y ? 1 : 0;
    return true;
  }
  double p = 0, q = 0;
  if (!NumberOperand(a, &p) || !NumberOperand(b, &q)) return false;
  *order = p < q ? -1 : p > q ? 1 : 0;
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
