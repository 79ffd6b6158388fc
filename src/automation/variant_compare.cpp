// The page language's comparisons: numbers by value, texts by the compare mode, a number and a
// text by which of them is a literal of the script, Null making the result Null.
#include "mirelda/error.h"
#include "mirelda/variant_ops.h"
#include "variant_operands.h"

namespace mirelda {
namespace {

using operands::Kind;

int Sign(double d) { return d < 0 ? -1 : d > 0 ? 1 : 0; }

int CompareNumbers(const Variant& a, Kind ka, const Variant& b, Kind kb) {
  if (ka == Kind::kCurrency && kb == Kind::kCurrency) {
    int64_t x = a.ToCurrency().scaled, y = b.ToCurrency().scaled;
    return x < y ? -1 : x > y ? 1 : 0;
  }
  if (ka == Kind::kEmpty) return Sign(-b.ToDouble());
  if (kb == Kind::kEmpty) return Sign(a.ToDouble());
  double x = a.ToDouble(), y = b.ToDouble();
  return x < y ? -1 : x > y ? 1 : 0;
}

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

int CompareText(std::string_view a, std::string_view b, CompareMode mode) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    char x = a[i], y = b[i];
    if (mode == CompareMode::kText) {
      x = FoldAscii(x);
      y = FoldAscii(y);
    }
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool CompareOrder(const Variant& a, const Variant& b, int* order, CompareMode mode,
                  LiteralSide literal) {
  Variant x = operands::Plain(a);
  Variant y = operands::Plain(b);
  if (x.is_bytes() && y.is_bytes()) {
    // Byte strings compare byte for byte, whatever the mode: they hold no letters.
    int c = x.AsBytes().view().compare(y.AsBytes().view());
    *order = c < 0 ? -1 : c > 0 ? 1 : 0;
    return true;
  }
  if (x.is_bytes()) x = Variant(ByteText(x.AsBytes()));
  if (y.is_bytes()) y = Variant(ByteText(y.AsBytes()));
  Kind kx = operands::KindOf(x);
  Kind ky = operands::KindOf(y);
  if (kx == Kind::kNull || ky == Kind::kNull) return false;
  bool tx = kx == Kind::kString, ty = ky == Kind::kString;
  if (tx && ty) {
    *order = CompareText(x.ToText(), y.ToText(), mode);
  } else if (tx || ty) {
    const Variant& other = tx ? y : x;
    if (other.is_empty()) {
      // Empty beside text is the empty text.
      *order = CompareText(x.ToText(), y.ToText(), mode);
    } else if ((literal == LiteralSide::kLeft && tx) || (literal == LiteralSide::kRight && ty)) {
      // A literal text beside a number is read as a number.
      Variant number((tx ? x : y).ToDouble());
      *order = tx ? CompareNumbers(number, Kind::kDouble, y, ky)
                  : CompareNumbers(x, kx, number, Kind::kDouble);
    } else if (literal != LiteralSide::kNone) {
      // A literal number beside text is compared as its text.
      *order = CompareText(x.ToString(), y.ToString(), mode);
    } else {
      // Between two values that are no literals, any number is less than any text.
      *order = tx ? 1 : -1;
    }
  } else {
    *order = CompareNumbers(x, kx, y, ky);
  }
  return true;
}

Variant Compare(const Variant& a, const Variant& b, CompareOp op, CompareMode mode,
                LiteralSide literal) {
  int order = 0;
  if (!CompareOrder(a, b, &order, mode, literal)) return Variant::Null();
  switch (op) {
    case CompareOp::kEq:
      return Variant(order == 0);
    case CompareOp::kNe:
      return Variant(order != 0);
    case CompareOp::kLt:
      return Variant(order < 0);
    case CompareOp::kLe:
      return Variant(order <= 0);
    case CompareOp::kGt:
      return Variant(order > 0);
    case CompareOp::kGe:
      return Variant(order >= 0);
  }
  return Variant::Null();
}

bool Is(const Variant& a, const Variant& b) {
  if (!a.is_object() || !b.is_object()) throw Error(errc::kObjectRequired);
  return a.ToObject() == b.ToObject();
}

bool IsTrue(const Variant& condition) {
  Variant v = operands::Plain(condition);
  switch (v.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      return false;
    case VarType::kBoolean:
    case VarType::kString:
      return v.ToBool();
    case VarType::kCurrency:
      return v.ToCurrency().scaled != 0;
    default:
      if (!v.is_numeric()) throw Error(errc::kTypeMismatch);
      return v.ToDouble() != 0;
  }
}

}  // namespace mirelda
