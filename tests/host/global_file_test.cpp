// The site's global.asa: Application_OnStart before the first page, Session_OnStart on each new
// session's first page, Session_OnEnd once a session has ended, and the objects its object tags
// declare, reached by name from pages of either language.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "host/running_host.h"

namespace mirelda::testing {
namespace {

constexpr const char kGlobal[] =
    R"(<object runat="server" id="AppProbe" progid="MireldaTest.Probe" scope="Application"></object>
<OBJECT RUNAT=Server ID=SessProbe PROGID="MireldaTest.Probe" SCOPE=Session></OBJECT>
This text is never sent.
<script language="VBScript" runat="server">
Sub Application_OnStart
  Application("starts") = Application("starts") + 1
  AppProbe.Name = "app"
End Sub

Sub Session_OnStart
  Application("sessions") = Application("sessions") + 1
  Session("number") = Application("sessions")
  If Request.QueryString("go") = "away" Then
    Response.Redirect "/elsewhere.asp"
    Response.End
  End If
End Sub

Sub Session_OnEnd
  Application("ended") = Application("ended") & Session("number") & ";"
End Sub
</script>
)";

class GlobalFileTest : public SharedHostTest<GlobalFileTest> {
 protected:
  static void SetUpTestSuite() {
    host_.reset(new RunningHost(
        {
            {"global.asa", kGlobal},
            {"state.asp",
             "<% If Request(\"name\") <> \"\" Then SessProbe.Name = Request(\"name\") %>"
             "starts=<%= Application(\"starts\") %>\nnumber=<%= Session(\"number\") %>\n"
             "app=<%= AppProbe.Name %>\nsess=<%= SessProbe.Name %>\n"},
            {"js.asp",
             "<%@ LANGUAGE=\"JavaScript\" %>"
             "<object runat=\"server\" id=\"Local\" progid=\"MireldaTest.Probe\"></object>"
             "app=<%= AppProbe.Name %>\nlocal=<%= Local.Started %>\n"
             "number=<%= Session(\"number\") %>\n"},
            {"abandon.asp", "<% Session.Abandon %>"},
            {"ended.asp", "ended=<%= Application(\"ended\") %>\n"},
            {"off.asp",
             "<%@ ENABLESESSIONSTATE=False %><% On Error Resume Next\nx = Session(\"number\")\n"
             "Response.Write \"err=\" & Err.Number & vbLf & \"sessions=\" & "
             "Application(\"sessions\") %>"},
        },
        {"--workers", "2"}, "VBScript"));
  }
  // A page fetched with the visitor's cookie (none at first), which a new session sets.
  static HttpReply Visit(const std::string& target, std::string& cookie) {
    HttpReply r = cookie.empty() ? host_->Get(target) : host_->Get(target, {{"Cookie", cookie}});
    if (!SessionCookie(r).empty()) cookie = SessionCookie(r);
    return r;
  }
};

TEST_F(GlobalFileTest, TheApplicationStartsOnceAndEachNewSessionStartsOnItsFirstPage) {
  std::string ann, bob;
  HttpReply r = Visit("/state.asp?name=ann", ann);
  ASSERT_EQ(r.status, 200) << r.body << host_->process().Log();
  std::string first = Field(r.body, "number");
  std::string second = std::to_string(std::stoi(first) + 1);
  EXPECT_EQ(r.body, "starts=1\nnumber=" + first + "\napp=app\nsess=ann\n");
  ASSERT_FALSE(ann.empty());
  EXPECT_EQ(Visit("/state.asp", bob).body, "starts=1\nnumber=" + second + "\napp=app\nsess=\n");
  // The visitor's next pages are in the same session: no second start, its own objects.
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(Visit("/state.asp", ann).body, "starts=1\nnumber=" + first + "\napp=app\nsess=ann\n");
  }
  EXPECT_EQ(Visit("/state.asp", bob).body, "starts=1\nnumber=" + second + "\napp=app\nsess=\n");
  // JavaScript pages reach global.asa's objects too, and their own page objects are started.
  r = Visit("/js.asp", ann);
  ASSERT_EQ(r.status, 200) << r.body;
  EXPECT_EQ(r.body, "app=app\nlocal=True\nnumber=" + first + "\n");
}

TEST_F(GlobalFileTest, SessionStartMayRedirectInsteadOfThePage) {
  HttpReply r = host_->Get("/state.asp?go=away");
  EXPECT_EQ(r.status, 302);
  EXPECT_EQ(r.Header("Location"), "/elsewhere.asp");
  EXPECT_EQ(r.body.find("starts="), std::string::npos) << r.body;
  EXPECT_FALSE(SessionCookie(r).empty());
}

TEST_F(GlobalFileTest, SessionEndRunsWithTheSessionsValuesOnceItIsAbandoned) {
  std::string cookie;
  std::string number = Field(Visit("/state.asp", cookie).body, "number");
  Visit("/abandon.asp", cookie);
  std::string ended;
  for (int i = 0; i < 100 && ended.find(number + ";") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ended = Field(host_->Get("/ended.asp").body, "ended");
  }
  EXPECT_NE((";" + ended).find(";" + number + ";"), std::string::npos) << ended;
}

TEST_F(GlobalFileTest, APageWithoutSessionStateNeitherStartsNorReachesOne) {
  HttpReply before = host_->Get("/off.asp");
  HttpReply after = host_->Get("/off.asp");
  ASSERT_EQ(after.status, 200) << after.body;
  EXPECT_EQ(Field(after.body, "err"), "5");
  EXPECT_EQ(Field(after.body, "sessions"), Field(before.body, "sessions"));
  EXPECT_TRUE(SessionCookie(after).empty());
}

TEST(GlobalFile, AFailedStartShowsOnceAndIsTriedAgainWhenTheFileChanges) {
  auto global = [](const std::string& body) {
    return "<script language=\"JScript\" runat=\"server\">\nfunction Application_OnStart() {\n" +
           body + "\n}\n</script>\n";
  };
  RunningHost host({{"global.asa", global("Application.Contents['tries'] = 1;\nnull.x;")},
                    {"page.asp", "tries=<%= Application(\"tries\") %>"}});
  HttpReply r = host.Get("/page.asp");
  EXPECT_EQ(r.status, 500);
  EXPECT_NE(r.body.find("/global.asa, line 4"), std::string::npos) << r.body;
  EXPECT_EQ(host.Get("/page.asp").body, "tries=1");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  WriteFile(host.site() / "global.asa", global("Application.Contents['tries'] += 10;"));
  EXPECT_EQ(host.GetUntil("/page.asp", "tries=11").body, "tries=11");
  EXPECT_EQ(host.Get("/page.asp").body, "tries=11");
}

TEST(GlobalFile, JavaScriptEventsAreFoundHoweverThePageMakesThem) {
  // Declared (in a block of the file's other language, which runs as well), kept in a variable,
  // or made a global by assignment; a comment naming words that cannot be names leaves the file
  // valid. A JavaScript global.asa's declared events are AFailedStart's.
  RunningHost mixed(
      Files{
          {"global.asa",
           "<script language=\"VBScript\" runat=\"server\">\n"
           "Sub Application_OnStart\n  Application(\"vb\") = \"started\"\nEnd Sub\n</script>\n"
           "<script language=\"JScript\" runat=\"server\">\n"
           "function Session_OnStart() { Session.Contents[\"js\"] = \"declared\"; }\n</script>\n"},
          {"state.asp", "<%= Application(\"vb\") %>|<%= Session(\"js\") %>"}},
      {"--workers", "1"}, "VBScript");
  HttpReply r = mixed.Get("/state.asp");
  EXPECT_EQ(r.status, 200) << r.body << mixed.process().Log();
  EXPECT_EQ(r.body, "started|declared");
  RunningHost made(
      Files{{"global.asa",
             "<script language=\"JScript\" runat=\"server\">\n"
             "// a var new, a function class\n"
             "Application_OnStart = function () {\n"
             "  Application.Contents['a'] = 'assigned'; };\n"
             "var Session_OnStart = function () { Session.Contents['s'] = 'var'; };\n"
             "</script>\n"},
            {"page.asp",
             "<%@ LANGUAGE=\"JavaScript\" %><%= Application(\"a\") %>,<%= Session(\"s\") %>"}});
  EXPECT_EQ(made.Get("/page.asp").body, "assigned,var");
}

}  // namespace
}  // namespace mirelda::testing
