// Subs and Functions: argument passing, return values, Exit, and how errors travel between
// procedures and On Error Resume Next.
#include "script/vbscript/page_run.h"

namespace mirelda::script::vbscript::testing {
namespace {

constexpr const char* kHelpers =
    "Sub Inc(n)\n n = n + 1\nEnd Sub\n"
    "Sub IncByVal(ByVal n)\n n = n + 1\nEnd Sub\n"
    "Function Twice(v)\n Twice = v * 2\nEnd Function\n"
    "Function Fact(n)\n If n <= 1 Then\n  Fact = 1\n Else\n  Fact = n * Fact(n - 1)\n End If\n"
    "End Function\n";

TEST(VbsProcedures, ArgumentsByReferenceAndByValue) {
  std::vector<OutputCase> cases = {
      {"byref is the default", "x = 1 : Inc x : Response.Write x", "2"},
      {"byval keeps the caller's value", "x = 1 : IncByVal x : Response.Write x", "1"},
      {"parentheses pass a copy", "x = 1 : Inc (x) : Response.Write x", "1"},
      {"call statement passes by reference", "x = 1 : Call Inc(x) : Response.Write x", "2"},
      {"an expression passes a copy", "x = 1 : Inc x + 0 : Response.Write x", "1"},
      {"array element by reference", "Dim a(2) : a(1) = 5 : Inc a(1) : Response.Write a(1)", "6"},
      {"local of a procedure by reference",
       "Sub Outer()\n Dim v\n v = 10\n Inc v\n Response.Write v\nEnd Sub\nOuter", "11"},
      {"function result", "Response.Write Twice(4)", "8"},
      {"recursion", "Response.Write Fact(10)", "3628800"},
      {"function without arguments", "Function F\n F = \"f\"\nEnd Function\nResponse.Write F & F()",
       "ff"},
      {"exit sub", "Sub S\n Response.Write \"a\"\n Exit Sub\n Response.Write \"b\"\nEnd Sub\nS",
       "a"},
      {"exit function keeps the result",
       "Function G\n G = 1\n Exit Function\n G = 2\nEnd Function\nResponse.Write G", "1"},
      {"procedure defined after use",
       "Response.Write Later(3)\nFunction Later(x)\n Later = x + 1\n"
       "End Function",
       "4"},
      {"an undeclared name in a procedure is its own local",
       "Sub S\n t = t & \"a\"\n t = t & \"b\"\n Response.Write t\nEnd Sub\nS : S : "
       "Response.Write \"|\" & IsEmpty(t)",
       "abab|True"},
      {"an undeclared name in a procedure is a global the page gave a value before",
       "x = 5\nSub S\n Response.Write x\n x = x + 1\nEnd Sub\nS\nResponse.Write x", "56"},
      {"an undeclared name in a procedure is a global declared further down",
       "Sub S\n g = g + 1\nEnd Sub\nDim g\nS : S\nResponse.Write g", "2"},
  };
  ExpectOutputs(kHelpers, cases);
}

TEST(VbsProcedures, ErrorsTravelToTheCallersHandler) {
  ExpectOutputs({
      {"resume next goes on after the failing statement",
       "On Error Resume Next\nx = 1 / 0\nResponse.Write \"after \" & Err.Number", "after 11"},
      {"an error in a callee returns to the caller's handler",
       "Sub Inner\n x = 1 / 0\n Response.Write \"inner-after\"\nEnd Sub\n"
       "Sub Middle\n Inner\n Response.Write \"middle-after\"\nEnd Sub\n"
       "On Error Resume Next\nMiddle\nResponse.Write \"top \" & Err.Number",
       "top 11"},
      {"a procedure's own handler",
       "Sub Own\n On Error Resume Next\n x = 1 / 0\n Response.Write \"own \" & Err.Number\nEnd "
       "Sub\n"
       "Own\nResponse.Write \" after\"",
       "own 11 after"},
      {"err describes the error",
       "On Error Resume Next\nx = 1 / 0\nResponse.Write Err.Description & \"|\" & Err.Source",
       "Division by zero|Microsoft VBScript runtime error"},
      {"err.clear", "On Error Resume Next\nx = 1 / 0\nErr.Clear\nResponse.Write Err.Number", "0"},
      {"err.raise with a language number takes its description",
       "On Error Resume Next\nErr.Raise 9\nResponse.Write Err.Number & \" \" & Err.Description",
       "9 Subscript out of range"},
      {"err.raise with source and description",
       "On Error Resume Next\nErr.Raise vbObjectError + 1, \"mine\", \"my text\"\n"
       "Response.Write Err.Number & \"|\" & Err.Source & \"|\" & Err.Description",
       "-2147221503|mine|my text"},
      {"on error resume next clears err",
       "On Error Resume Next\nx = 1 / 0\nOn Error Resume Next\nResponse.Write Err.Number", "0"},
      {"err number is the default member",
       "On Error Resume Next\nErr.Raise 6\nn = Err\nResponse.Write n", "6"},
  });
}

TEST(VbsProcedures, UnhandledErrorsEndThePageWhereTheyHappen) {
  ExpectErrors({
      {"top level", "x = 1\ny = x / 0\nResponse.Write \"no\"", 11, 2},
      {"inside a procedure", "Sub S\n x = 1\n Err.Raise 5\nEnd Sub\nS", 5, 3},
      {"after on error goto 0", "On Error Resume Next\nOn Error GoTo 0\nx = 1 / 0", 11, 3},
      {"wrong argument count", "Sub S(a)\nEnd Sub\nS 1, 2", 450, 3},
      {"undefined sub", "x = 1\nNoSuchThing 1", 13, 2},
  });
}

TEST(VbsProcedures, FailedRunReportsNumberDescriptionSourceAndPlace) {
  VbsSite site;
  PageOutcome outcome = site.Run("<p>\n<% x = 1\n   y = CLng(\"q\") %>");
  EXPECT_EQ(outcome.run.outcome, host::PageRun::Outcome::kFailed);
  EXPECT_EQ(outcome.run.number, 13);
  EXPECT_EQ(outcome.run.description, "Type mismatch");
  EXPECT_EQ(outcome.run.source, "Microsoft VBScript runtime error");
  EXPECT_EQ(outcome.run.where.file, "/page.asp");
  EXPECT_EQ(outcome.run.where.line, 3);
  EXPECT_EQ(outcome.run.where.column, 4);
  EXPECT_EQ(outcome.output, "<p>\n");
  // A raised error that no handler takes keeps its own source and text.
  outcome = site.Run("<%\nx = 1\nErr.Raise vbObjectError + 9, \"Shop.Cart\", \"Cart is full\" %>");
  EXPECT_EQ(outcome.run.number, -2147221504 + 9);
  EXPECT_EQ(outcome.run.source, "Shop.Cart");
  EXPECT_EQ(outcome.run.description, "Cart is full");
  EXPECT_EQ(outcome.run.where.line, 3);
}

}  // namespace
}  // namespace mirelda::script::vbscript::testing
