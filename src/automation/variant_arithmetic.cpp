// The page language's arithmetic and concatenation. Operands are classified once into the
// numeric kind that decides the result's subtype; integral results that overflow their subtype
// move up (Byte -> Integer -> Long -> Double), while a Double or Currency that overflows is
// Overflow (6).
#include <cmath>
#include <limits>

#include "mirelda/error.h"
#include "mirelda/late_binding.h"
#include "mirelda/variant_ops.h"
#include "variant_operands.h"

namespace mirelda {
namespace operands {

Variant Plain(const Variant& v) {
  if (v.is_object()) return ValueOf(v);
  return v;
}

Kind KindOf(const Variant& v) {
  switch (v.type()) {
    case VarType::kEmpty:
      return Kind::kEmpty;
    case VarType::kNull:
      return Kind::kNull;
    case VarType::kBoolean:
      return Kind::kBoolean;
    case VarType::kByte:
      return Kind::kByte;
    case VarType::kInteger:
      return Kind::kInteger;
    case VarType::kLong:
      return Kind::kLong;
    case VarType::kSingle:
      return Kind::kSingle;
    case VarType::kDouble:
      return Kind::kDouble;
    case VarType::kCurrency:
      return Kind::kCurrency;
    case VarType::kDate:
      return Kind::kDate;
    case VarType::kString:
      return Kind::kString;
    default:
      throw Error(errc::kTypeMismatch);
  }
}

Operand Numeric(const Variant& value) {
  Variant v = Plain(value);
  Kind kind = KindOf(v);
  if (kind == Kind::kString) return Operand{Kind::kDouble, Variant(v.ToDouble())};
  if (kind == Kind::kEmpty) return Operand{Kind::kEmpty, Variant(int16_t{0})};
  return Operand{kind, std::move(v)};
}

Variant FromWhole(int64_t value, Kind at_least) {
  if (at_least == Kind::kByte && value >= 0 && value <= 255) {
    return Variant(static_cast<uint8_t>(value));
  }
  if (at_least != Kind::kLong && value >= std::numeric_limits<int16_t>::min() &&
      value <= std::numeric_limits<int16_t>::max()) {
    return Variant(static_cast<int16_t>(value));
  }
  if (value >= std::numeric_limits<int32_t>::min() &&
      value <= std::numeric_limits<int32_t>::max()) {
    return Variant(static_cast<int32_t>(value));
  }
  return Variant(static_cast<double>(value));
}

Variant FromDouble(double value) {
  if (!std::isfinite(value)) throw Error(errc::kOverflow);
  return Variant(value);
}

}  // namespace operands

namespace {

using operands::Kind;
using operands::Operand;

bool IsWhole(Kind k) {
  return k == Kind::kEmpty || k == Kind::kBoolean || k == Kind::kByte || k == Kind::kInteger ||
         k == Kind::kLong;
}

// The integral kind two whole operands compute in: Byte only when both are Bytes (Empty takes
// the other's kind), Long when either is Long, Integer otherwise.
Kind WholeKind(Kind a, Kind b) {
  if (a == Kind::kEmpty) a = b == Kind::kEmpty ? Kind::kInteger : b;
  if (b == Kind::kEmpty) b = a;
  if (a == Kind::kLong || b == Kind::kLong) return Kind::kLong;
  if (a == Kind::kByte && b == Kind::kByte) return Kind::kByte;
  return Kind::kInteger;
}

enum class Op : uint8_t { kAdd, kSubtract, kMultiply };

Currency CurrencyOp(Op op, Currency a, Currency b) {
  __int128 x = a.scaled, y = b.scaled, r = 0;
  switch (op) {
    case Op::kAdd:
      r = x + y;
      break;
    case Op::kSubtract:
      r = x - y;
      break;
    case Op::kMultiply: {
      // Halves to even, as Currency rounds everywhere.
      __int128 product = x * y;
      r = product / 10000;
      __int128 rest = product % 10000;
      __int128 twice = 2 * (rest < 0 ? -rest : rest);
      if (twice > 10000 || (twice == 10000 && r % 2 != 0)) r += product < 0 ? -1 : 1;
      break;
    }
  }
  if (r > std::numeric_limits<int64_t>::max() || r < std::numeric_limits<int64_t>::min()) {
    throw Error(errc::kOverflow);
  }
  return Currency{static_cast<int64_t>(r)};
}

double DoubleOp(Op op, double a, double b) {
  switch (op) {
    case Op::kAdd:
      return a + b;
    case Op::kSubtract:
      return a - b;
    case Op::kMultiply:
      return a * b;
  }
  return 0;
}

Variant Arithmetic(Op op, const Operand& a, const Operand& b) {
  Kind ka = a.kind, kb = b.kind;
  if (ka == Kind::kDate || kb == Kind::kDate) {
    double r = DoubleOp(op, a.value.ToDouble(), b.value.ToDouble());
    // A date moved by a number of days stays a date; the distance between two dates and
    // products are numbers.
    bool date = op == Op::kAdd || (op == Op::kSubtract && kb != Kind::kDate);
    if (date && std::isfinite(r)) return Variant(Date{r});
    return operands::FromDouble(r);
  }
  if (ka == Kind::kDouble || kb == Kind::kDouble) {
    return operands::FromDouble(DoubleOp(op, a.value.ToDouble(), b.value.ToDouble()));
  }
  if (ka == Kind::kCurrency || kb == Kind::kCurrency) {
    if (ka == Kind::kSingle || kb == Kind::kSingle) {
      return operands::FromDouble(DoubleOp(op, a.value.ToDouble(), b.value.ToDouble()));
    }
    return Variant(CurrencyOp(op, a.value.ToCurrency(), b.value.ToCurrency()));
  }
  if (ka == Kind::kSingle || kb == Kind::kSingle) {
    double r = DoubleOp(op, a.value.ToDouble(), b.value.ToDouble());
    bool wide = ka == Kind::kLong || kb == Kind::kLong;
    if (!wide && std::isfinite(r) &&
        std::fabs(r) <= static_cast<double>(std::numeric_limits<float>::max())) {
      return Variant(static_cast<float>(r));
    }
    return operands::FromDouble(r);
  }
  int64_t x = a.value.ToLong(), y = b.value.ToLong();
  int64_t r = op == Op::kAdd ? x + y : op == Op::kSubtract ? x - y : x * y;
  return operands::FromWhole(r, WholeKind(ka, kb));
}

Variant NumericOp(Op op, const Variant& a, const Variant& b) {
  Operand x = operands::Numeric(a);
  Operand y = operands::Numeric(b);
  if (x.kind == Kind::kNull || y.kind == Kind::kNull) return Variant::Null();
  return Arithmetic(op, x, y);
}

// The whole operands of \ and Mod: rounded half to even to Long, and the kind of the result.
struct WholePair {
  int64_t a = 0;
  int64_t b = 0;
  Kind kind = Kind::kInteger;
  bool null = false;
};

WholePair Wholes(const Variant& a, const Variant& b) {
  Operand x = operands::Numeric(a);
  Operand y = operands::Numeric(b);
  WholePair pair;
  if (x.kind == Kind::kNull || y.kind == Kind::kNull) {
    pair.null = true;
    return pair;
  }
  pair.a = x.value.ToLong();
  pair.b = y.value.ToLong();
  pair.kind = IsWhole(x.kind) && IsWhole(y.kind) ? WholeKind(x.kind, y.kind) : Kind::kLong;
  if (pair.b == 0) throw Error(errc::kDivisionByZero);
  return pair;
}

Variant WholeResult(int64_t value, Kind kind) {
  Variant r = operands::FromWhole(value, kind);
  // \ and Mod never leave the Long range but by Long's smallest value \ -1.
  if (r.type() == VarType::kDouble) throw Error(errc::kOverflow);
  return r;
}

}  // namespace

Variant Add(const Variant& a, const Variant& b) {
  Variant x = operands::Plain(a);
  Variant y = operands::Plain(b);
  if (x.is_null() || y.is_null()) return Variant::Null();
  if (x.is_string() && (y.is_string() || y.is_empty())) return Variant(x.ToText() + y.ToText());
  if (y.is_string() && x.is_empty()) return y;
  return NumericOp(Op::kAdd, x, y);
}

Variant Subtract(const Variant& a, const Variant& b) { return NumericOp(Op::kSubtract, a, b); }

Variant Multiply(const Variant& a, const Variant& b) { return NumericOp(Op::kMultiply, a, b); }

Variant Divide(const Variant& a, const Variant& b) {
  Operand x = operands::Numeric(a);
  Operand y = operands::Numeric(b);
  if (x.kind == Kind::kNull || y.kind == Kind::kNull) return Variant::Null();
  double divisor = y.value.ToDouble();
  double dividend = x.value.ToDouble();
  if (divisor == 0) throw Error(dividend == 0 ? errc::kOverflow : errc::kDivisionByZero);
  double r = dividend / divisor;
  bool single = (x.kind == Kind::kSingle || y.kind == Kind::kSingle) &&
                x.kind != Kind::kDouble && y.kind != Kind::kDouble &&
                x.kind != Kind::kLong && y.kind != Kind::kLong &&
                x.kind != Kind::kCurrency && y.kind != Kind::kCurrency &&
                x.kind != Kind::kDate && y.kind != Kind::kDate;
  if (single && std::isfinite(r) &&
      std::fabs(r) <= static_cast<double>(std::numeric_limits<float>::max())) {
    return Variant(static_cast<float>(r));
  }
  return operands::FromDouble(r);
}

Variant IntDivide(const Variant& a, const Variant& b) {
  WholePair p = Wholes(a, b);
  if (p.null) return Variant::Null();
  return WholeResult(p.a / p.b, p.kind);
}

Variant Modulo(const Variant& a, const Variant& b) {
  WholePair p = Wholes(a, b);
  if (p.null) return Variant::Null();
  return WholeResult(p.a % p.b, p.kind);
}

Variant Power(const Variant& a, const Variant& b) {
  Operand x = operands::Numeric(a);
  Operand y = operands::Numeric(b);
  if (x.kind == Kind::kNull || y.kind == Kind::kNull) return Variant::Null();
  double base = x.value.ToDouble();
  double exponent = y.value.ToDouble();
  // A negative base takes only whole exponents, and zero no negative one.
  if ((base < 0 && exponent != std::trunc(exponent)) || (base == 0 && exponent < 0)) {
    throw Error(errc::kInvalidProcedureCall);
  }
  return operands::FromDouble(std::pow(base, exponent));
}

Variant Negate(const Variant& a) {
  Operand x = operands::Numeric(a);
  switch (x.kind) {
    case Kind::kNull:
      return Variant::Null();
    case Kind::kSingle:
      return Variant(-x.value.ToSingle());
    case Kind::kDouble:
      return Variant(-x.value.ToDouble());
    case Kind::kCurrency: {
      Currency c = x.value.ToCurrency();
      if (c.scaled == std::numeric_limits<int64_t>::min()) throw Error(errc::kOverflow);
      return Variant(Currency{-c.scaled});
    }
    case Kind::kDate:
      return Variant(Date{-x.value.ToDouble()});
    default:
      return operands::FromWhole(-int64_t{x.value.ToLong()},
                                 x.kind == Kind::kLong ? Kind::kLong : Kind::kInteger);
  }
}

Variant Concat(const Variant& a, const Variant& b) {
  Variant x = operands::Plain(a);
  Variant y = operands::Plain(b);
  if (x.is_null() && y.is_null()) return Variant::Null();
  if (x.is_bytes() || y.is_bytes()) {
    auto blank = [](const Variant& v) {
      return v.is_empty() || (v.is_string() && v.ToString().empty());
    };
    if ((x.is_bytes() || blank(x)) && (y.is_bytes() || blank(y))) {
      std::string joined(x.is_bytes() ? x.AsBytes().view() : std::string_view());
      if (y.is_bytes()) joined += y.AsBytes().view();
      return Variant(ByteArray(std::string_view(joined)));
    }
    return Variant((x.is_bytes() ? ByteText(x.AsBytes()) : x.ToText()) +
                   (y.is_bytes() ? ByteText(y.AsBytes()) : y.ToText()));
  }
  return Variant(x.ToText() + y.ToText());
}

}  // namespace mirelda
