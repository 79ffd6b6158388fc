// Pages whose code is in both languages, served by mirelda-host: the primary language calls the
// other's functions and reads and writes its variables with the values of both, errors raised
// on one side are caught on the other, and Response.End and the time limit still end the page.
#include <gtest/gtest.h>

#include "host/running_host.h"

namespace mirelda::testing {
namespace {

const char kHelpers[] = R"(<script language="JScript" runat="server">
var greeting = "hello";
var counter = 10;
function add(a, b) { return a + b; }
function joinAll(items) { return items.join("+"); }
function tens(n) { var a = []; for (var i = 0; i < n; i++) a.push(i * 10); return a; }
function kind(v) { return v === null ? "null" : typeof v; }
function leapDay() { return new Date(2024, 1, 29, 13, 14, 15); }
function bump() { counter = counter + 1; return counter; }
function refuse(n) { var e = new Error("js says no"); e.number = n; throw e; }
function stop() { Response.Write("stopped"); Response.End(); }
function spin() { for (;;) {} }
function describe() { return Twice(4) + ":" + title; }
function retitle() { title = "changed"; }
</script>
)";

const char kVBScriptCallsJScript[] = R"(<%
Sub Out(k, v)
  Response.Write k & "=" & v & vbLf
End Sub
Function Twice(x)
  Twice = add(x, x)
End Function
Dim title
title = "mixed"
Out "number", add(2, 3) & ":" & TypeName(add(2, 3))
Out "double", add(1.25, 1) & ":" & TypeName(add(1.25, 1))
Out "text", add("a", "b")
Out "array", joinAll(Array(1, "x", 2.5))
t = tens(3)
Out "returned", TypeName(t) & ":" & UBound(t) & ":" & Join(t, ",")
Out "null", kind(Null)
Out "date", TypeName(leapDay()) & ":" & Year(leapDay())
Out "variable", greeting
counter = 41
Out "written", bump() & ":" & counter
Out "procedure", Twice(21)
Out "reverse", describe()
retitle
Out "retitled", title
On Error Resume Next
refuse 5000
Out "error", Err.Number & "|" & Err.Description
%>)";

const char kJScriptCallsVBScript[] = R"(<%@ LANGUAGE="JavaScript" %>
<script language="VBScript" runat="server">
Dim total
total = 5
Const Rate = 3
Function Scale(x)
  Scale = x * Rate
End Function
Sub AddTo(n)
  total = total + n
End Sub
Function Shout(s)
  Shout = UCase(s) & ":" & TypeName(s)
End Function
Sub Refuse()
  Err.Raise 5001, "helpers", "vb says no"
End Sub
Function Back(n)
  Back = Twice(n) & "/" & label
  label = "set by vb"
End Function
</script>
<%
function out(k, v) { Response.Write(k + "=" + v + "\n"); }
function Twice(n) { return n * 2; }
var label = "js label";
out("back", Back(4));
out("label", label);
out("read", total);
total = total * 2;
AddTo(1);
out("written", total);
out("function", Scale(7));
out("text", Shout("abc"));
out("constant", Rate);
try { Refuse(); out("error", "none"); } catch (e) { out("error", e.number + "|" + e.description); }
%>)";

class MixedPagesTest : public SharedHostTest<MixedPagesTest> {
 protected:
  static void SetUpTestSuite() {
    host_.reset(new RunningHost(
        {
            {"vb.asp", std::string(kHelpers) + kVBScriptCallsJScript},
            {"js.asp", kJScriptCallsVBScript},
            {"end.asp", std::string(kHelpers) + "<% On Error Resume Next\nstop\n%>after"},
            {"spin.asp", std::string(kHelpers) + "<% On Error Resume Next\nspin\n%>after"},
            {"js_end.asp",
             "<%@ LANGUAGE=\"JavaScript\" %><script language=\"VBScript\" runat=\"server\">\n"
             "Sub Finish()\n  Response.Write \"stopped\"\n  Response.End\nEnd Sub\n"
             "Sub Forever()\n  Do\n  Loop\nEnd Sub\n</script>"
             "<% try { Finish(); } catch (e) {} %>after"},
            {"js_spin.asp",
             "<%@ LANGUAGE=\"JavaScript\" %><script language=\"VBScript\" runat=\"server\">\n"
             "Sub Forever()\n  Do\n  Loop\nEnd Sub\n</script>"
             "<% try { Forever(); } catch (e) {} %>after"},
            {"vb_undefined.asp", std::string(kHelpers) + "<%\nx = nosuch(1)\n%>"},
            {"vb_undefined_alone.asp", "<%\nx = nosuch(1)\n%>"},
            {"js_undefined.asp",
             "<%@ LANGUAGE=\"JavaScript\" %><script language=\"VBScript\" runat=\"server\">\n"
             "Dim known\n</script><%\nvar x = nosuch(1);\n%>"},
            {"js_undefined_alone.asp", "<%@ LANGUAGE=\"JavaScript\" %><%\nvar x = nosuch(1);\n%>"},
            {"js_globals.asp",
             "<%@ LANGUAGE=\"JavaScript\" %><%= typeof greeting %>:<%= typeof add %>"},
        },
        {"--workers", "1", "--script-timeout", "1"}, "VBScript"));
  }
};

TEST_F(MixedPagesTest, VBScriptCallsJScriptFunctionsAndUsesItsVariables) {
  HttpReply r = host_->Get("/vb.asp");
  ASSERT_EQ(r.status, 200) << r.body << host_->process().Log();
  EXPECT_EQ(r.body,
            "\nnumber=5:Long\ndouble=2.25:Double\ntext=ab\narray=1+x+2.5\n"
            "returned=Variant():2:0,10,20\nnull=null\ndate=Date:2024\nvariable=hello\n"
            "written=42:42\nprocedure=42\nreverse=8:mixed\nretitled=changed\n"
            "error=5000|Error: js says no\n");
  // What the script block declared went with the page: the thread's next page does not see it.
  EXPECT_EQ(host_->Get("/js_globals.asp").body, "undefined:undefined");
}

TEST_F(MixedPagesTest, JScriptCallsVBScriptProceduresAndUsesItsVariables) {
  HttpReply r = host_->Get("/js.asp");
  ASSERT_EQ(r.status, 200) << r.body << host_->process().Log();
  EXPECT_EQ(r.body,
            "\n\nback=8/js label\nlabel=set by vb\nread=5\nwritten=11\nfunction=21\n"
            "text=ABC:String\nconstant=3\nerror=5001|vb says no\n");
}

TEST_F(MixedPagesTest, ResponseEndAndTheTimeLimitInTheOtherLanguageEndTheWholePage) {
  // Each page calls the other language under On Error Resume Next or try/catch, which must
  // not stop either signal.
  const struct {
    const char* page;
    int status;
    const char* body;  // what the reply holds
  } cases[] = {
      {"/end.asp", 200, "stopped"},
      {"/js_end.asp", 200, "stopped"},
      {"/spin.asp", 500, "time limit"},
      {"/js_spin.asp", 500, "time limit"},
  };
  for (const auto& c : cases) {
    HttpReply r = host_->Get(c.page);
    EXPECT_EQ(r.status, c.status) << c.page << "\n" << r.body;
    EXPECT_NE(r.body.find(c.body), std::string::npos) << c.page << "\n" << r.body;
    EXPECT_EQ(r.body.find("after"), std::string::npos) << c.page << "\n" << r.body;
  }
}

TEST_F(MixedPagesTest, ANameNeitherLanguageDefinesFailsAsInAPageOfOneLanguage) {
  const struct {
    const char* mixed;
    const char* alone;
  } pages[] = {{"/vb_undefined.asp", "/vb_undefined_alone.asp"},
               {"/js_undefined.asp", "/js_undefined_alone.asp"}};
  for (const auto& p : pages) {
    HttpReply mixed = host_->Get(p.mixed);
    HttpReply alone = host_->Get(p.alone);
    EXPECT_EQ(mixed.status, 500) << p.mixed;
    ASSERT_EQ(alone.status, 500) << p.alone;
    // The error number and description lines are the same; only the file differs.
    std::string number = alone.body.substr(alone.body.find("<p>Error number"));
    number = number.substr(0, number.find("<p>File"));
    EXPECT_NE(mixed.body.find(number), std::string::npos) << mixed.body << "\n" << number;
  }
}

}  // namespace
}  // namespace mirelda::testing
