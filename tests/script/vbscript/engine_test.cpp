// The engine as the host uses it: literal text and <%= %> in page order, blocks around HTML,
// the page objects with their default members, named objects, compile errors, RunProcedure,
// and code compiled while the page runs (Execute, ExecuteGlobal, Eval).
#include "script/vbscript/objects/err_object.h"
#include "script/vbscript/page_run.h"

namespace mirelda::script::vbscript::testing {
namespace {

using Outcome = host::PageRun::Outcome;

TEST(VbsEngine, LiteralTextAndExpressionsInPageOrder) {
  struct Case {
    const char* name;
    const char* page;
    const char* output;
  } cases[] = {
      {"text around code", "<p><% Response.Write \"a\" %></p>", "<p>a</p>"},
      {"expression block", "<b><%= 1 + 1 %></b>", "<b>2</b>"},
      {"loop around html", "<% For i = 1 To 3 %><li><%= i %></li><% Next %>",
       "<li>1</li><li>2</li><li>3</li>"},
      {"if around html", "<% If False Then %>no<% Else %>yes<% End If %>", "yes"},
      {"if inside a loop around html",
       "<% For i = 1 To 2 %><% If i = 2 Then %>two<% Else %>one<% End If %>,<% Next %>",
       "one,two,"},
      {"double text form", "<%= 0.1 + 0.2 %>", "0.3"},
      {"null writes nothing", "[<%= Null %>]", "[]"},
      {"procedure writing html",
       "<% Sub Row(x) %><tr><%= x %></tr><% End Sub %><% Row 1 : Row 2 %>", "<tr>1</tr><tr>2</tr>"},
  };
  VbsSite site;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PageOutcome outcome = site.Run(c.page);
    EXPECT_EQ(outcome.run.outcome, Outcome::kCompleted) << outcome.run.description;
    EXPECT_EQ(outcome.output, c.output);
  }
}

TEST(VbsEngine, PageObjectsThroughLateBinding) {
  VbsSite site;
  PageOutcome outcome = site.Run(
      "<% Session(\"k\") = \"v\" & 1\nApplication(\"n\") = 5\n"
      "Response.Write Session(\"k\") & Application(\"n\") & TypeName(Request) %>");
  EXPECT_EQ(outcome.run.outcome, Outcome::kCompleted) << outcome.run.description;
  EXPECT_EQ(outcome.output, "v15Request");
  EXPECT_EQ(site.host().session().values["k"], Variant("v1"));
}

TEST(VbsEngine, NamedObjectsAreMadeOnFirstUse) {
  VbsSite site;
  int made = 0;
  PageOptions options;
  options.objects.push_back(host::NamedObject{"Counter", [&made]() -> std::shared_ptr<Dispatch> {
                                                ++made;
                                                return std::make_shared<ErrObject>();
                                              }});
  PageOutcome outcome = site.Run("<% Response.Write \"x\" %>", options);
  EXPECT_EQ(outcome.output, "x");
  EXPECT_EQ(made, 0);
  outcome = site.Run(
      "<% Response.Write TypeName(counter) : Set c = Counter : Response.Write (c Is Counter) %>",
      options);
  EXPECT_EQ(outcome.run.outcome, Outcome::kCompleted) << outcome.run.description;
  EXPECT_EQ(outcome.output, "ErrObjectTrue");
  EXPECT_EQ(made, 1);
}

TEST(VbsEngine, CompileErrorsCarryTheirPlace) {
  VbsSite site;
  PageOutcome outcome = site.Run("<p>\n<% x = 1\nIf x Then\n%>");
  EXPECT_FALSE(outcome.compiled);
  EXPECT_EQ(outcome.run.source, "Microsoft VBScript compilation error");
  EXPECT_EQ(outcome.run.where.file, "/page.asp");
  EXPECT_GT(outcome.run.where.line, 1);
}

TEST(VbsEngine, RunProcedureRunsTheTopLevelThenTheProcedure) {
  VbsSite site;
  site.WriteFile("global.asa",
                 "<script language=\"VBScript\" runat=\"Server\">\n"
                 "Dim started\nstarted = \"top;\"\n"
                 "Sub Application_OnStart\n Application(\"s\") = started & \"start\"\nEnd Sub\n"
                 "</script>");
  host::PageParseOptions parse;
  parse.canonical_language = [](std::string_view) { return std::string("vbscript"); };
  auto engine = MakeVBScriptEngine();
  auto source = host::ParsePage(site.root(), "/global.asa", parse);
  auto script = engine->Compile(*source);
  auto runner = engine->NewRunner();
  host::PageRun run;
  site.host().RunPage([&](host::TestContext& context) {
    host::PageRunInput input;
    input.context = &context;
    run = runner->RunProcedure(*script, "application_onstart", input);
  });
  EXPECT_EQ(run.outcome, Outcome::kCompleted) << run.description;
  EXPECT_EQ(site.host().context().application->values["s"], Variant("top;start"));
}

TEST(VbsEngine, CodeCompiledWhileThePageRuns) {
  ExpectOutputs({
      {"execute", "Execute \"x = 5\"\nResponse.Write x", "5"},
      {"execute sees the procedure's locals",
       "Sub S\n Dim v\n v = 2\n Execute \"v = v * 3\"\n Response.Write v\nEnd Sub\nS", "6"},
      {"executeglobal defines a function",
       "ExecuteGlobal \"Function G(a)\" & vbCrLf & \"G = a + 1\" & vbCrLf & \"End Function\"\n"
       "Response.Write G(1)",
       "2"},
      {"eval", "x = 4\nResponse.Write Eval(\"x * 2 + 1\")", "9"},
      {"eval of a comparison", "Response.Write Eval(\"1 = 1\")", "True"},
  });
  ExpectErrors({
      {"option explicit", "Option Explicit\nDim a\na = 1\nb = 2", 500, 4},
  });
  // Broken code given to Execute fails where Execute runs, with a compile error's number.
  VbsSite site;
  PageOutcome outcome = site.Run("<%\nx = 1\nExecute \"x = = 1\" %>");
  EXPECT_EQ(outcome.run.outcome, Outcome::kFailed);
  EXPECT_GE(outcome.run.number, 1001);
  EXPECT_LE(outcome.run.number, 1058);
  EXPECT_EQ(outcome.run.where.line, 3);
}

}  // namespace
}  // namespace mirelda::script::vbscript::testing
