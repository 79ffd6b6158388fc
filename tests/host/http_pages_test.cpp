// Script pages served by mirelda-host: literal text and includes, late binding to components in
// both directions, errors, Response.End, redirects, recompilation, isolation and time limits.
#include <gtest/gtest.h>

#include "host/running_host.h"

namespace mirelda::testing {
namespace {

// Each line of the reply is "name=value": out() writes one.
const char kLateBindingPage[] = R"(<%
var p = Server.CreateObject("MireldaTest.Probe");
function out(k, v) { Response.Write(k + "=" + v + "\n"); }
out("started", p.Started);
out("long", p.TypeOf(42)); out("double", p.TypeOf(1.5)); out("big", p.TypeOf(3000000000));
out("string", p.TypeOf("s")); out("bool", p.TypeOf(true)); out("null", p.TypeOf(null));
out("missing", p.TypeOf()); out("array", p.TypeOf([1, "a", 2.5]));
out("bytes", p.TypeOf(new Uint8Array([1, 2, 3]))); out("date", p.TypeOf(new Date(2024, 0, 2)));
out("object", p.TypeOf(p));
out("optional", p.Optional("a")); out("optional2", p.Optional("a", undefined, 3));
out("optional3", p.Optional("a", "b"));
var n = p.Numbers(3);
out("numbers", Array.isArray(n) + ":" + n.length + ":" + n.join(","));
var b = p.Bytes(3);
out("bytesback", (b instanceof Uint8Array) + ":" + b.length + ":" + b[0] + "," + b[2]);
out("echobytes", p.TypeOf(p.Echo(b)));
var d = p.MakeDate(2024, 2, 29);
out("dateback", (d instanceof Date) + ":" + d.getFullYear() + "-" + (d.getMonth() + 1) + "-" +
    d.getDate() + " " + d.getHours() + ":" + d.getMinutes());
p.Name = "first"; out("name", p.Name);
var q = Server.CreateObject("mireldatest.probe");
q.Name = "child"; p.Child = q; out("child", p.Child.Name); out("echoobject", p.Echo(q).Name);
p.Child = null; out("childnull", p.Child === null);
out("default", p("k1")); out("indexed", p.Item["k2"]);
p.Contents["key"] = "value"; out("contents", p.Name);
try { p.Nope(); } catch (e) { out("unknown", e.number); }
try { p.Fail(-2147217865, "no such table"); } catch (e) {
  out("fail", e.number + "|" + e.description + "|" + (e instanceof Error));
}
try { p.TypeOf(1, 2); } catch (e) { out("count", e.number); }
var live = p.Live;
for (var i = 0; i < 100; i++) { var c = p.Fresh(); c.Echo(i); }
out("letgo", p.Live - live);
var echo = p.Fresh().Echo; c = null; out("detached", echo(7) + ":" + (p.Live - live));
out("db", Server.CreateObject("Mirelda.Database"));
%>)";

class PagesTest : public SharedHostTest<PagesTest> {
 protected:
  static void SetUpTestSuite() {
    host_.reset(new RunningHost(
        {
            {"index.asp",
             "<%@ LANGUAGE=\"JavaScript\" %>\n<html>\n<!-- #include file=\"inc/head.inc\" -->\n"
             "<p><%= \"Hello, \" + Request.QueryString(\"who\") // greeting %></p>\n"
             "<% for (var i = 1; i <= 3; i++) { %><%= i %>,<% } %>\n</html>\n"},
            {"inc/head.inc", "<h1>Title</h1><!-- #include virtual=\"/inc/nav.inc\" -->"},
            {"inc/nav.inc", "<nav><%= 6 * 7 %></nav>"},
            {"late.asp", kLateBindingPage},
            {"live.asp", "<%= Server.CreateObject(\"MireldaTest.Probe\").Live %>"},
            {"fail.asp", "before\n<!-- #include file=\"inc/fail.inc\" -->\nafter"},
            {"inc/fail.inc",
             "<%\nvar p = Server.CreateObject(\"MireldaTest.Probe\");\n"
             "p.Fail(-2147217865, \"no <such> table\");\n%>"},
            {"throw.asp", "<%\n\n  null.x = 1;\n%>"},
            {"syntax.asp", "ok\n<% var = ; %>"},
            {"unknown.asp", "<% Server.CreateObject(\"No.Such.Class\") %>"},
            {"end.asp", R"(<% try { Response.Write("a"); Response.End(); Response.Write("b"); }
   catch (e) { Response.Write("caught"); } finally { Response.Write("finally"); }
   Response.Write("after"); %>)"},
            {"end_component.asp", R"(<% var p = Server.CreateObject("MireldaTest.Probe");
   try { p.EndPage(); } catch (e) { Response.Write("caught"); } Response.Write("after"); %>)"},
            {"redirect.asp", R"(<% Response.Write("lost"); Response.Cookies("kept").Item = "yes";
   Response.Redirect("next.asp?who=\u5f20\u4e09&x=1 2"); Session.Contents["after"] = "ran";
   try { Response.End(); } catch (e) {} Response.Write("never"); %>)"},
            {"after.asp", "<%= Session(\"after\") %>"},
            {"redirect_only.asp", "<% Response.Write(\"lost\"); Response.Redirect(\"/\"); %>"},
            {"status.asp", R"(<% Response.Redirect("/a\r\nX-Injected: 1");
   Response.Status = "404 Gone Away";
   try { Response.Status = "200 OK\r\nX-Injected: 1"; } catch (e) { Response.Write(e.number); }
   try { Response.ContentType = "text/html\nX-Injected: 1"; } catch (e) {
     Response.Write(e.number); } %>)"},
            // Each page makes one kind of global: each must go on its own.
            {"leak_name.asp", "<% leaked = 42; Response.Write(typeof leaked); %>"},
            {"leak_index.asp", "<% this[7] = 42; Response.Write(typeof this[7]); %>"},
            {"leak_symbol.asp",
             "<% this[Symbol.for(\"m\")] = 42; Response.Write(typeof this[Symbol.for(\"m\")]); %>"},
            {"leak_accessor.asp", R"(<% Object.defineProperty(this, "leaked",
     {get: function () { return 42; }, configurable: true}); Response.Write(typeof leaked); %>)"},
            {"leak_get.asp", R"(<% Response.Write(
     [typeof leaked, typeof this[7], typeof this[Symbol.for("m")]].join()); %>)"},
            // Page objects kept where the next page of the heap finds them.
            {"keep.asp", R"(<% Object.prototype.keptWrite = Response.Write;
   Object.prototype.keptRequest = Request; Response.Write("kept"); %>)"},
            {"kept.asp",
             R"(<% var o = {}; o.keptWrite("through " + o.keptRequest.QueryString("who"));
   delete Object.prototype.keptWrite; delete Object.prototype.keptRequest; %>)"},
            // A component kept past its page: called, and passed to another component.
            {"keep_component.asp",
             "<% Object.prototype.keptDb = Server.CreateObject(\"Mirelda.Database\"); %>kept"},
            {"kept_component.asp", R"(<% var o = {}; var r = [];
   try { o.keptDb.setConnection(null); } catch (e) { r.push(e.number); }
   try { Server.CreateObject("Mirelda.Database").setConnection(o.keptDb); } catch (e) {
     r.push(e.number); }
   delete Object.prototype.keptDb; Response.Write(r.join()); %>)"},
            {"loop.asp", "<% while (true) { try { } catch (e) { } } %>"},
            {"recompile.asp", "version one"},
        },
        {"--workers", "1", "--script-timeout", "1"}));
  }
};

TEST_F(PagesTest, LiteralTextIncludesAndExpressions) {
  HttpReply r = host_->Get("/?who=Ann");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "\n<html>\n<h1>Title</h1><nav>42</nav>\n<p>Hello, Ann</p>\n1,2,3,\n</html>\n");
  EXPECT_EQ(r.Header("Content-Type"), "text/html; charset=GBK");
}

TEST_F(PagesTest, LateBindingCarriesEveryKindOfValueBothWays) {
  HttpReply r = host_->Get("/late.asp");
  ASSERT_EQ(r.status, 200) << r.body;
  // OnStartPage ran; null is Nothing for an object; a component the page drops is let go at
  // once, and a member read from one keeps it.
  EXPECT_EQ(r.body,
            "started=true\nlong=Long\ndouble=Double\nbig=Double\nstring=String\nbool=Boolean\n"
            "null=Null\nmissing=Missing\narray=Array(0..2:Long,String,Double)\nbytes=Bytes(3)\n"
            "date=Date\nobject=Object\noptional=a|Missing|7\noptional2=a|Missing|3\n"
            "optional3=a|String|7\nnumbers=true:3:0,10,20\nbytesback=true:3:250,252\n"
            "echobytes=Bytes(3)\ndateback=true:2024-2-29 13:14\nname=first\nchild=child\n"
            "echoobject=child\nchildnull=true\ndefault=item k1\nindexed=item k2\n"
            "contents=key=value\nunknown=438\nfail=-2147217865|no such table|true\ncount=450\n"
            "letgo=1\ndetached=7:1\ndb=[object Database]\n");
  // The components the page's variables still held when it ended were let go with it.
  EXPECT_EQ(host_->Get("/live.asp").body, "1");
}

TEST_F(PagesTest, UncaughtErrorsAnswer500NamingNumberDescriptionFileAndLine) {
  const std::vector<std::pair<const char*, std::vector<const char*>>> cases = {
      {"/fail.asp", {"-2147217865", "no &lt;such&gt; table", "/inc/fail.inc, line 3"}},
      {"/throw.asp", {"TypeError", "/throw.asp, line 3"}},
      {"/syntax.asp", {"SyntaxError", "/syntax.asp, line 2"}},
      {"/unknown.asp", {"-2147221005"}},  // invalid class string
  };
  for (const auto& [page, says] : cases) {
    HttpReply r = host_->Get(page);
    EXPECT_EQ(r.status, 500) << page;
    for (const char* text : says) EXPECT_NE(r.body.find(text), std::string::npos) << r.body;
    EXPECT_EQ(r.body.find("before"), std::string::npos) << page;
  }
  EXPECT_NE(host_->process().Log().find("page error in /inc/fail.inc line 3"), std::string::npos);
}

TEST_F(PagesTest, ResponseEndStopsThePageWhateverCatchesItAndRedirectSends302WithoutStopping) {
  HttpReply r = host_->Get("/end.asp");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "a");
  r = host_->Get("/end_component.asp");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "ended by probe;");

  r = host_->Get("/redirect.asp");
  EXPECT_EQ(r.status, 302);
  EXPECT_EQ(r.Header("Location"), "next.asp?who=%D5%C5%C8%FD&x=1%202");
  EXPECT_EQ(r.body.find("lost"), std::string::npos);
  EXPECT_EQ(r.body.find("never"), std::string::npos);
  // The script went on after the redirect until End.
  std::vector<std::string> cookies = r.Headers("Set-Cookie");
  ASSERT_EQ(cookies.size(), 2u);
  EXPECT_EQ(CookiePair(cookies[0]), "kept=yes");
  EXPECT_EQ(host_->Get("/after.asp", {{"Cookie", CookiePair(cookies[1])}}).body, "ran");
  r = host_->Get("/redirect_only.asp");
  EXPECT_EQ(r.status, 302);
  EXPECT_EQ(r.Header("Location"), "/");
  EXPECT_NE(r.body.find("Object Moved"), std::string::npos);
  EXPECT_EQ(r.body.find("lost"), std::string::npos);

  // Header text from the page cannot add headers of its own.
  r = host_->Get("/status.asp");
  EXPECT_EQ(r.status, 404);
  EXPECT_EQ(r.Header("X-Injected"), "");
  EXPECT_EQ(r.Header("Location"), "/a%0D%0AX-Injected:%201");
  EXPECT_EQ(r.body, "55");
}

TEST_F(PagesTest, PagesRecompileWhenTheirFileChanges) {
  EXPECT_EQ(host_->Get("/recompile.asp").body, "version one");
  WriteFile(host_->site() / "recompile.asp", "<%= 'version ' + (1 + 1) %>");
  EXPECT_EQ(host_->GetUntil("/recompile.asp", "version 2").body, "version 2");
}

TEST_F(PagesTest, NeitherGlobalsNorPageObjectsOfOnePageReachTheNext) {
  // One worker: all pages run in the same script heap.
  for (const char* page :
       {"/leak_name.asp", "/leak_index.asp", "/leak_symbol.asp", "/leak_accessor.asp"}) {
    EXPECT_EQ(host_->Get(page).body, "number") << page;
    EXPECT_EQ(host_->Get("/leak_get.asp").body, "undefined,undefined,undefined") << page;
  }
  // Page objects a page kept stand for the page that runs now.
  EXPECT_EQ(host_->Get("/keep.asp?who=Ann").body, "kept");
  HttpReply later = host_->Get("/kept.asp?who=Bo");
  EXPECT_EQ(later.status, 200) << later.body;
  EXPECT_EQ(later.body, "through Bo");
  // A component stays its page's: a later page that reaches it is told so, not given another.
  EXPECT_EQ(host_->Get("/keep_component.asp").body, "kept");
  EXPECT_EQ(host_->Get("/kept_component.asp").body, "91,91");
}

TEST_F(PagesTest, APageThatNeverEndsIsStoppedAtItsTimeLimit) {
  HttpReply r = host_->Get("/loop.asp");
  EXPECT_EQ(r.status, 500);
  EXPECT_NE(r.body.find("time limit"), std::string::npos) << r.body;
  // The worker is free again.
  EXPECT_EQ(host_->Get("/leak_get.asp").status, 200);
}

}  // namespace
}  // namespace mirelda::testing
