// The page language's operators: each case is operands x operation -> the result's subtype and
// text, or the error number the operation raises.
#include "mirelda/variant_ops.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "cell.h"
#include "support/error_matchers.h"

namespace mirelda {
namespace {

using BinaryOp = std::function<Variant(const Variant&, const Variant&)>;
using testing::Cell;

struct OpCase {
  const char* what;
  BinaryOp op;
  Variant a;
  Variant b;
  const char* type;   // TypeName of the result, or nullptr when an error is expected
  const char* text;   // its text form ("" for Null), or nullptr
  int32_t error = 0;  // the error number expected instead
};

void RunCases(const std::vector<OpCase>& cases) {
  for (const OpCase& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.error != 0) {
      EXPECT_ERROR(c.op(c.a, c.b), c.error);
      continue;
    }
    Variant r = c.op(c.a, c.b);
    EXPECT_EQ(TypeName(r), c.type);
    EXPECT_EQ(r.ToText(), c.text);
  }
}

const Variant kNull = Variant::Null();
const Variant kEmpty;
Variant I(int16_t v) { return Variant(v); }
Variant L(int32_t v) { return Variant(v); }
Variant B(uint8_t v) { return Variant(v); }
Variant D(double v) { return Variant(v); }
Variant S(const char* v) { return Variant(v); }

TEST(VariantOps, AdditionAndPromotion) {
  RunCases({
      {"integers", Add, I(2), I(3), "Integer", "5"},
      {"integer overflow becomes Long", Add, I(32767), I(1), "Long", "32768"},
      {"long overflow becomes Double", Add, L(2147483647), L(1), "Double", "2147483648"},
      {"bytes", Add, B(200), B(55), "Byte", "255"},
      {"byte overflow becomes Integer", Add, B(200), B(56), "Integer", "256"},
      {"booleans are Integers", Add, Variant(true), Variant(true), "Integer", "-2"},
      {"empty plus empty", Add, kEmpty, kEmpty, "Integer", "0"},
      {"empty plus long", Add, kEmpty, L(7), "Long", "7"},
      {"two texts join", Add, S("1"), S("2"), "String", "12"},
      {"text plus empty joins", Add, S("a"), kEmpty, "String", "a"},
      {"numeric text plus number adds", Add, S("3"), I(4), "Double", "7"},
      {"text that is no number", Add, S("abc"), I(1), nullptr, nullptr, 13},
      {"null propagates", Add, kNull, I(1), "Null", ""},
      {"double", Add, D(0.1), D(0.2), "Double", "0.3"},
      {"single and integer", Add, Variant(1.5f), I(1), "Single", "2.5"},
      {"single and long is Double", Add, Variant(1.5f), L(1), "Double", "2.5"},
      {"currency", Add, Variant(Currency{12500}), I(1), "Currency", "2.25"},
      {"date plus days", Add, Variant(Date{1}), I(1), "Date", FormatDate(Date{2}).c_str()},
      {"object's default value", Add, Variant(std::make_shared<Cell>(I(40))), I(2), "Integer",
       "42"},
      {"double overflow", Multiply, D(1e308), D(10), nullptr, nullptr, 6},
      {"array", Add, Variant(VariantArray({I(1)})), I(1), nullptr, nullptr, 13},
  });
}

TEST(VariantOps, SubtractMultiplyDivide) {
  RunCases({
      {"integer subtract", Subtract, I(2), I(5), "Integer", "-3"},
      {"byte below zero becomes Integer", Subtract, B(1), B(2), "Integer", "-1"},
      {"date minus date is days", Subtract, Variant(Date{10}), Variant(Date{7}), "Double", "3"},
      {"integer multiply overflow", Multiply, I(300), I(300), "Long", "90000"},
      {"text times number", Multiply, S("2.5"), I(2), "Double", "5"},
      {"divide gives Double", Divide, I(7), I(2), "Double", "3.5"},
      {"divide by zero", Divide, I(1), I(0), nullptr, nullptr, 11},
      {"zero by zero", Divide, I(0), I(0), nullptr, nullptr, 6},
      {"divide null", Divide, kNull, I(0), "Null", ""},
      {"empty divided", Divide, kEmpty, I(4), "Double", "0"},
  });
}

TEST(VariantOps, IntegerDivisionModuloPower) {
  RunCases({
      {"rounds operands first", IntDivide, D(7.5), D(2.5), "Long", "4"},
      {"integers", IntDivide, I(7), I(2), "Integer", "3"},
      {"negative truncates", IntDivide, I(-7), I(2), "Integer", "-3"},
      {"by zero", IntDivide, I(7), I(0), nullptr, nullptr, 11},
      {"by a half that rounds to zero", IntDivide, I(7), D(0.5), nullptr, nullptr, 11},
      {"long minimum by minus one", IntDivide, L(std::numeric_limits<int32_t>::min()), L(-1),
       nullptr, nullptr, 6},
      {"mod keeps the dividend's sign", Modulo, I(-7), I(3), "Integer", "-1"},
      {"mod of doubles", Modulo, D(10.5), I(3), "Long", "1"},
      {"mod by zero", Modulo, I(1), I(0), nullptr, nullptr, 11},
      {"mod of text", Modulo, S("9"), I(4), "Long", "1"},
      {"power is Double", Power, I(2), I(10), "Double", "1024"},
      {"negative base, whole exponent", Power, I(-2), I(3), "Double", "-8"},
      {"negative base, fraction", Power, I(-8), D(0.5), nullptr, nullptr, 5},
      {"power null", Power, I(2), kNull, "Null", ""},
  });
}

TEST(VariantOps, Concatenation) {
  RunCases({
      {"numbers become text", Concat, I(1), D(2.5), "String", "12.5"},
      {"null with text", Concat, kNull, S("a"), "String", "a"},
      {"null with null", Concat, kNull, kNull, "Null", ""},
      {"booleans", Concat, Variant(true), S("!"), "String", "True!"},
      {"empty", Concat, kEmpty, kEmpty, "String", ""},
      {"array", Concat, Variant(VariantArray({I(1)})), S(""), nullptr, nullptr, 13},
  });
}

using enum CompareOp;
using enum LiteralSide;

BinaryOp Cmp(CompareOp op, LiteralSide literal = kNone, CompareMode mode = CompareMode::kBinary) {
  return [=](const Variant& a, const Variant& b) { return Compare(a, b, op, mode, literal); };
}

TEST(VariantOps, Comparisons) {
  RunCases({
      {"numbers across subtypes", Cmp(kEq), I(1), D(1.0), "Boolean", "True"},
      {"texts are case sensitive", Cmp(kEq), S("a"), S("A"), "Boolean", "False"},
      {"text mode ignores case", Cmp(kEq, kNone, CompareMode::kText), S("a"), S("A"), "Boolean",
       "True"},
      {"text order", Cmp(kLt), S("abc"), S("abd"), "Boolean", "True"},
      {"shorter text first", Cmp(kLt), S("ab"), S("abc"), "Boolean", "True"},
      {"null makes null", Cmp(kEq), kNull, kNull, "Null", ""},
      {"empty equals zero", Cmp(kEq), kEmpty, I(0), "Boolean", "True"},
      {"empty equals empty text", Cmp(kEq), kEmpty, S(""), "Boolean", "True"},
      {"number below text", Cmp(kLt), I(99), S("1"), "Boolean", "True"},
      {"number never equals text", Cmp(kEq), I(1), S("1"), "Boolean", "False"},
      {"literal text read as a number", Cmp(kEq, kRight), I(5), S("5"), "Boolean", "True"},
      {"literal text that is no number", Cmp(kEq, kRight), I(5), S("five"), nullptr, nullptr, 13},
      {"literal number compared as text", Cmp(kLt, kRight), S("10"), I(9), "Boolean", "True"},
      {"boolean is minus one", Cmp(kEq), Variant(true), I(-1), "Boolean", "True"},
      {"currency exact", Cmp(kGt), Variant(Currency{10001}), Variant(Currency{10000}), "Boolean",
       "True"},
      {"greater or equal", Cmp(kGe), D(2), D(2), "Boolean", "True"},
      {"not equal", Cmp(kNe), D(2), D(3), "Boolean", "True"},
      {"array", Cmp(kEq), Variant(VariantArray({I(1)})), I(1), nullptr, nullptr, 13},
  });
}

TEST(VariantOps, LogicalAndBitwise) {
  RunCases({
      {"and of booleans", And, Variant(true), Variant(false), "Boolean", "False"},
      {"bitwise and", And, I(12), I(10), "Integer", "8"},
      {"bitwise or with long", Or, I(1), L(65536), "Long", "65537"},
      {"xor", Xor, I(5), I(3), "Integer", "6"},
      {"eqv of booleans", Eqv, Variant(true), Variant(true), "Boolean", "True"},
      {"imp of booleans", Imp, Variant(true), Variant(false), "Boolean", "False"},
      {"null and false", And, kNull, Variant(false), "Boolean", "False"},
      {"null and true", And, kNull, Variant(true), "Null", ""},
      {"null or true", Or, kNull, Variant(true), "Boolean", "True"},
      {"null or false", Or, kNull, Variant(false), "Null", ""},
      {"false imp null", Imp, Variant(false), kNull, "Boolean", "True"},
      {"null imp true", Imp, kNull, Variant(true), "Boolean", "True"},
      {"null imp false", Imp, kNull, Variant(false), "Null", ""},
      {"null xor", Xor, kNull, Variant(true), "Null", ""},
      {"doubles round to Long", And, D(6.5), D(3), "Long", "2"},
      {"boolean with number", And, Variant(true), I(6), "Integer", "6"},
      {"bytes stay Bytes", Or, B(1), B(2), "Byte", "3"},
      {"true text", And, S("True"), Variant(true), "Boolean", "True"},
      {"text that is neither", And, S("x"), I(1), nullptr, nullptr, 13},
  });
}

// A one-operand operation in a binary case; the second operand is ignored.
BinaryOp Unary(Variant (*op)(const Variant&)) {
  return [=](const Variant& a, const Variant&) { return op(a); };
}

TEST(VariantOps, UnaryOperators) {
  const BinaryOp negate = Unary(Negate), not_ = Unary(Not);
  RunCases({
      {"negate integer", negate, I(5), kEmpty, "Integer", "-5"},
      {"negate integer minimum", negate, I(-32768), kEmpty, "Long", "32768"},
      {"negate long minimum", negate, L(std::numeric_limits<int32_t>::min()), kEmpty, "Double",
       "2147483648"},
      {"negate byte", negate, B(3), kEmpty, "Integer", "-3"},
      {"negate empty", negate, kEmpty, kEmpty, "Integer", "0"},
      {"negate text", negate, S("2.5"), kEmpty, "Double", "-2.5"},
      {"negate null", negate, kNull, kEmpty, "Null", ""},
      {"negate word", negate, S("x"), kEmpty, nullptr, nullptr, 13},
      {"not boolean", not_, Variant(true), kEmpty, "Boolean", "False"},
      {"not integer", not_, I(0), kEmpty, "Integer", "-1"},
      {"not empty", not_, kEmpty, kEmpty, "Integer", "-1"},
      {"not long", not_, L(65536), kEmpty, "Long", "-65537"},
      {"not null", not_, kNull, kEmpty, "Null", ""},
  });
}

TEST(VariantOps, ConditionsAndIdentity) {
  struct TruthCase {
    Variant value;
    bool truth;
  };
  const std::vector<TruthCase> cases = {
      {Variant(true), true}, {I(0), false},       {D(0.5), true},
      {S("True"), true},     {S("false"), false}, {S("-1"), true},
      {kEmpty, false},       {kNull, false},      {Variant(Currency{1}), true},
  };
  for (const TruthCase& c : cases) EXPECT_EQ(IsTrue(c.value), c.truth) << c.value.ToText();
  EXPECT_ERROR(IsTrue(S("maybe")), errc::kTypeMismatch);  // a word is no condition

  auto one = std::make_shared<Cell>(I(1));
  auto other = std::make_shared<Cell>(I(1));
  EXPECT_TRUE(Is(Variant(one), Variant(one)));
  EXPECT_FALSE(Is(Variant(one), Variant(other)));
  EXPECT_TRUE(Is(Variant::Nothing(), Variant::Nothing()));
  EXPECT_FALSE(Is(Variant(one), Variant::Nothing()));
  EXPECT_ERROR(Is(Variant(one), I(1)), errc::kObjectRequired);
  // Objects compare by their default values under "=".
  EXPECT_EQ(Compare(Variant(one), Variant(other), kEq).ToText(), "True");
}

}  // namespace
}  // namespace mirelda
