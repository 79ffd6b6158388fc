// Operators and coercion as pages see them: subtypes of results, Null and Empty, text forms.
#include "script/vbscript/page_run.h"

namespace mirelda::script::vbscript::testing {
namespace {

TEST(VbsCoercion, ArithmeticAndTextForms) {
  ExpectOutputs({
      {"integer sum", "Response.Write 1 + 2", "3"},
      {"numeric text plus number", "Response.Write \"1\" + 2", "3"},
      {"text plus text joins", "Response.Write \"a\" + \"b\"", "ab"},
      {"ampersand joins numbers", "Response.Write 1 & 2", "12"},
      {"integer division", "Response.Write 7 \\ 2", "3"},
      {"integer division rounds operands", "Response.Write 7.6 \\ 2", "4"},
      {"modulo", "Response.Write 7 Mod 3", "1"},
      {"power", "Response.Write 2 ^ 10", "1024"},
      {"division gives double", "Response.Write 1 / 4", "0.25"},
      {"fifteen significant digits", "Response.Write 10 / 3", "3.33333333333333"},
      {"decimal point", "Response.Write 3.5 * 2 + 0.25", "7.25"},
      {"negation", "Response.Write -(2 - 5)", "3"},
      {"precedence", "Response.Write 2 + 3 * 4 ^ 2 / 8", "8"},
      {"concat below plus", "Response.Write 1 + 2 & 3 + 4", "37"},
      {"booleans print", "Response.Write True & \" \" & False", "True False"},
      {"comparison result", "Response.Write (1 < 2) & (\"b\" < \"a\")", "TrueFalse"},
      {"bitwise and or xor", "Response.Write (5 And 3) & (5 Or 3) & (5 Xor 3)", "176"},
      {"not of zero", "Response.Write Not 0", "-1"},
      {"eqv imp", "Response.Write (True Eqv False) & (False Imp False)", "FalseTrue"},
      {"banker's rounding", "Response.Write CInt(2.5) & CInt(3.5) & CLng(-2.5)", "24-2"},
  });
}

TEST(VbsCoercion, PromotionOfSubtypes) {
  ExpectOutputs({
      {"integer stays integer", "Response.Write TypeName(1 + 1)", "Integer"},
      {"integer overflow becomes long", "Response.Write TypeName(32767 + 1) & (32767 + 1)",
       "Long32768"},
      {"long overflow becomes double", "Response.Write TypeName(2147483647 + 1)", "Double"},
      {"division is double", "Response.Write TypeName(4 / 2)", "Double"},
      {"text plus number is double", "Response.Write TypeName(\"2\" + 1)", "Double"},
      {"vartype numbers",
       "Response.Write VarType(1) & VarType(100000) & VarType(1.5) & VarType(\"s\") & "
       "VarType(True)",
       "235811"},
  });
}

TEST(VbsCoercion, NullAndEmpty) {
  ExpectOutputs({
      {"null propagates through arithmetic", "Response.Write TypeName(Null + 1)", "Null"},
      {"null and null joins to null", "Response.Write IsNull(Null & Null)", "True"},
      {"text and null is text", "Response.Write \"a\" & Null", "a"},
      {"comparison with null is null", "Response.Write IsNull(Null = 1)", "True"},
      {"null and false is false", "Response.Write (Null And False)", "False"},
      {"null or true is true", "Response.Write (Null Or True)", "True"},
      {"null writes nothing", "Response.Write Null", ""},
      {"empty is zero beside a number", "Response.Write x + 1", "1"},
      {"empty is empty text beside text", "Response.Write TypeName(x & \"\")", "String"},
      {"empty equals zero and empty text", "Response.Write (x = 0) & (x = \"\")", "TrueTrue"},
      {"isempty", "Response.Write IsEmpty(x) & IsEmpty(0) & IsEmpty(\"\")", "TrueFalseFalse"},
      {"null condition is false", "If Null Then Response.Write \"yes\" Else Response.Write \"no\"",
       "no"},
  });
}

TEST(VbsCoercion, TextAgainstNumberComparisons) {
  ExpectOutputs({
      {"text variable against number literal compares texts",
       "s = \"10\" : Response.Write (s = 10)", "True"},
      {"number variable against text literal compares numbers",
       "n = 10 : Response.Write (n = \"10.0\")", "True"},
      {"text and number variables are never equal", "s = \"10\" : n = 10 : Response.Write (s = n)",
       "False"},
      {"text is greater than a number", "s = \"1\" : n = 100 : Response.Write (s > n)", "True"},
      {"texts compare case-sensitively", "Response.Write (\"a\" = \"A\")", "False"},
  });
}

TEST(VbsCoercion, ErrorsOfOperators) {
  ExpectErrors({
      {"division by zero", "x = 1\ny = x / 0", 11, 2},
      {"integer division by zero", "y = 5 \\ 0", 11, 1},
      {"text that is no number", "y = \"abc\" + 1", 13, 1},
      {"overflow of cint", "y = CInt(40000)", 6, 1},
      {"null where a value is needed", "y = CLng(Null)", 94, 1},
      {"set of a non-object", "Set y = 5", 424, 1},
      {"member of a non-object", "y = 5\nz = y.Name", 424, 2},
      {"member of nothing", "Set y = Nothing\nz = y.Name", 91, 2},
  });
}

}  // namespace
}  // namespace mirelda::script::vbscript::testing
