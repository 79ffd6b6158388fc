// The built-in library beyond the basics, by family: date arithmetic, formats, math, byte
// strings, escapes, the Mid statement, GetRef and the runtime's own functions. Results are the
// documented ones; bad arguments give 5, 13 or 94 as the language does.
#include "script/vbscript/page_run.h"

namespace mirelda::script::vbscript::testing {
namespace {

TEST(VbsLibrary, DateArithmetic) {
  ExpectOutputs({
      {"month end clamps", "Response.Write DateAdd(\"m\", 1, #2024-01-31#)", "2024-02-29"},
      {"leap day next year", "Response.Write DateAdd(\"yyyy\", 1, #2024-02-29#)", "2025-02-28"},
      {"quarter", "Response.Write DateAdd(\"q\", 1, #2024-11-30#)", "2025-02-28"},
      {"days back", "Response.Write DateAdd(\"d\", -1, #2024-03-01#)", "2024-02-29"},
      {"hours carry", "Response.Write DateAdd(\"h\", 25, #2024-01-01#)", "2024-01-02 01:00:00"},
      {"fraction truncated", "Response.Write DateAdd(\"d\", 1.9, #2024-01-01#)", "2024-01-02"},
      {"null date", "Response.Write IsNull(DateAdd(\"d\", 1, Null))", "True"},
      {"diff days and months",
       "Response.Write DateDiff(\"d\", #2024-01-01#, #2024-03-01#) & \" \" & "
       "DateDiff(\"m\", #2024-01-31#, #2024-02-01#) & \" \" & DateDiff(\"d\", #2024-01-02#, #2024-01-01#)",
       "60 1 -1"},
      {"diff counts boundaries",
       "Response.Write DateDiff(\"yyyy\", #2024-12-31#, #2025-01-01#) & "
       "DateDiff(\"h\", #2024-01-01 10:59:00#, #2024-01-01 11:00:00#) & "
       "DateDiff(\"ww\", #2024-01-06#, #2024-01-07#) & DateDiff(\"w\", #2024-01-06#, #2024-01-07#)",
       "1110"},
      {"diff seconds", "Response.Write DateDiff(\"s\", #2024-01-01#, #2024-01-01 00:01:00#)", "60"},
      {"diff is a long", "Response.Write TypeName(DateDiff(\"d\", Now, Now))", "Long"},
      {"parts", "d = #2024-12-31 13:14:15#\nResponse.Write DatePart(\"q\", d) & DatePart(\"y\", d) & "
                "DatePart(\"h\", d) & DatePart(\"n\", d) & DatePart(\"s\", d)",
       "4366131415"},
      {"weekday with first day",
       "Response.Write DatePart(\"w\", #2024-01-07#) & DatePart(\"w\", #2024-01-07#, vbMonday)", "17"},
      {"weeks of the year",
       "Response.Write DatePart(\"ww\", #2024-01-01#) & \" \" & DatePart(\"ww\", #2024-12-31#) & \" \" & "
       "DatePart(\"ww\", #2021-01-01#, vbMonday, vbFirstFourDays) & \" \" & "
       "DatePart(\"ww\", #2021-01-04#, vbMonday, vbFirstFourDays) & \" \" & "
       "DatePart(\"ww\", #2024-01-06#, vbSunday, vbFirstFullWeek)",
       "1 53 53 1 53"},
      {"names", "Response.Write MonthName(2) & MonthName(12, True) & WeekdayName(1) & WeekdayName(1, True, vbMonday)",
       "FebruaryDecSundayMon"},
      {"date and time values",
       "Response.Write DateValue(\"2024-03-05 10:20:30\") & \"|\" & TimeValue(\"2024-03-05 10:20:30\")",
       "2024-03-05|10:20:30"},
      {"timer", "t = Timer\nResponse.Write TypeName(t) & (t >= 0 And t < 86400)", "SingleTrue"},
      {"format date time",
       "d = #2026-12-08 14:05:09#\nResponse.Write FormatDateTime(d, vbLongDate) & \"|\" & "
       "FormatDateTime(d, vbShortDate) & \"|\" & FormatDateTime(d, vbLongTime) & \"|\" & "
       "FormatDateTime(d, vbShortTime) & \"|\" & FormatDateTime(d)",
       "Tuesday, December 8, 2026|2026-12-08|14:05:09|14:05|2026-12-08 14:05:09"},
  });
  ExpectErrors({
      {"unknown interval", "x = DateAdd(\"x\", 1, Now)", 5, 1},
      {"out of the calendar", "x = DateAdd(\"yyyy\", 9000, #2024-01-01#)", 5, 1},
      {"month thirteen", "x = MonthName(13)", 5, 1},
      {"first day eight", "x = DatePart(\"w\", Now, 8)", 5, 1},
      {"no date", "x = DateValue(\"soon\")", 13, 1},
  });
}

// Two-digit years pivot at 30 (00-29 are 2000s, 30-99 1900s) in literals and DateSerial; three-
// and four-digit years are taken as written. The runtime's text-to-date reads only four-digit
// years, so CDate of m/d/yy text is a type mismatch rather than a guess.
TEST(VbsLibrary, TwoDigitYearPivot) {
  std::vector<OutputCase> outputs;
  const struct {
    const char* year;
    const char* literal;   // #1/31/year#
    const char* serial;    // DateSerial(year, 1, 31)
  } years[] = {
      {"00", "2000-01-31", "2000-01-31"}, {"29", "2029-01-31", "2029-01-31"},
      {"30", "1930-01-31", "1930-01-31"}, {"49", "1949-01-31", "1949-01-31"},
      {"50", "1950-01-31", "1950-01-31"}, {"99", "1999-01-31", "1999-01-31"},
      {"100", "0100-01-31", "0100-01-31"}, {"999", "0999-01-31", "0999-01-31"},
      {"1929", "1929-01-31", "1929-01-31"}, {"2030", "2030-01-31", "2030-01-31"},
  };
  std::vector<std::string> code, expected;
  for (const auto& y : years) {
    code.push_back(std::string("Response.Write #1/31/") + y.year + "# & \"|\" & DateSerial(" +
                   y.year + ", 1, 31)");
    expected.push_back(std::string(y.literal) + "|" + y.serial);
  }
  for (size_t k = 0; k < code.size(); ++k) {
    outputs.push_back({years[k].year, code[k].c_str(), expected[k].c_str()});
  }
  outputs.push_back({"four-digit text", "Response.Write CDate(\"0029-01-31\")", "0029-01-31"});
  outputs.push_back({"two-digit text", "On Error Resume Next\nx = CDate(\"1/31/29\")\n"
                                       "Response.Write Err.Number", "13"});
  outputs.push_back({"short iso text", "On Error Resume Next\nx = CDate(\"29-01-31\")\n"
                                       "Response.Write Err.Number", "13"});
  outputs.push_back({"is date", "Response.Write IsDate(\"2029-01-31\") & IsDate(\"1/31/29\")",
                     "TrueFalse"});
  ExpectOutputs(outputs);
  ExpectErrors({
      {"three-digit year below 100", "x = #1/31/029#", 1002, 1},
      {"four-digit year below 100", "x = #1/31/0099#", 1002, 1},
      {"year past 9999", "x = #1/31/10000#", 1002, 1},
      {"serial year below 100", "x = DateSerial(-1, 1, 31)", 5, 1},
  });
}

TEST(VbsLibrary, NumberFormats) {
  ExpectOutputs({
      {"grouping and decimals", "Response.Write FormatNumber(1234.5)", "1,234.50"},
      {"half away from zero",
       "Response.Write FormatNumber(0.125, 2) & \" \" & FormatNumber(2.675, 2) & \" \" & FormatNumber(-0.5, 0)",
       "0.13 2.68 -1"},
      {"no leading digit", "Response.Write FormatNumber(0.5, 2, 0)", ".50"},
      {"parentheses", "Response.Write FormatNumber(-3, 1, , -1)", "(3.0)"},
      {"no grouping", "Response.Write FormatNumber(1234567, 0, , , 0)", "1234567"},
      {"negative zero", "Response.Write FormatNumber(-0.001, 2)", "0.00"},
      {"carry into a new digit", "Response.Write FormatNumber(999.996, 2)", "1,000.00"},
      {"numeric text", "Response.Write FormatNumber(\"12.5\", 1)", "12.5"},
      {"currency", "Response.Write FormatCurrency(1234.5) & \" \" & FormatCurrency(-2)", "$1,234.50 -$2.00"},
      {"percent", "Response.Write FormatPercent(0.1234) & \" \" & FormatPercent(1, 0)", "12.34% 100%"},
  });
  ExpectErrors({
      {"text", "x = FormatNumber(\"x\")", 13, 1},
      {"null", "x = FormatNumber(Null)", 94, 1},
      {"digits", "x = FormatNumber(1, -3)", 5, 1},
  });
}

TEST(VbsLibrary, Math) {
  ExpectOutputs({
      {"roots and logs", "Response.Write Sqr(16) & Exp(0) & Log(1) & Round(Atn(1) * 4, 4)", "4103.1416"},
      {"trigonometry", "Response.Write Sin(0) & Cos(0) & Tan(0) & TypeName(Sin(1))", "010Double"},
      {"rgb", "Response.Write RGB(255, 0, 0) & \" \" & RGB(1, 2, 3) & \" \" & RGB(300, 0, 0)", "255 197121 255"},
      {"rnd in range", "ok = True\nFor i = 1 To 1000\nr = Rnd\nIf r < 0 Or r >= 1 Then ok = False\nNext\n"
                       "Response.Write ok & TypeName(r)",
       "TrueSingle"},
      {"rnd zero repeats", "a = Rnd\nb = Rnd(0)\nResponse.Write (a = b)", "True"},
      {"seeded sequence repeats",
       "x = Rnd(-1)\nRandomize 42\na = Rnd & Rnd\nx = Rnd(-1)\nRandomize 42\nb = Rnd & Rnd\nResponse.Write (a = b)",
       "True"},
      {"negative seed repeats", "x = Rnd(-7)\na = Rnd\nx = Rnd(-7)\nResponse.Write (a = Rnd)", "True"},
  });
  ExpectErrors({
      {"root of a negative", "x = Sqr(-1)", 5, 1},
      {"log of zero", "x = Log(0)", 5, 1},
      {"exp overflow", "x = Exp(1000)", 6, 1},
      {"null", "x = Sin(Null)", 94, 1},
      {"negative colour", "x = RGB(-1, 0, 0)", 5, 1},
  });
}

TEST(VbsLibrary, TextExtras) {
  ExpectOutputs({
      {"string", "Response.Write String(3, \"ab\") & String(2, 65) & \"[\" & String(0, \"x\") & \"]\"",
       "aaaAA[]"},
      {"filter", "a = Array(\"apple\", \"banana\", \"cherry\")\nResponse.Write Join(Filter(a, \"an\")) & \"|\" & "
                 "Join(Filter(a, \"a\", False)) & \"|\" & Join(Filter(Array(\"A\", \"b\"), \"a\", True, vbTextCompare)) & "
                 "\"|\" & UBound(Filter(a, \"z\"))",
       "banana|cherry|A|-1"},
      {"escape", "Response.Write Escape(\"a b&\xC3\xBC\xE2\x82\xAC@*_+-./\")", "a%20b%26%FC%u20AC@*_+-./"},
      {"unescape", "Response.Write Unescape(\"%41%u20AC%zz%4\")", "A\xE2\x82\xAC%zz%4"},
      {"escape round trip", "s = \"x \xF0\x9F\x98\x80 y\"\nResponse.Write (Unescape(Escape(s)) = s)", "True"},
      {"chained appends", "s = \"a\"\ns = s & 1 & \"b\" & Null & 2.5\nt = Null\nt = t & \"x\" & \"y\"\n"
                          "Response.Write s & \"|\" & t",
       "a1b2.5|xy"},
      {"a chain that changes its own target",
       "Function F()\ns = \"zz\"\nF = \"!\"\nEnd Function\ns = \"a\"\ns = s & \"x\" & F()\nResponse.Write s",
       "ax!"},
      {"joins left to right", "Function F()\ns = \"zz\"\nF = \"!\"\nEnd Function\ns = \"a\"\nx = s & F() & s\n"
                              "Response.Write x & IsNull(Null & Null) & (Null & \"b\" & Null) & (1 & 2 & Empty) & "
                              "(\"c\" & (Null & Null))",
       "a!zzTrueb12c"},
      {"mid statement", "s = \"abcdef\"\nMid(s, 2, 3) = \"XYZW\"\nt = \"abcdef\"\nMid(t, 5) = \"123\"\n"
                        "Response.Write s & \" \" & t",
       "aXYZef abcd12"},
  });
  ExpectErrors({
      {"string of nothing", "x = String(2, \"\")", 5, 1},
      {"negative count", "x = String(-1, \"x\")", 5, 1},
      {"filter of no array", "x = Filter(\"abc\", \"a\")", 13, 1},
      {"mid statement past the end", "s = \"abc\"\nMid(s, 4) = \"x\"", 5, 2},
  });
}

TEST(VbsLibrary, ByteStrings) {
  ExpectOutputs({
      {"built from ChrB", "b = ChrB(65) & ChrB(66)\nResponse.Write LenB(b) & TypeName(b) & AscB(MidB(b, 2, 1))",
       "2Byte()66"},
      {"appended to an empty text", "s = \"\"\nFor i = 1 To 3\ns = s & ChrB(64 + i)\nNext\n"
                                    "Response.Write LenB(s) & AscB(RightB(s, 1)) & LenB(LeftB(s, 9))",
       "3673"},
      {"searched", "b = ChrB(1) & ChrB(13) & ChrB(10) & ChrB(13) & ChrB(10)\n"
                   "Response.Write InStrB(b, ChrB(13) & ChrB(10)) & InStrB(3, b, ChrB(13) & ChrB(10)) & InStrB(b, ChrB(9))",
       "240"},
      {"compared", "Response.Write (MidB(ChrB(1) & ChrB(2), 1, 1) = ChrB(1)) & (ChrB(1) = ChrB(2))", "TrueFalse"},
      {"text counts two bytes a unit", "Response.Write LenB(\"ab\") & AscB(\"A\") & MidB(\"ab\", 3, 2)", "465b"},
      {"decoded a byte at a time", "b = ChrB(72) & ChrB(105)\nFor i = 1 To LenB(b)\nt = t & Chr(AscB(MidB(b, i, 1)))\nNext\n"
                                   "Response.Write t",
       "Hi"},
  });
  ExpectErrors({
      {"chrb range", "x = ChrB(256)", 5, 1},
      {"ascb of nothing", "x = AscB(\"\")", 5, 1},
  });
}

TEST(VbsLibrary, ReferencesAndRuntime) {
  ExpectOutputs({
      {"getref calls the function",
       "Function Twice(x)\nTwice = x * 2\nEnd Function\nSet f = GetRef(\"twice\")\nResponse.Write f(21) & TypeName(f)",
       "42Object"},
      {"getref of a sub", "Sub Say(t)\nResponse.Write \"<\" & t & \">\"\nEnd Sub\nSet s = GetRef(\"Say\")\ns \"a\"\nCall s(\"b\")",
       "<a><b>"},
      {"passed on", "Function Apply(f, v)\nApply = f(v)\nEnd Function\nFunction Neg(v)\nNeg = -v\nEnd Function\n"
                    "Response.Write Apply(GetRef(\"Neg\"), 5)",
       "-5"},
      {"engine", "Response.Write ScriptEngine & ScriptEngineMajorVersion & TypeName(ScriptEngineMinorVersion)",
       "VBScript5Long"},
      {"unknown class named",
       "On Error Resume Next\nSet o = CreateObject(\"Nope.Nothing\")\nResponse.Write Err.Number & (InStr(Err.Description, \"Nope.Nothing\") > 0)",
       "429True"},
  });
  ExpectErrors({
      {"getref of nothing", "Set f = GetRef(\"Nope\")", 5, 1},
      {"getobject refused", "Set o = GetObject(\"winmgmts:\")", 429, 1},
      {"createobject unknown", "Set o = CreateObject(\"Nope.Nothing\")", 429, 1},
  });
}

}  // namespace
}  // namespace mirelda::script::vbscript::testing
