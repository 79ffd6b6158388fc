// Not, And, Or, Xor, Eqv and Imp: logical on two Booleans, bitwise on numbers (Byte, Integer or
// Long results), and three-valued where an operand is Null: the result is known without the Null
// operand only when the other one decides it.
#include <cstdint>
#include <string>

#include "mirelda/error.h"
#include "mirelda/text.h"
#include "mirelda/variant_ops.h"
#include "variant_operands.h"

namespace mirelda {
namespace {

using operands::Kind;

// An operand of a logical operator: Null, a Boolean, or whole bits with the kind of the result
// they make.
struct Bits {
  bool null = false;
  bool boolean = false;
  int32_t bits = 0;
  Kind kind = Kind::kInteger;
};

Bits BitsOf(const Variant& value) {
  Variant v = operands::Plain(value);
  Bits b;
  switch (operands::KindOf(v)) {
    case Kind::kNull:
      b.null = true;
      return b;
    case Kind::kBoolean:
      b.boolean = true;
      b.bits = v.ToBool() ? -1 : 0;
      return b;
    case Kind::kEmpty:
      return b;
    case Kind::kByte:
      b.kind = Kind::kByte;
      b.bits = v.ToByte();
      return b;
    case Kind::kInteger:
      b.bits = v.ToInteger();
      return b;
    case Kind::kString: {
      // "True" and "False" are Booleans here, as they are in conditions; other text a number.
      std::string trimmed = text::Trim(v.ToText());
      if (text::EqualsIgnoreCase(trimmed, "true") || text::EqualsIgnoreCase(trimmed, "false")) {
        b.boolean = true;
        b.bits = v.ToBool() ? -1 : 0;
        return b;
      }
      b.kind = Kind::kLong;
      b.bits = v.ToLong();
      return b;
    }
    default:
      b.kind = Kind::kLong;
      b.bits = v.ToLong();
      return b;
  }
}

Variant Result(int32_t bits, const Bits& a, const Bits& b) {
  if (a.boolean && b.boolean) return Variant(bits != 0);
  Kind ka = a.boolean ? Kind::kInteger : a.kind;
  Kind kb = b.boolean ? Kind::kInteger : b.kind;
  if (ka == Kind::kLong || kb == Kind::kLong) return Variant(bits);
  if (ka == Kind::kByte && kb == Kind::kByte) return Variant(static_cast<uint8_t>(bits));
  return Variant(static_cast<int16_t>(bits));
}

// The value of one known operand standing for the whole result.
Variant Alone(const Bits& known) {
  if (known.boolean) return Variant(known.bits != 0);
  if (known.kind == Kind::kLong) return Variant(known.bits);
  if (known.kind == Kind::kByte) return Variant(static_cast<uint8_t>(known.bits));
  return Variant(static_cast<int16_t>(known.bits));
}

enum class Op : uint8_t { kAnd, kOr, kXor, kEqv, kImp };

int32_t Apply(Op op, int32_t x, int32_t y) {
  auto ux = static_cast<uint32_t>(x), uy = static_cast<uint32_t>(y);
  uint32_t r = 0;
  switch (op) {
    case Op::kAnd:
      r = ux & uy;
      break;
    case Op::kOr:
      r = ux | uy;
      break;
    case Op::kXor:
      r = ux ^ uy;
      break;
    case Op::kEqv:
      r = ~(ux ^ uy);
      break;
    case Op::kImp:
      r = ~ux | uy;
      break;
  }
  return static_cast<int32_t>(r);
}

Variant Logical(Op op, const Variant& a, const Variant& b) {
  Bits x = BitsOf(a);
  Bits y = BitsOf(b);
  if (x.null && y.null) return Variant::Null();
  if (x.null || y.null) {
    const Bits& known = x.null ? y : x;
    bool known_left = !x.null;
    switch (op) {
      case Op::kAnd:
        // False And Null is False; 0 And Null is 0.
        return known.bits == 0 ? Alone(known) : Variant::Null();
      case Op::kOr:
        return known.bits == -1 ? Alone(known) : Variant::Null();
      case Op::kImp:
        // False Imp Null is True; Null Imp True is True.
        if (known_left && known.bits == 0) {
          return known.boolean ? Variant(true) : Result(-1, known, known);
        }
        if (!known_left && known.bits == -1) return Alone(known);
        return Variant::Null();
      default:
        return Variant::Null();
    }
  }
  return Result(Apply(op, x.bits, y.bits), x, y);
}

}  // namespace

Variant Not(const Variant& a) {
  Bits x = BitsOf(a);
  if (x.null) return Variant::Null();
  if (x.boolean) return Variant(x.bits == 0);
  return Result(static_cast<int32_t>(~static_cast<uint32_t>(x.bits)), x, x);
}

Variant And(const Variant& a, const Variant& b) { return Logical(Op::kAnd, a, b); }
Variant Or(const Variant& a, const Variant& b) { return Logical(Op::kOr, a, b); }
Variant Xor(const Variant& a, const Variant& b) { return Logical(Op::kXor, a, b); }
Variant Eqv(const Variant& a, const Variant& b) { return Logical(Op::kEqv, a, b); }
Variant Imp(const Variant& a, const Variant& b) { return Logical(Op::kImp, a, b); }

}  // namespace mirelda
