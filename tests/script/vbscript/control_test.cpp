// Control flow and arrays: If, Select Case, the loops, Exit, For Each and array statements.
#include "script/vbscript/page_run.h"

namespace mirelda::script::vbscript::testing {
namespace {

TEST(VbsControl, Conditions) {
  ExpectOutputs({
      {"block if with elseif",
       "x = 5\nIf x < 3 Then\n Response.Write \"a\"\nElseIf x < 10 Then\n Response.Write \"b\"\n"
       "Else\n Response.Write \"c\"\nEnd If",
       "b"},
      {"single-line if with else", "If 1 > 2 Then Response.Write \"y\" Else Response.Write \"n\"",
       "n"},
      {"numeric text condition", "If \"1\" Then Response.Write \"t\"", "t"},
      {"select with lists, ranges and is",
       "For Each v In Array(1, 4, 7, 12, 20)\n Select Case v\n  Case 1, 2\n   Response.Write \"a\"\n"
       "  Case 3 To 8\n   Response.Write \"b\"\n  Case Is > 15\n   Response.Write \"c\"\n"
       "  Case Else\n   Response.Write \"d\"\n End Select\nNext",
       "abbdc"},
      {"select compares texts as =",
       "s = \"B\"\nSelect Case s\n Case \"b\"\n  Response.Write 1\n Case \"B\"\n  Response.Write 2\n"
       "End Select",
       "2"},
      {"select of numeric text beside number cases and of a fraction in a range",
       "For Each v In Array(\"2\", 6.5)\n Select Case v\n  Case 1, 2\n   Response.Write \"a\"\n"
       "  Case 5 To 8\n   Response.Write \"b\"\n End Select\nNext",
       "ab"},
      {"select takes the first match only",
       "Select Case 2\n Case 1 To 5\n  Response.Write \"x\"\n Case 2\n  Response.Write \"y\"\n"
       "End Select",
       "x"},
  });
}

TEST(VbsControl, Loops) {
  ExpectOutputs({
      {"for with step", "For i = 1 To 10 Step 3 : Response.Write i : Next", "14710"},
      {"for counting down", "For i = 3 To 1 Step -1 : Response.Write i : Next", "321"},
      {"for bounds are read once",
       "n = 3\nFor i = 1 To n\n n = 10\n Response.Write i\nNext", "123"},
      {"for counter can be assigned", "For i = 1 To 10\n Response.Write i\n i = i + 4\nNext",
       "16"},
      {"for leaves the counter past the end", "For i = 1 To 3 : Next : Response.Write i", "4"},
      {"for that never runs", "For i = 5 To 1 : Response.Write i : Next : Response.Write \"-\"",
       "-"},
      {"exit for", "For i = 1 To 10\n If i = 3 Then Exit For\n Response.Write i\nNext", "12"},
      {"a counter that passes Integer becomes Long",
       "For i = 32766 To 32768 : Response.Write TypeName(i) & i & \" \" : Next",
       "Integer32766 Integer32767 Long32768 "},
      {"fractional steps", "For x = 0 To 1 Step 0.25 : Response.Write x & \" \" : Next : Response.Write TypeName(x)",
       "0 0.25 0.5 0.75 1 Double"},
      {"a counter the body makes text", "For i = 1 To 5\n Response.Write i\n If i = 2 Then i = \"4\"\nNext",
       "125"},
      {"a counter in a procedure", "Sub Count(n)\n Dim k\n For k = n To 1 Step -2 : Response.Write k : Next\n"
       "Response.Write \"|\" & k\nEnd Sub\nCount 5", "531|-1"},
      {"do while at the top", "i = 0\nDo While i < 3\n i = i + 1\n Response.Write i\nLoop", "123"},
      {"do until at the bottom runs once", "i = 10\nDo\n Response.Write i\nLoop Until i > 5",
       "10"},
      {"do with exit do", "i = 0\nDo\n i = i + 1\n If i = 4 Then Exit Do\nLoop\nResponse.Write i",
       "4"},
      {"while wend", "i = 0\nWhile i < 2\n i = i + 1\nWend\nResponse.Write i", "2"},
      {"exit do leaves only the inner loop",
       "For i = 1 To 2\n Do\n  Exit Do\n Loop\n Response.Write i\nNext", "12"},
  });
}

TEST(VbsControl, Arrays) {
  ExpectOutputs({
      {"fixed array", "Dim a(2)\na(0) = \"x\" : a(2) = \"z\"\nResponse.Write a(0) & a(1) & a(2) & UBound(a)",
       "xz2"},
      {"two dimensions and ubound per dimension",
       "Dim m(2, 4)\nm(1, 3) = 7\nResponse.Write m(1, 3) & UBound(m, 1) & UBound(m, 2) & LBound(m, 2)",
       "7240"},
      {"for each visits column-major order",
       "Dim m(1, 2)\nFor i = 0 To 1\n For j = 0 To 2\n  m(i, j) = i & j\n Next\nNext\n"
       "For Each v In m\n Response.Write v & \" \"\nNext",
       "00 10 01 11 02 12 "},
      {"redim preserve keeps elements",
       "Dim a()\nReDim a(1)\na(0) = 1 : a(1) = 2\nReDim Preserve a(3)\na(3) = 4\n"
       "Response.Write a(0) & a(1) & a(2) & a(3) & UBound(a)",
       "1243"},
      {"redim without preserve empties", "ReDim a(2)\na(1) = 5\nReDim a(2)\nResponse.Write IsEmpty(a(1))",
       "True"},
      {"erase of a dynamic array", "ReDim a(2)\nErase a\nResponse.Write IsArray(a)", "True"},
      {"arrays are copied on assignment",
       "a = Array(1, 2)\nb = a\nb(0) = 9\nResponse.Write a(0) & b(0)", "19"},
      {"split and join", "Response.Write Join(Split(\"a,b,c\", \",\"), \"-\")", "a-b-c"},
      {"array of an empty list", "a = Array()\nResponse.Write UBound(a)", "-1"},
      {"string built in a loop", "s = \"\"\nFor i = 1 To 5\n s = s & i\nNext\nResponse.Write s",
       "12345"},
  });
  ExpectErrors({
      {"index beyond the bounds", "Dim a(2)\na(3) = 1", 9, 2},
      {"redim of a fixed array", "Dim a(2)\nReDim a(4)", 10, 2},
      {"ubound of a non-array", "x = 1\ny = UBound(x)", 13, 2},
      {"for each over a number", "For Each v In 5\nNext", 451, 1},
  });
}

}  // namespace
}  // namespace mirelda::script::vbscript::testing
