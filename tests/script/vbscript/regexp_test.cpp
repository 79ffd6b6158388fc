// The RegExp object through real pages: matching, the match collections, replacement, positions
// in non-ASCII text, and the errors of bad and runaway patterns.
#include "script/vbscript/objects/regexp_object.h"
#include "script/vbscript/page_run.h"

namespace mirelda::script::vbscript::testing {
namespace {

// Writes each match as FirstIndex:Length:Value and its groups in brackets.
constexpr const char* kDump =
    "Function Dump(re, s)\n"
    " Dim ms, m, g, out\n"
    " Set ms = re.Execute(s)\n"
    " out = ms.Count & \"=\"\n"
    " For Each m In ms\n"
    "  out = out & m.FirstIndex & \":\" & m.Length & \":\" & m.Value & \"[\"\n"
    "  For Each g In m.SubMatches\n"
    "   If IsEmpty(g) Then out = out & \"E,\" Else out = out & g & \",\"\n"
    "  Next\n"
    "  out = out & \"]\"\n"
    " Next\n"
    " Dump = out\n"
    "End Function\n"
    "Set re = New RegExp\n";

TEST(VbsRegExp, TestAndExecute) {
  std::vector<OutputCase> cases = {
      {"test finds a match", "re.Pattern = \"b+\" : Response.Write re.Test(\"abbc\")", "True"},
      {"test without a match", "re.Pattern = \"x\" : Response.Write re.Test(\"abc\")", "False"},
      {"first match only", "re.Pattern = \"\\d+\" : Response.Write Dump(re, \"a12b345\")",
       "1=1:2:12[]"},
      {"global finds all",
       "re.Pattern = \"\\d+\" : re.Global = True\nResponse.Write Dump(re, \"a12b345\")",
       "2=1:2:12[]4:3:345[]"},
      {"groups, one not taking part",
       "re.Pattern = \"(a)|(b)\" : re.Global = True\nResponse.Write Dump(re, \"ab\")",
       "2=0:1:a[a,E,]1:1:b[E,b,]"},
      {"item and default members",
       "re.Pattern = \"(\\w)(\\w)\"\nSet ms = re.Execute(\"xy\")\n"
       "Response.Write ms(0) & ms.Item(0).Value & ms(0).SubMatches(1) & ms(0).SubMatches.Count",
       "xyxyy2"},
      {"no match is an empty collection",
       "re.Pattern = \"q\" : Response.Write re.Execute(\"abc\").Count", "0"},
      {"case matters unless ignored",
       "re.Pattern = \"ABC\"\nResponse.Write re.Test(\"xabc\")\n"
       "re.IgnoreCase = True\nResponse.Write re.Test(\"xabc\") & re.IgnoreCase",
       "FalseTrueTrue"},
      {"caret and dollar need multiline for each line",
       "re.Pattern = \"^\\w+$\" : re.Global = True\ns = \"ab\" & vbCrLf & \"cd\"\n"
       "Response.Write Dump(re, s) & \"|\"\nre.MultiLine = True\nResponse.Write Dump(re, s)",
       "0=|2=0:2:ab[]4:2:cd[]"},
      {"dollar is the very end without multiline",
       "re.Pattern = \"b$\" : Response.Write re.Test(\"ab\" & vbLf)", "False"},
      {"empty matches move on",
       "re.Pattern = \"x*\" : re.Global = True\nResponse.Write Dump(re, \"ab\")",
       "3=0:0:[]1:0:[]2:0:[]"},
      {"empty pattern", "re.Global = True : Response.Write re.Execute(\"abc\").Count", "4"},
      {"positions count characters in Chinese text",
       "re.Pattern = \"文(\\d)\" : re.Global = True\nResponse.Write Dump(re, \"中文1 英文2\")",
       "2=1:2:文1[1,]5:2:文2[2,]"},
      {"a character beyond the plane counts two",
       "re.Pattern = \"b\" : Response.Write re.Execute(\"😀b\")(0).FirstIndex", "2"},
      {"ignore case beyond ASCII",
       "re.Pattern = \"été\" : re.IgnoreCase = True\nResponse.Write re.Test(\"ÉTÉ\")", "True"},
      {"javascript escapes",
       "re.Pattern = \"\\u0041\\x42[^]\\v\"\n"
       "Response.Write re.Test(\"ABc\" & Chr(11)) & re.Test(\"ABc\")",
       "TrueFalse"},
      {"a letter escape without meaning is the letter",
       "re.Pattern = \"\\Q\\z\"\nResponse.Write re.Test(\"Qz\")", "True"},
      {"matches keep what they found",
       "re.Pattern = \"a\"\nSet ms = re.Execute(\"a\")\n"
       "re.Pattern = \"b\"\nResponse.Write ms.Count & ms(0) & re.Test(\"a\")",
       "1aFalse"},
      {"properties read back",
       "re.Pattern = \"p\" : re.Global = True : re.MultiLine = True\n"
       "Response.Write re.Pattern & re.Global & re.MultiLine & re.IgnoreCase & TypeName(re)",
       "pTrueTrueFalseIRegExp2"},
  };
  ExpectOutputs(kDump, cases);
}

TEST(VbsRegExp, Replace) {
  std::vector<OutputCase> cases = {
      {"first only", "re.Pattern = \"o\" : Response.Write re.Replace(\"foo\", \"0\")", "f0o"},
      {"global", "re.Pattern = \"o\" : re.Global = True\nResponse.Write re.Replace(\"foo\", \"0\")",
       "f00"},
      {"groups swap",
       "re.Pattern = \"(\\w+) (\\w+)\"\nResponse.Write re.Replace(\"hello world\", \"$2 $1\")",
       "world hello"},
      {"whole match, before, after and dollar",
       "re.Pattern = \"b\"\nResponse.Write re.Replace(\"abc\", \"[$&|$`|$'|$$]\")", "a[b|a|c|$]c"},
      {"a group the pattern lacks stays as written",
       "re.Pattern = \"(a)\" : Response.Write re.Replace(\"a\", \"$2$1$\")", "$2a$"},
      {"two-digit group only when it exists",
       "re.Pattern = \"(a)\" : Response.Write re.Replace(\"a\", \"$10\")", "a0"},
      {"unmatched group is nothing",
       "re.Pattern = \"(x)?a\"\nResponse.Write re.Replace(\"a\", \"<$1>\")", "<>"},
      {"empty matches between every character",
       "re.Pattern = \"\" : re.Global = True\nResponse.Write re.Replace(\"中文\", \"-\")",
       "-中-文-"},
      {"a page class named RegExp wins",
       "Class RegExp\n Public Pattern\nEnd Class\nSet r = New regexp\nResponse.Write TypeName(r)",
       "RegExp"},
  };
  ExpectOutputs(kDump, cases);
}

TEST(VbsRegExp, BadAndRunawayPatternsRaise) {
  const std::vector<OutputCase> trapped = {
      {"bad pattern", "re.Pattern = \"a[b\"\nx = re.Test(\"ab\")\nResponse.Write Err.Number",
       "5017"},
      {"missing parenthesis",
       "re.Pattern = \"(ab\"\nx = re.Execute(\"ab\")\nResponse.Write Err.Number", "5020"},
      {"quantifier of nothing",
       "re.Pattern = \"*\"\nx = re.Replace(\"ab\", \"\")\nResponse.Write Err.Number", "5017"},
      {"runaway backtracking ends with an error",
       "re.Pattern = \"(a+)+$\"\nx = re.Test(Replace(Space(5000), \" \", \"a\") & \"!\")\n"
       "Response.Write Err.Number",
       "28"},
      {"index outside the collection",
       "Set ms = re.Execute(\"a\")\nx = ms(1)\nResponse.Write Err.Number", "5"},
  };
  ExpectOutputs(std::string(kDump) + "On Error Resume Next\n", trapped);
  const std::vector<ErrorCase> unhandled = {
      {"unhandled bad pattern ends the page", "re.Pattern = \"+\"\nResponse.Write re.Test(\"a\")",
       5017, 2},
  };
  ExpectErrors(kDump, unhandled);
}

// Text that is not valid UTF-8 (a component's bytes read as text) still matches around its stray
// bytes, and a global replace over a long text takes each match once.
TEST(VbsRegExpText, InvalidAndLongTexts) {
  RegExpObject re;
  re.SetPattern("b+");
  re.SetGlobal(true);
  EXPECT_EQ(re.Replace("a\xFF"
                       "bb b\xC3",
                       "X"),
            "a\xFFX X\xC3");
  EXPECT_TRUE(re.Test("\xFE\xFF b"));
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "ab ";
  EXPECT_EQ(re.Replace(text, "").size(), 200000u);
}

}  // namespace
}  // namespace mirelda::script::vbscript::testing
