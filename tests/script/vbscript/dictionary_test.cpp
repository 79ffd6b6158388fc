// Scripting.Dictionary through real pages: creation both ways, the default member for reading,
// assigning and Set, For Each over the keys, the compare modes, renaming, and the error numbers
// that On Error Resume Next leaves in Err.
#include "script/vbscript/page_run.h"

namespace mirelda::script::vbscript::testing {
namespace {

// Every case starts with an empty dictionary d.
constexpr const char* kNew = "Set d = CreateObject(\"Scripting.Dictionary\")\n";

TEST(VbsDictionary, MembersOverPages) {
  std::vector<OutputCase> cases = {
      {"created by CreateObject", "Response.Write TypeName(d) & \":\" & d.Count", "Dictionary:0"},
      {"created by Server.CreateObject",
       "Set e = Server.CreateObject(\"scripting.dictionary\")\n"
       "e.Add \"k\", 1 : Response.Write TypeName(e) & e(\"k\")",
       "Dictionary1"},
      {"add and item",
       "d.Add \"a\", \"x\" : d.Add \"b\", 2\nResponse.Write d.Item(\"a\") & d(\"b\") & d.Count",
       "x22"},
      {"assignment through the default member",
       "d(\"a\") = 1 : d(\"a\") = d(\"a\") + 1 : d.Item(\"b\") = 5\n"
       "Response.Write Join(d.Keys, \"|\") & \"=\" & Join(d.Items, \"|\")",
       "a|b=2|5"},
      {"Set stores an object",
       "Set e = CreateObject(\"Scripting.Dictionary\") : e(\"n\") = 3 : Set d(\"e\") = e\n"
       "Response.Write IsObject(d(\"e\")) & (d(\"e\") Is e) & d(\"e\")(\"n\")",
       "TrueTrue3"},
      {"a missing key read is added with Empty",
       "x = d(\"nope\") : Response.Write IsEmpty(x) & d.Exists(\"nope\") & d.Count", "TrueTrue1"},
      {"exists", "d.Add 1, \"one\"\nResponse.Write d.Exists(1) & d.Exists(\"1\") & d.Exists(1.0)",
       "TrueFalseTrue"},
      {"keys and items from zero, in order",
       "d.Add \"z\", 1 : d.Add \"y\", 2 : d.Add \"x\", 3\n"
       "k = d.Keys : Response.Write LBound(k) & UBound(k) & Join(k, \"|\") & Join(d.Items, \"|\")",
       "02z|y|x1|2|3"},
      {"indexing the keys of the call",
       "d.Add \"p\", 1 : d.Add \"q\", 2 : Response.Write d.Keys()(1)", "q"},
      {"for each gives the keys",
       "d.Add \"one\", 1 : d.Add 2, \"two\" : d.Add \"three\", 3\n"
       "For Each k In d : Response.Write k & \"=\" & d(k) & \";\" : Next",
       "one=1;2=two;three=3;"},
      {"remove and add again goes to the end",
       "d.Add \"a\", 1 : d.Add \"b\", 2 : d.Remove \"a\" : d.Add \"a\", 3\n"
       "Response.Write Join(d.Keys, \"|\") & \"=\" & Join(d.Items, \"|\")",
       "b|a=2|3"},
      {"remove all", "d.Add \"a\", 1 : d.RemoveAll : Response.Write d.Count & d.Exists(\"a\")",
       "0False"},
      {"text compare mode",
       "d.CompareMode = vbTextCompare : d.Add \"Name\", 1\n"
       "Response.Write d.CompareMode & d.Exists(\"NAME\") & d(\"name\")",
       "1True1"},
      {"binary compare mode is the default",
       "d.Add \"Name\", 1 : Response.Write d.CompareMode & d.Exists(\"NAME\")", "0False"},
      {"rename keeps the position",
       "d.Add \"a\", 1 : d.Add \"b\", 2 : d.Add \"c\", 3 : d.Key(\"b\") = \"x\"\n"
       "Response.Write Join(d.Keys, \"|\") & \"=\" & d(\"x\") & d.Exists(\"b\")",
       "a|x|c=2False"},
      {"integer, long and double one are one key",
       "d.Add CInt(1), \"i\" : d(CLng(1)) = \"l\" : d(CDbl(1)) = \"d\"\n"
       "Response.Write d.Count & d(1)",
       "1d"},
      {"dates as keys",
       "d.Add DateSerial(2024, 2, 29), \"leap\"\n"
       "Response.Write d(DateSerial(2024, 2, 29)) & d.Exists(DateSerial(2024, 3, 1))",
       "leapFalse"},
      {"null as a key", "d.Add Null, \"n\" : Response.Write d(Null) & d.Exists(Null) & d.Count",
       "nTrue1"},
      {"a byte string is the key of its text",
       "d.Add ChrB(65) & ChrB(0), 1 : Response.Write d.Exists(\"A\") & d(\"A\")", "True1"},
      {"arrays are stored by value",
       "a = Array(1, 2) : d.Add \"a\", a : a(0) = 9 : Response.Write d(\"a\")(0) & a(0)", "19"},
  };
  ExpectOutputs(kNew, cases);
}

TEST(VbsDictionary, ErrorNumbersUnderResumeNext) {
  std::vector<OutputCase> cases = {
      {"duplicate key",
       "On Error Resume Next\nd.Add \"a\", 1 : d.Add \"a\", 2\n"
       "Response.Write Err.Number & \":\" & Err.Description & \":\" & d(\"a\")",
       "457:This key is already associated with an element of this collection:1"},
      {"remove of a missing key",
       "On Error Resume Next\nd.Remove \"nope\"\n"
       "Response.Write Err.Number & \":\" & Err.Description",
       "32811:Element not found"},
      {"rename of a missing key",
       "On Error Resume Next\nd.Key(\"nope\") = \"x\"\nResponse.Write Err.Number & \":\" & d.Count",
       "32811:0"},
      {"rename onto a key that exists",
       "On Error Resume Next\nd.Add \"a\", 1 : d.Add \"b\", 2 : d.Key(\"a\") = \"b\"\n"
       "Response.Write Err.Number & \":\" & Join(d.Keys, \"|\")",
       "457:a|b"},
      {"compare mode of a dictionary that holds keys",
       "On Error Resume Next\nd.Add \"a\", 1 : d.CompareMode = 1\n"
       "Response.Write Err.Number & \":\" & d.CompareMode",
       "5:0"},
      {"an array as a key",
       "On Error Resume Next\nd.Add Array(1), 1\nResponse.Write Err.Number & \":\" & d.Count",
       "13:0"},
  };
  ExpectOutputs(kNew, cases);
}

TEST(VbsDictionary, UntrappedErrorsEndThePage) {
  const std::vector<ErrorCase> cases = {
      {"duplicate", "d.Add 1, 1\nd.Add 1.0, 2", errc::kKeyAlreadyAssociated, 2},
      {"missing", "d.Remove \"x\"", errc::kElementNotFound, 1},
  };
  ExpectErrors(kNew, cases);
}

// A page that counts words of a text of 10^5 words through the dictionary completes within the
// page time limit: lookups are a hash probe, not a scan.
TEST(VbsDictionary, ManyKeysWithinTheTimeLimit) {
  VbsSite site;
  PageOptions options;
  options.time_limit = std::chrono::milliseconds(20000);
  PageOutcome outcome = site.Run(
      "<%\nSet d = CreateObject(\"Scripting.Dictionary\")\nFor i = 1 To 100000\n"
      " k = \"w\" & (i Mod 50000)\n If d.Exists(k) Then d(k) = d(k) + 1 Else d.Add k, 1\n"
      "Next\nResponse.Write d.Count & \":\" & d(\"w7\")\n%>",
      options);
  EXPECT_EQ(outcome.run.outcome, host::PageRun::Outcome::kCompleted) << outcome.run.description;
  EXPECT_EQ(outcome.output, "50000:2");
}

// What Err holds after an error that On Error Resume Next passed over: right after the statement,
// after Err.Clear, and once the procedure that trapped it has returned (its scope ends, the error
// stays), for the language's own errors, Err.Raise with and without a source, and a component's.
TEST(VbsDictionary, TrappedErrorSourceNumberAndDescription) {
  constexpr const char* kShow =
      "Function Shown()\n Shown = Err.Number & \"|\" & Err.Source & \"|\" & Err.Description\n"
      "End Function\n";
  const struct {
    const char* name;
    const char* failing;  // one statement that fails
    const char* shown;    // Number|Source|Description
  } failures[] = {
      {"division by zero", "x = 1 / 0", "11|Microsoft VBScript runtime error|Division by zero"},
      {"raise with a source", "Err.Raise vbObjectError + 7, \"Mine\", \"mine failed\"",
       "-2147221497|Mine|mine failed"},
      {"raise of a language number", "Err.Raise 13",
       "13|Microsoft VBScript runtime error|Type mismatch"},
      {"raise without a source", "Err.Raise vbObjectError + 8, , \"no source\"",
       "-2147221496|Microsoft VBScript runtime error|no source"},
      {"raise of a number alone", "Err.Raise 1000",
       "1000|Microsoft VBScript runtime error|Unknown runtime error"},
      {"component method", "d.Add \"k\", 1 : d.Add \"k\", 2",
       "457|Microsoft VBScript runtime error|This key is already associated with an element of "
       "this collection"},
      {"component member missing", "d.NoSuchMember",
       "438|Microsoft VBScript runtime error|Object doesn't support this property or method: "
       "'NoSuchMember'"},
  };
  VbsSite site;
  const std::string shown = std::string(kNew) + kShow;
  for (const auto& f : failures) {
    SCOPED_TRACE(f.name);
    std::string body = std::string(f.failing) + "\n";
    EXPECT_EQ(Output(site, shown + "On Error Resume Next\n" + body +
                               "Response.Write Shown()\nErr.Clear\nResponse.Write \"/\" & Shown()"),
              std::string(f.shown) + "/0||");
    EXPECT_EQ(Output(site, shown + "Sub Trapping\n On Error Resume Next\n " + body +
                               "End Sub\nOn Error Resume Next\nTrapping\nResponse.Write Shown()"),
              f.shown);
  }
}

}  // namespace
}  // namespace mirelda::script::vbscript::testing
