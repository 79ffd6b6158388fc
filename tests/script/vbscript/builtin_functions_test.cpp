// The built-in functions called as the machine calls them: each case is a name and arguments ->
// the result's subtype and text, or the error number.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mirelda/error.h"
#include "script/vbscript/builtins/builtins.h"

namespace mirelda::script::vbscript {
namespace {

struct Case {
  const char* name;
  std::vector<Variant> args;
  const char* type;  // TypeName of the result; nullptr when error is expected
  std::string text;
  int32_t error = 0;
};

Variant I(int16_t v) { return Variant(v); }
Variant S(const char* v) { return Variant(v); }
const Variant kNull = Variant::Null();
const std::string kGrin = "\xF0\x9F\x98\x80";  // one character, two UTF-16 units

void RunCases(const std::vector<Case>& cases, size_t memory_limit = SIZE_MAX) {
  for (const Case& c : cases) {
    const Builtin* builtin = FindBuiltin(c.name);
    ASSERT_NE(builtin, nullptr) << c.name;
    std::vector<Variant> args = c.args;
    BuiltinCall call{args, memory_limit};
    std::string what = std::string(c.name) + "/" + std::to_string(c.args.size());
    if (c.error) {
      try {
        Variant r = builtin->function(call);
        ADD_FAILURE() << what << ": expected " << c.error << ", got " << TypeName(r);
      } catch (const Error& e) {
        EXPECT_EQ(e.number(), c.error) << what;
      }
      continue;
    }
    Variant r = builtin->function(call);
    EXPECT_EQ(TypeName(r), c.type) << what;
    if (r.is_array()) {
      std::string joined;
      for (const Variant& item : r.AsArray().items()) joined += "[" + item.ToText() + "]";
      EXPECT_EQ(joined, c.text) << what;
    } else {
      EXPECT_EQ(r.ToText(), c.text) << what;
    }
  }
}

TEST(VbsBuiltinFunctions, Text) {
  RunCases({
      {"Len", {S("hello")}, "Long", "5"},
      {"Len", {kNull}, "Null", ""},
      {"Len", {Variant(kGrin + "a")}, "Long", "3"},
      {"Left", {S("abcdef"), I(2)}, "String", "ab"},
      {"Left", {S("ab"), I(9)}, "String", "ab"},
      {"Left", {S("ab"), I(-1)}, nullptr, "", 5},
      {"Right", {Variant("x" + kGrin), I(2)}, "String", kGrin},
      {"Mid", {S("abcdef"), I(3), I(2)}, "String", "cd"},
      {"Mid", {S("abcdef"), I(5)}, "String", "ef"},
      {"Mid", {S("ab"), I(0)}, nullptr, "", 5},
      {"Mid", {Variant(kGrin), I(2), I(1)}, "String", "\xEF\xBF\xBD"},
      {"InStr", {S("abcabc"), S("c")}, "Long", "3"},
      {"InStr", {I(4), S("abcabc"), S("c")}, "Long", "6"},
      {"InStr", {I(1), S("ABC"), S("b"), I(1)}, "Long", "2"},
      {"InStr", {I(1), S("ABC"), S("b"), I(0)}, "Long", "0"},
      {"InStr", {S("abc"), S("")}, "Long", "1"},
      {"InStr", {I(9), S("abc"), S("a")}, "Long", "0"},
      {"InStr", {S("abc"), kNull}, "Null", ""},
      {"InStrRev", {S("abcabc"), S("b")}, "Long", "5"},
      {"Replace", {S("a-b-c"), S("-"), S("+")}, "String", "a+b+c"},
      {"Replace", {S("aaaa"), S("a"), S("b"), I(2), I(2)}, "String", "bba"},
      {"Replace", {S("aAa"), S("a"), S("x"), I(1), I(-1), I(1)}, "String", "xxx"},
      {"Split", {S("a,b,,c"), S(",")}, "Variant()", "[a][b][][c]"},
      {"Split", {S("a b c"), S(" "), I(2)}, "Variant()", "[a][b c]"},
      {"Split", {S("")}, "Variant()", ""},
      {"Join", {Variant(VariantArray({S("a"), I(1), Variant()})), S("-")}, "String", "a-1-"},
      {"Join", {S("a")}, nullptr, "", 13},
      {"UCase", {S("abC1")}, "String", "ABC1"},
      {"LCase", {kNull}, "Null", ""},
      {"Trim", {S("  a b  ")}, "String", "a b"},
      {"LTrim", {S("  a ")}, "String", "a "},
      {"RTrim", {S(" a  ")}, "String", " a"},
      {"Chr", {I(65)}, "String", "A"},
      {"Chr", {I(256)}, nullptr, "", 5},
      {"Asc", {S("a")}, "Integer", "97"},
      {"Asc", {S("")}, nullptr, "", 5},
      {"AscW", {Variant(kGrin)}, "Integer", "-10179"},
      {"StrReverse", {Variant("ab" + kGrin)}, "String", kGrin + "ba"},
      {"Space", {I(3)}, "String", "   "},
  });
}

TEST(VbsBuiltinFunctions, ConversionsAndNumbers) {
  RunCases({
      {"CStr", {Variant(2.5)}, "String", "2.5"},
      {"CStr", {kNull}, nullptr, "", 94},
      {"CInt", {Variant(2.5)}, "Integer", "2"},
      {"CInt", {Variant(3.5)}, "Integer", "4"},
      {"CInt", {Variant(40000)}, nullptr, "", 6},
      {"CLng", {S("123")}, "Long", "123"},
      {"CLng", {S("abc")}, nullptr, "", 13},
      {"CDbl", {S("1.5")}, "Double", "1.5"},
      {"CBool", {S("True")}, "Boolean", "True"},
      {"CBool", {I(0)}, "Boolean", "False"},
      {"CByte", {I(255)}, "Byte", "255"},
      {"CByte", {I(256)}, nullptr, "", 6},
      {"CSng", {Variant(0.1)}, "Single", "0.1"},
      {"CCur", {Variant(1.23456)}, "Currency", "1.2346"},
      {"Abs", {I(-3)}, "Integer", "3"},
      {"Abs", {kNull}, "Null", ""},
      {"Int", {Variant(-2.5)}, "Double", "-3"},
      {"Fix", {Variant(-2.5)}, "Double", "-2"},
      {"Int", {S("2.7")}, "Double", "2"},
      {"Round", {Variant(2.5)}, "Double", "2"},
      {"Round", {Variant(3.5)}, "Double", "4"},
      {"Round", {Variant(1.2345), I(2)}, "Double", "1.23"},
      {"Round", {I(7)}, "Integer", "7"},
      {"Hex", {I(255)}, "String", "FF"},
      {"Hex", {I(-1)}, "String", "FFFF"},
      {"Hex", {Variant(-1)}, "String", "FFFFFFFF"},
      {"Oct", {I(8)}, "String", "10"},
      {"Sgn", {Variant(-0.5)}, "Integer", "-1"},
  });
}

TEST(VbsBuiltinFunctions, ArraysAndInformation) {
  VariantArray grid = VariantArray::WithBounds({{0, 2}, {1, 4}});
  RunCases({
      {"Array", {I(1), S("b")}, "Variant()", "[1][b]"},
      {"Array", {}, "Variant()", ""},
      {"UBound", {Variant(VariantArray({I(1), I(2)}))}, "Long", "1"},
      {"UBound", {Variant(VariantArray())}, "Long", "-1"},
      {"UBound", {Variant(grid), I(2)}, "Long", "4"},
      {"LBound", {Variant(grid), I(2)}, "Long", "1"},
      {"UBound", {Variant(grid), I(3)}, nullptr, "", 9},
      {"UBound", {S("a")}, nullptr, "", 13},
      {"IsEmpty", {Variant()}, "Boolean", "True"},
      {"IsNull", {kNull}, "Boolean", "True"},
      {"IsArray", {Variant(grid)}, "Boolean", "True"},
      {"IsObject", {Variant::Nothing()}, "Boolean", "True"},
      {"IsNumeric", {S("12.5")}, "Boolean", "True"},
      {"IsNumeric", {S("12a")}, "Boolean", "False"},
      {"IsNumeric", {Variant()}, "Boolean", "True"},
      {"IsNumeric", {kNull}, "Boolean", "False"},
      {"TypeName", {Variant(2.5)}, "String", "Double"},
      {"TypeName", {Variant::Nothing()}, "String", "Nothing"},
      {"VarType", {S("x")}, "Integer", "8"},
      {"VarType", {Variant(grid)}, "Integer", "8204"},
  });
}

TEST(VbsBuiltinFunctions, TextPastTheMemoryLimitIsOutOfMemory) {
  RunCases({{"Space", {Variant(int32_t{5000})}, nullptr, "", 7},
            {"Replace", {S("aaaa"), S("a"), S("bbbbbbbbbbbbbbbbbbbbbbbb")}, nullptr, "", 7},
            {"Space", {I(10)}, "String", "          "}},
           64);
}

TEST(VbsBuiltinFunctions, NamesAndConstantsIgnoreCase) {
  EXPECT_EQ(FindBuiltin("ucase"), FindBuiltin("UCASE"));
  EXPECT_EQ(FindBuiltin("NoSuchFunction"), nullptr);
  struct ConstantCase {
    const char* name;
    const char* type;
    std::string text;
  };
  const std::vector<ConstantCase> constants = {
      {"VBCRLF", "String", "\r\n"},     {"vbTab", "String", "\t"},
      {"vbNullString", "String", ""},   {"vbTextCompare", "Integer", "1"},
      {"vbObjectError", "Long", "-2147221504"},
      {"vbString", "Integer", "8"},     {"vbTrue", "Integer", "-1"},
  };
  for (const ConstantCase& c : constants) {
    const BuiltinConstant* constant = FindBuiltinConstant(c.name);
    ASSERT_NE(constant, nullptr) << c.name;
    Variant v = constant->value();
    EXPECT_EQ(TypeName(v), c.type) << c.name;
    EXPECT_EQ(v.ToText(), c.text) << c.name;
  }
}

}  // namespace
}  // namespace mirelda::script::vbscript
