// VBScript pages served by mirelda-host, the host's default language: page text around blocks,
// includes, script blocks, the page objects' default members, late binding to components, errors
// with their place, and pages that try to run away with the worker or its memory.
#include <gtest/gtest.h>

#include "host/running_host.h"

namespace mirelda::testing {
namespace {

const char kLateBindingPage[] = R"(<%
Set p = Server.CreateObject("MireldaTest.Probe")
Sub Out(k, v)
  Response.Write k & "=" & v & vbLf
End Sub
Out "started", p.Started
Out "integer", p.TypeOf(42)
Out "long", p.TypeOf(40000)
Out "double", p.TypeOf(1.5)
Out "string", p.TypeOf("s")
Out "bool", p.TypeOf(True)
Out "null", p.TypeOf(Null)
Out "empty", p.TypeOf(Empty)
Out "missing", p.TypeOf()
Out "array", p.TypeOf(Array(1, "a", 2.5))
Out "date", p.TypeOf(#2024-01-02#)
Out "object", p.TypeOf(p)
Out "optional", p.Optional("a")
Out "optional2", p.Optional("a", , 3)
n = p.Numbers(3)
Out "numbers", IsArray(n) & ":" & UBound(n) & ":" & Join(n, ",")
d = p.MakeDate(2024, 2, 29)
Out "dateback", TypeName(d) & ":" & d
p.Name = "first"
Out "name", p.Name
Set q = Server.CreateObject("mireldatest.probe")
q.Name = "child"
Set p.Child = q
Out "child", p.Child.Name
Out "echoobject", p.Echo(q).Name
Set p.Child = Nothing
Out "childnothing", p.Child Is Nothing
Out "default", p("k1")
Out "indexed", p.Item("k2")
On Error Resume Next
p.Nope
Out "unknown", Err.Number
Err.Clear
p.Fail -2147217865, "no such table"
Out "fail", Err.Number & "|" & Err.Description
Err.Clear
x = p.TypeOf(1, 2)
Out "count", Err.Number
On Error GoTo 0
Out "db", TypeName(Server.CreateObject("Mirelda.Database"))
%>)";

class VBScriptPagesTest : public SharedHostTest<VBScriptPagesTest> {
 protected:
  static void SetUpTestSuite() {
    host_.reset(new RunningHost(
        {
            {"index.asp",
             "<html>\n<!-- #include file=\"inc/head.inc\" -->\n"
             "<p><%= \"Hello, \" & Request.QueryString(\"who\") ' greeting %></p>\n"
             "<% For i = 1 To 3 %><%= i %>,<% Next %>\n"
             "<% If Request(\"who\") = \"Ann\" Then %>known<% Else %>stranger<% End If %>\n"
             "</html>\n"},
            {"inc/head.inc", "<h1>Title</h1><%= 6 * 7 %>"},
            {"named.asp", "<%@ LANGUAGE=\"VBScript\" %><%= TypeName(1.5) %>"},
            {"each.asp",
             "<% For Each k In Request.QueryString %><%= k %>=<%= Request.QueryString(k) %>;"
             "<% Next %>|<% For Each k In Request.Form %><%= k %>;<% Next %>"
             "<%= Request.Form.Count & Request.Form(2) & Request.Form.Key(1) %>"},
            {"js.asp", "<%@ LANGUAGE=\"JavaScript\" %><%= [1, 2].join(\"+\") %>"},
            {"jscript.asp", "<%@ language=jscript %><%= [1, 2].concat([3]).length %>"},
            {"block.asp",
             "<script language=\"VBScript\" runat=\"server\">\n"
             "Function Twice(x)\n  Twice = x * 2\nEnd Function\n</script>\n"
             "<%= Twice(21) %>"},
            {"late.asp", kLateBindingPage},
            {"session_set.asp", "<% Session(\"k\") = Request(\"v\") & \"!\" %>set"},
            {"session_get.asp", "<%= Session(\"k\") %>|<%= TypeName(Session(\"none\")) %>"},
            {"end.asp",
             "<% On Error Resume Next\nResponse.Write \"a\"\nResponse.End\n"
             "Response.Write \"b\" %>after"},
            {"syntax.asp", "before\n<%\nx = 1 2\n%>after"},
            {"runtime.asp", "before\n<%\nDim a(2)\na(5) = 1\n%>after"},
            {"inc/fail.inc",
             "<%\nSet p = Server.CreateObject(\"MireldaTest.Probe\")\n"
             "p.Fail -2147217865, \"no <such> table\"\n%>"},
            {"component_error.asp", "<!-- #include file=\"inc/fail.inc\" -->"},
            {"loop.asp", "<% Do\nLoop %>"},
            {"loop_resume.asp", "<% On Error Resume Next\nDo\n  x = x + 1\nLoop %>"},
            {"recursion.asp",
             "<% Function Deep(n)\n  Deep = Deep(n + 1)\nEnd Function\nx = Deep(1) %>"},
            {"huge.asp", "<% s = \"x\"\nDo\n  s = s & s\nLoop %>"},
            {"bad_utf8.asp", "<%@ CODEPAGE=65001 %>ok \xC3\x28 <%= 1 %>"},
            {"bad_gbk.asp", "ok \x81\x7F <%= 1 %>"},
            {"gbk.asp", "<% s = \"\xD5\xC5\xC8\xFD\" %><%= Len(s) %>:<%= s %>"},
            {"utf8.asp", "<%@ CODEPAGE=65001 %><% s = \"张三\" %><%= Len(s) %>:<%= s %>"},
            {"free.asp", "free"},
        },
        {"--workers", "1", "--script-timeout", "1", "--script-memory", "64M"}, "VBScript"));
  }
};

// Pages without a language are VBScript and blocks may enclose text; For Each walks the request
// collections by name; components are reached by name with the language's values; Response.End
// stops the page even under Resume Next.
TEST_F(VBScriptPagesTest, PagesAnswerWithTheirExactText) {
  const struct {
    const char* page;
    const char* form;  // posted when not null
    std::string body;
  } cases[] = {
      {"/?who=Ann", nullptr,
       "<html>\n<h1>Title</h1>42\n<p>Hello, Ann</p>\n1,2,3,\nknown\n</html>\n"},
      {"/?who=Bo", nullptr,
       "<html>\n<h1>Title</h1>42\n<p>Hello, Bo</p>\n1,2,3,\nstranger\n</html>\n"},
      {"/named.asp", nullptr, "Double"},
      {"/js.asp", nullptr, "1+2"},
      {"/jscript.asp", nullptr, "3"},
      {"/block.asp", nullptr, "\n42"},
      {"/each.asp?b=2&a=1&b=3", "x=7&y=8", "b=2, 3;a=1;|x;y;28x"},
      {"/end.asp", nullptr, "a"},
      {"/late.asp", nullptr,
       "started=True\ninteger=Integer\nlong=Long\ndouble=Double\nstring=String\n"
       "bool=Boolean\nnull=Null\nempty=Empty\nmissing=Missing\n"
       "array=Array(0..2:Integer,String,Double)\ndate=Date\nobject=Object\n"
       "optional=a|Missing|7\noptional2=a|Missing|3\nnumbers=True:2:0,10,20\n"
       "dateback=Date:2024-02-29 13:14:15\nname=first\nchild=child\nechoobject=child\n"
       "childnothing=True\ndefault=item k1\nindexed=item k2\nunknown=438\n"
       "fail=-2147217865|no such table\ncount=450\ndb=Database\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page);
    HttpReply r = c.form ? host_->Post(c.page, c.form, "application/x-www-form-urlencoded")
                         : host_->Get(c.page);
    EXPECT_EQ(r.status, 200) << host_->process().Log();
    EXPECT_EQ(r.body, c.body);
  }
}

TEST_F(VBScriptPagesTest, SessionValuesGoThroughTheDefaultMember) {
  HttpReply set = host_->Get("/session_set.asp?v=kept");
  ASSERT_EQ(set.body, "set") << set.body << host_->process().Log();
  EXPECT_EQ(host_->Get("/session_get.asp", {{"Cookie", SessionCookie(set)}}).body, "kept!|Empty");
}

TEST_F(VBScriptPagesTest, ErrorsAnswer500WithNumberDescriptionAndPlaceAndNothingElse) {
  const struct {
    const char* page;
    const char* number;
    const char* description;
    const char* where;
  } cases[] = {
      {"/syntax.asp", "1025", "Expected end of statement", "/syntax.asp, line 3, column 7"},
      {"/runtime.asp", "9", "Subscript out of range", "/runtime.asp, line 4"},
      {"/component_error.asp", "-2147217865", "no &lt;such&gt; table", "/inc/fail.inc, line 3"},
      {"/recursion.asp", "28", "Out of stack space", "/recursion.asp, line 2"},
      {"/huge.asp", "7", "Out of memory", "/huge.asp, line 3"},
  };
  for (const auto& c : cases) {
    HttpReply r = host_->Get(c.page);
    EXPECT_EQ(r.status, 500) << c.page << "\n" << r.body;
    for (const char* part : {c.number, c.description, c.where}) {
      EXPECT_NE(r.body.find(part), std::string::npos) << c.page << ": " << part << "\n" << r.body;
    }
    EXPECT_EQ(r.body.find("before"), std::string::npos) << c.page;
    EXPECT_EQ(r.body.find("after"), std::string::npos) << c.page;
  }
  const std::string log = host_->process().Log();
  EXPECT_NE(log.find("page error in /syntax.asp line 3 column 7"), std::string::npos) << log;
  EXPECT_NE(log.find("page error in /inc/fail.inc line 3"), std::string::npos) << log;
  // The worker is free again.
  EXPECT_EQ(host_->Get("/free.asp").body, "free");
}

TEST_F(VBScriptPagesTest, RunawayLoopsStopAtTheTimeLimitWhateverTheErrorMode) {
  for (const char* page : {"/loop.asp", "/loop_resume.asp"}) {
    HttpReply r = host_->Get(page);
    EXPECT_EQ(r.status, 500) << page;
    EXPECT_NE(r.body.find("time limit"), std::string::npos) << page << "\n" << r.body;
  }
  EXPECT_EQ(host_->Get("/free.asp").body, "free");
}

TEST_F(VBScriptPagesTest, PageTextIsDecodedStrictlyInItsCodePage) {
  for (const char* page : {"/bad_utf8.asp", "/bad_gbk.asp"}) {
    HttpReply r = host_->Get(page);
    EXPECT_EQ(r.status, 500) << page << "\n" << r.body;
    EXPECT_EQ(r.body.find("ok "), std::string::npos) << page;
    EXPECT_NE(host_->process().Log().find(std::string("page error in ") + page), std::string::npos)
        << page;
  }
  // Literals count characters, not bytes, and go out in the page's code page.
  HttpReply gbk = host_->Get("/gbk.asp");
  EXPECT_EQ(gbk.body, "2:\xD5\xC5\xC8\xFD");
  EXPECT_EQ(gbk.Header("Content-Type"), "text/html; charset=GBK");
  HttpReply utf8 = host_->Get("/utf8.asp");
  EXPECT_EQ(utf8.body, "2:张三");
  EXPECT_EQ(utf8.Header("Content-Type"), "text/html; charset=utf-8");
}

}  // namespace
}  // namespace mirelda::testing
