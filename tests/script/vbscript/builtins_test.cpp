// The built-in functions and constants, by family.
#include "script/vbscript/page_run.h"

namespace mirelda::script::vbscript::testing {
namespace {

TEST(VbsBuiltins, Strings) {
  ExpectOutputs({
      {"len", "Response.Write Len(\"hello\") & Len(123) & Len(\"\")", "530"},
      {"len counts characters", "Response.Write Len(\"h\xC3\xA9llo\")", "5"},
      {"left right mid",
       "s = \"abcdef\" : Response.Write Left(s, 2) & Right(s, 2) & Mid(s, 3, 2) & Mid(s, 5)",
       "abefcdef"},
      {"past the end", "Response.Write Left(\"ab\", 5) & Mid(\"ab\", 5) & \"|\"", "ab|"},
      {"instr",
       "Response.Write InStr(\"abcabc\", \"c\") & InStr(4, \"abcabc\", \"c\") & InStr(\"abc\", "
       "\"z\")",
       "360"},
      {"split with count", "a = Split(\"a b c\", \" \", 2) : Response.Write UBound(a) & a(1)",
       "1b c"},
      {"case and trim",
       "Response.Write UCase(\"ab\") & LCase(\"CD\") & \"[\" & Trim(\"  x \") & LTrim(\" y\") & "
       "RTrim(\"z \") & \"]\"",
       "ABcd[xyz]"},
      {"vb constants", "Response.Write Len(vbCrLf) & Asc(vbTab) & Len(vbNullString) & vbTrue",
       "290-1"},
  });
  ExpectErrors({
      {"too many arguments", "x = Len(\"a\", 2)", 450, 1},
  });
}

TEST(VbsBuiltins, ConversionsAndNumbers) {
  ExpectOutputs({
      {"cstr cint clng cdbl cbool",
       "Response.Write CStr(12) & CInt(\"7\") & CLng(2.5) & CDbl(\"1.5\") & CBool(1)",
       "12721.5True"},
      {"cbyte csng ccur types",
       "Response.Write TypeName(CByte(1)) & TypeName(CSng(1)) & TypeName(CCur(1))",
       "ByteSingleCurrency"},
      {"abs int fix", "Response.Write Abs(-3) & Int(-2.5) & Fix(-2.5) & Int(2.7)", "3-3-22"},
      {"hex", "Response.Write Hex(255) & \" \" & Hex(-1) & \" \" & Hex(70000)", "FF FFFF 11170"},
      {"typename and vartype of arrays", "Response.Write TypeName(Array()) & VarType(Array())",
       "Variant()8204"},
      {"isarray isobject", "Response.Write IsArray(Array(1)) & IsObject(Nothing) & IsObject(1)",
       "TrueTrueFalse"},
  });
}

TEST(VbsBuiltins, Dates) {
  ExpectOutputs({
      {"date has no time", "Response.Write (Date = Int(Now))", "True"},
      {"now is a date", "Response.Write TypeName(Now) & VarType(Date)", "Date7"},
      {"parts of a date",
       "d = CDate(\"2026-12-07 10:30:15\")\n"
       "Response.Write Year(d) & \"/\" & Month(d) & \"/\" & Day(d) & \" \" & Hour(d) & \":\" & "
       "Minute(d) & \":\" & Second(d)",
       "2026/12/7 10:30:15"},
      {"weekday", "Response.Write Weekday(CDate(\"2026-12-07\"))", "2"},
      {"time is below a day", "Response.Write (Time < 1)", "True"},
      {"parts are integers, of null null",
       "Response.Write TypeName(Year(Now)) & TypeName(Weekday(Now)) & IsNull(Month(Null))",
       "IntegerIntegerTrue"},
      {"months carry into the year", "Response.Write DateSerial(2026, 13, 1)", "2027-01-01"},
      {"time serial", "Response.Write TimeSerial(1, 2, 3) & TypeName(TimeSerial(0, 0, 1))",
       "01:02:03Date"},
  });
}

}  // namespace
}  // namespace mirelda::script::vbscript::testing
