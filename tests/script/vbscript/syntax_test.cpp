// The language's written forms: lexing (case, continuation, comments, number and date literals),
// the statement forms of calls, one-line If, and compile errors with their number and place.
#include "script/vbscript/page_run.h"

namespace mirelda::script::vbscript::testing {
namespace {

TEST(VbsSyntax, LexicalForms) {
  ExpectOutputs({
      {"names and keywords in any case", "DIM x : X = 2 : response.WRITE x", "2"},
      {"continuation joins lines", "x = 1 + _\n    2\nResponse.Write x", "3"},
      {"comments with ' and Rem", "x = 1 ' one\nRem two\nResponse.Write x : Rem three", "1"},
      {"doubled quotes", "Response.Write \"say \"\"hi\"\"\"", "say \"hi\""},
      {"hex and octal", "Response.Write &HFF & \" \" & &O17 & \" \" & &HFFFF & \" \" & &H8000&",
       "255 15 -1 32768"},
      {"number subtypes",
       "Response.Write TypeName(1) & TypeName(40000) & TypeName(1.5) & TypeName(3000000000)",
       "IntegerLongDoubleDouble"},
      {"date literals",
       "Response.Write Year(#1/31/2024#) & Month(#2024-03-04#) & Hour(#1/1/2020 3:04 PM#)",
       "2024315"},
      {"leading dot numbers", "Response.Write .5 + 1", "1.5"},
      {"unary minus binds looser than ^", "Response.Write -2 ^ 2 & \" \" & 2 ^ -1", "-4 0.5"},
      {"not binds looser than comparison", "Response.Write Not 1 = 2", "True"},
      {"colons separate statements", "a = 1: b = 2: Response.Write a + b", "3"},
      {"one-line if", "If 1 < 2 Then Response.Write \"a\"", "a"},
      {"several statements", "If True Then a = 1 : b = 2 Else a = 3\nResponse.Write a & b", "12"},
      {"do until at the end", "i = 0\nDo\n i = i + 2\nLoop Until i >= 5\nResponse.Write i", "6"},
  });
}

TEST(VbsSyntax, CallForms) {
  constexpr const char* kProcs =
      "Sub Show(a, b)\n Response.Write a & \"|\" & b & \";\"\nEnd Sub\n"
      "Sub Bump(n)\n n = n + 1\nEnd Sub\n"
      "Function Twice(n)\n Twice = n * 2\nEnd Function\n";
  const std::vector<OutputCase> cases = {
      {"without parentheses", "Show 1, 2", "1|2;"},
      {"call with parentheses", "Call Show(1, 2)", "1|2;"},
      {"omitted argument", "Show , 2", "|2;"},
      {"first argument in parentheses", "Show (1) + 1, 5", "2|5;"},
      {"one parenthesised argument is passed by value", "x = 1 : Bump (x) : Response.Write x", "1"},
      {"bare argument is passed by reference", "x = 1 : Bump x : Response.Write x", "2"},
      {"function without parentheses", "Response.Write Twice(2) + Twice(1)", "6"},
      {"nested function calls", "Response.Write Twice(Twice(3))", "12"},
      {"a sub called before it is written", "Later\nSub Later\n Response.Write \"ok\"\nEnd Sub",
       "ok"},
  };
  ExpectOutputs(kProcs, cases);
}

TEST(VbsSyntax, CompileErrorsHaveNumberAndPlace) {
  struct Case {
    const char* code;
    int32_t number;
    int line;
    int column;
  } cases[] = {
      {"x = ", 1023, 2, 5},
      {"x = 1 2", 1025, 2, 7},
      {"If x Then\n y = 1", 1014, 4, 1},
      {"For i = 1 To\nNext", 1023, 2, 13},
      {"s = \"open", 1033, 2, 5},
      {"x = 1 $ 2", 1032, 2, 7},
      {"Show(1, 2)", 1044, 2, 1},
      {"Next", 1055, 2, 1},
      {"Exit Do", 1039, 2, 1},
      {"Dim a\nDim a", 1041, 3, 5},
      {"Sub S\nEnd Function", 1016, 3, 5},
      {"Class C\n Public Default Property Let V(x)\n End Property\nEnd Class", 1058, 3, 30},
      {"Const c = x", 1045, 2, 11},
      {"x = Me", 1037, 2, 5},
      {"Do\nLoop While 1 Until 2", 1025, 3, 14},
  };
  VbsSite site;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    PageOutcome outcome = site.Run("<%\n" + std::string(c.code) + "\n%>");
    EXPECT_FALSE(outcome.compiled);
    EXPECT_EQ(outcome.run.number, c.number) << outcome.run.description;
    EXPECT_EQ(outcome.run.description, StandardDescription(c.number));
    EXPECT_EQ(outcome.run.where.line, c.line);
    EXPECT_EQ(outcome.run.where.column, c.column);
  }
}

}  // namespace
}  // namespace mirelda::script::vbscript::testing
