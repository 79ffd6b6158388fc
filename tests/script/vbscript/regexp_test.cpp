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

std::string Page(const char* code) { return std::string(kDump) + code; }

TEST(VbsRegExp, TestAndExecute) {
  std::vector<OutputCase> cases = {
      {"test finds a match", "re.Pattern = \"b+\" : Response.Write re.Test(\"abbc\")", "True"},
      {"test without a match", "re.Pattern = \"x\" : Response.Write re.Test(\"abc\")", "False"},
      {"first match only", "re.Pattern = \"\\d+\" : Response.Write Dump(re, \"a12b345\")",
       "1=1:2:12[]"},
      {"global finds all", "re.Pattern = \"\\d+\" : re.Global = True\n"
       "Response.Write Dump(re, \"a12b345\")", "2=1:2:12[]4:3:345[]"},
      {"groups, one not taking part", "re.Pattern = \"(a)|(b)\" : re.Global = True\n"
       "Response.Write Dump(re, \"ab\")", "2=0:1:a[a,E,]1:1:b[E,b,]"},
      {"item and default members", "re.Pattern = \"(\\w)(\\w)\"\n"
       "Set ms = re.Execute(\"xy\")\n"
       "Response.Write ms(0) & ms.Item(0).Value & ms(0).SubMatches(1) & ms(0).SubMatches.Count",
       "xyxyy2"},
      {"no match is an empty collection",
       "re.Pattern = \"q\" : Response.Write re.Execute(\"abc\").Count", "0"},
      {"case matters unless ignored", "re.Pattern = \"ABC\"\nResponse.Write re.Test(\"xabc\")\n"
       "re.IgnoreCase = True\nResponse.Write re.Test(\"xabc\") & re.IgnoreCase", "FalseTrueTrue"},
      {"caret and dollar need multiline for each line",
       "re.Pattern = \"^\\w+$\" : re.Global = True\ns = \"ab\" & vbCrLf & \"cd\"\n"
       "Response.Write Dump(re, s) & \"|\"\nre.MultiLine = True\nResponse.Write Dump(re, s)",
       "0=|2=0:2:ab[]4:2:cd[]"},
      {"dollar is the very end without multiline",
       "re.Pattern = \"b$\" : Response.Write re.Test(\"ab\" & vbLf)", "False"},
      {"empty matches move on", "re.Pattern = \"x*\" : re.Global = True\n"
       "Response.Write Dump(re, \"ab\")", "3=0:0:[]1:0:[]2:0:[]"},
      {"empty pattern", "re.Global = True : Response.Write re.Execute(\"abc\").Count", "4"},
      {"positions count characters in Chinese text",
       "re.Pattern = \"\xE6\x96\x87(\\d)\" : re.Global = True\n"
       "Response.Write Dump(re, \"\xE4\xB8\xAD\xE6\x96\x87" "1 \xE8\x8B\xB1\xE6\x96\x87" "2\")",
       "2=1:2:\xE6\x96\x87" "1[1,]5:2:\xE6\x96\x87" "2[2,]"},
      {"a character beyond the plane counts two",
       "re.Pattern = \"b\" : Response.Write re.Execute(\"\xF0\x9F\x98\x80" "b\")(0).FirstIndex",
       "2"},
      {"ignore case beyond ASCII", "re.Pattern = \"\xC3\xA9t\xC3\xA9\" : re.IgnoreCase = True\n"
       "Response.Write re.Test(\"\xC3\x89T\xC3\x89\")", "True"},
      {"javascript escapes", "re.Pattern = \"\\u0041\\x42[^]\\v\"\n"
       "Response.Write re.Test(\"ABc\" & Chr(11)) & re.Test(\"ABc\")", "TrueFalse"},
      {"a letter escape without meaning is the letter", "re.Pattern = \"\\Q\\z\"\n"
       "Response.Write re.Test(\"Qz\")", "True"},
      {"matches keep what they found", "re.Pattern = \"a\"\nSet ms = re.Execute(\"a\")\n"
       "re.Pattern = \"b\"\nResponse.Write ms.Count & ms(0) & re.Test(\"a\")", "1aFalse"},
      {"properties read back", "re.Pattern = \"p\" : re.Global = True : re.MultiLine = True\n"
       "Response.Write re.Pattern & re.Global & re.MultiLine & re.IgnoreCase & TypeName(re)",
       "pTrueTrueFalseIRegExp2"},
  };
  VbsSite site;
  for (const OutputCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Output(site, Page(c.code)), c.output);
  }
}

TEST(VbsRegExp, Replace) {
  std::vector<OutputCase> cases = {
      {"first only", "re.Pattern = \"o\" : Response.Write re.Replace(\"foo\", \"0\")", "f0o"},
      {"global", "re.Pattern = \"o\" : re.Global = True\nResponse.Write re.Replace(\"foo\", \"0\")",
       "f00"},
      {"groups swap", "re.Pattern = \"(\\w+) (\\w+)\"\n"
       "Response.Write re.Replace(\"hello world\", \"$2 $1\")", "world hello"},
      {"whole match, before, after and dollar", "re.Pattern = \"b\"\n"
       "Response.Write re.Replace(\"abc\", \"[$&|$`|$'|$$]\")", "a[b|a|c|$]c"},
      {"a group the pattern lacks stays as written",
       "re.Pattern = \"(a)\" : Response.Write re.Replace(\"a\", \"$2$1$\")", "$2a$"},
      {"two-digit group only when it exists",
       "re.Pattern = \"(a)\" : Response.Write re.Replace(\"a\", \"$10\")", "a0"},
      {"unmatched group is nothing", "re.Pattern = \"(x)?a\"\n"
       "Response.Write re.Replace(\"a\", \"<$1>\")", "<>"},
      {"empty matches between every character", "re.Pattern = \"\" : re.Global = True\n"
       "Response.Write re.Replace(\"\xE4\xB8\xAD\xE6\x96\x87\", \"-\")",
       "-\xE4\xB8\xAD-\xE6\x96\x87-"},
      {"a page class named RegExp wins",
       "Class RegExp\n Public Pattern\nEnd Class\nSet r = New regexp\nResponse.Write TypeName(r)",
       "RegExp"},
  };
  VbsSite site;
  for (const OutputCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Output(site, Page(c.code)), c.output);
  }
}

TEST(VbsRegExp, BadAndRunawayPatternsRaise) {
  ExpectOutputs({
      {"bad pattern", "On Error Resume Next\nSet re = New RegExp\nre.Pattern = \"a[b\"\n"
       "x = re.Test(\"ab\")\nResponse.Write Err.Number", "5017"},
      {"missing parenthesis", "On Error Resume Next\nSet re = New RegExp\nre.Pattern = \"(ab\"\n"
       "x = re.Execute(\"ab\")\nResponse.Write Err.Number", "5020"},
      {"quantifier of nothing", "On Error Resume Next\nSet re = New RegExp\nre.Pattern = \"*\"\n"
       "x = re.Replace(\"ab\", \"\")\nResponse.Write Err.Number", "5017"},
      {"runaway backtracking ends with an error",
       "On Error Resume Next\nSet re = New RegExp\nre.Pattern = \"(a+)+$\"\n"
       "x = re.Test(Replace(Space(5000), \" \", \"a\") & \"!\")\nResponse.Write Err.Number", "28"},
      {"index outside the collection", "On Error Resume Next\nSet re = New RegExp\n"
       "Set ms = re.Execute(\"a\")\nx = ms(1)\nResponse.Write Err.Number", "5"},
  });
  ExpectErrors({
      {"unhandled bad pattern ends the page", "Set re = New RegExp\nre.Pattern = \"+\"\n"
       "Response.Write re.Test(\"a\")", 5017, 3},
  });
}

// Text that is not valid UTF-8 (a component's bytes read as text) still matches around its stray
// bytes, and a global replace over a long text takes each match once.
TEST(VbsRegExpText, InvalidAndLongTexts) {
  RegExpObject re;
  re.SetPattern("b+");
  re.SetGlobal(true);
  EXPECT_EQ(re.Replace("a\xFF" "bb b\xC3", "X"), "a\xFFX X\xC3");
  EXPECT_TRUE(re.Test("\xFE\xFF b"));
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "ab ";
  EXPECT_EQ(re.Replace(text, "").size(), 200000u);
}

}  // namespace
}  // namespace mirelda::script::vbscript::testing
