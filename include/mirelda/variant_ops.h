// The page language's operators over Variants, with its coercion rules: Empty counts as 0 beside
// a number and as "" beside text, Null propagates (and makes comparisons Null), an object takes
// its default value, numeric text takes part in arithmetic as a Double, and Byte, Integer and
// Long results that overflow their type are promoted (Byte -> Integer -> Long -> Double) rather
// than failing. Currency that overflows is Overflow (6). Text that is no number where a number
// is needed is Type mismatch (13); division by zero is 11.
#pragma once

#include <cstdint>

#include "mirelda/export.h"
#include "mirelda/variant.h"

namespace mirelda {

// How text compares: byte for byte (binary), or without regard to letter case (text).
enum class CompareMode : uint8_t { kBinary = 0, kText = 1 };

enum class CompareOp : uint8_t { kEq, kNe, kLt, kLe, kGt, kGe };

// Which operand of a comparison is a literal constant of the script. The page language converts
// a literal to the type of the other operand before it compares a number with text: x = "5" with
// x a number compares numbers (Type mismatch when the literal is no number), s = 5 with s text
// compares texts. Between two non-literals a number is always less than text.
enum class LiteralSide : uint8_t { kNone, kLeft, kRight };

MIRELDA_API Variant Add(const Variant& a, const Variant& b);  // a + b: numbers, or texts joined
MIRELDA_API Variant Subtract(const Variant& a, const Variant& b);   // a - b (Date - Date is Double)
MIRELDA_API Variant Multiply(const Variant& a, const Variant& b);   // a * b
MIRELDA_API Variant Divide(const Variant& a, const Variant& b);     // a / b: Double (11 for / 0)
MIRELDA_API Variant IntDivide(const Variant& a, const Variant& b);  // a \ b: operands rounded
MIRELDA_API Variant Modulo(const Variant& a, const Variant& b);     // a Mod b: operands rounded
MIRELDA_API Variant Power(const Variant& a, const Variant& b);      // a ^ b: Double
MIRELDA_API Variant Negate(const Variant& a);                       // -a
// a & b: Null & Null is Null. Two byte strings (or one beside Empty or "") join as bytes, as
// pages that take a request body apart build them; beside other text a byte string reads as text
// (ByteText).
MIRELDA_API Variant Concat(const Variant& a, const Variant& b);
// The text a byte string stands for: each pair of bytes one UTF-16 unit, low byte first, a last
// odd byte a unit of its own. This is how the language sees binary data as a string.
MIRELDA_API std::string ByteText(const ByteArray& bytes);

// Logical on Booleans, bitwise on numbers (Integer or Long results), with Null's three-valued
// rules (Null And False is False, Null Or True is True, otherwise Null).
MIRELDA_API Variant Not(const Variant& a);
MIRELDA_API Variant And(const Variant& a, const Variant& b);
MIRELDA_API Variant Or(const Variant& a, const Variant& b);
MIRELDA_API Variant Xor(const Variant& a, const Variant& b);
MIRELDA_API Variant Eqv(const Variant& a, const Variant& b);
MIRELDA_API Variant Imp(const Variant& a, const Variant& b);

// a op b as Boolean, or Null when either operand is Null.
MIRELDA_API Variant Compare(const Variant& a, const Variant& b, CompareOp op,
                            CompareMode mode = CompareMode::kBinary,
                            LiteralSide literal = LiteralSide::kNone);
// Three-way comparison by the same rules: negative, zero or positive; false (and *order left
// alone) when either operand is Null.
MIRELDA_API bool CompareOrder(const Variant& a, const Variant& b, int* order,
                              CompareMode mode = CompareMode::kBinary,
                              LiteralSide literal = LiteralSide::kNone);
// Two texts compared under a mode: negative, zero or positive.
MIRELDA_API int CompareText(std::string_view a, std::string_view b, CompareMode mode);

// a Is b: both object references (Nothing included) naming the same object; Object required
// (424) when either is no object.
MIRELDA_API bool Is(const Variant& a, const Variant& b);

// The value of a condition (If, While, Until): Booleans as they are, numbers non-zero, numeric
// or "True"/"False" text converted, Empty false, Null false; Type mismatch otherwise.
MIRELDA_API bool IsTrue(const Variant& condition);

}  // namespace mirelda
