// Sessions, cookies and application values across requests to mirelda-host.
#include <gtest/gtest.h>

#include <thread>

#include "host/http/http_date.h"
#include "host/running_host.h"
#include "mirelda/variant.h"

namespace mirelda::testing {
namespace {

class SessionsTest : public SharedHostTest<SessionsTest> {
 protected:
  static void SetUpTestSuite() {
    host_.reset(new RunningHost(
        {
            {"set.asp", "<% Session.Contents[\"user\"] = Request(\"v\"); %>set"},
            {"get.asp", "<%= \"user=\" + Session(\"user\") %>"},
            {"renew.asp", "<% Session.Renew(); %><%= Session(\"user\") %>"},
            {"abandon.asp", "<% Session.Abandon(); %><%= Session(\"user\") %>"},
            {"object.asp",
             "<% try { Session.Contents[\"o\"] = Server.CreateObject(\"MireldaTest.Probe\"); }\n"
             "   catch (e) { Response.Write(e.number); } %>"},
            {"timeout.asp", "<%= Session.Timeout %>"},
            {"cookies.asp", R"(<% var c = Response.Cookies("name");
   c.Expires = new Date(2030, 0, 15, 12, 30, 0); c.Item = "\u5f20\u4e09 \ud55c"; c.Path = "/app";
   Response.Cookies("sneaky").Path = "/x; Domain=evil.example"; c.HttpOnly = true;
   Response.Cookies("prefs").Item["lang"] = "zh"; Response.Cookies("PREFS").Item["theme"] = "dark";
   Response.Cookies("gone").Expires = "2001-02-03"; Response.Cookies("gone").Item = "";
   Response.Write(Request.Cookies("back") + "|" + Request("back")); %>)"},
            {"count.asp",
             "<% Application.Lock(); Application.Contents[\"n\"] = (Application(\"n\") || 0) + 1;\n"
             "   Application.Unlock(); %><%= Application(\"n\") %>"},
        },
        {"--session-timeout", "2s"}));
  }
};

TEST_F(SessionsTest, ValuesFollowTheVisitorInAnHttpOnlyLaxCookieTheHostIssued) {
  HttpReply first = host_->Get("/set.asp?v=alice");
  std::string cookie = SessionCookie(first);
  ASSERT_EQ(cookie.size(), std::string("MIRELDA_SESSION=").size() + 32) << cookie;
  std::string header = first.Headers("Set-Cookie").back();
  EXPECT_NE(header.find("; Path=/; HttpOnly; SameSite=Lax"), std::string::npos) << header;
  EXPECT_EQ(host_->Get("/get.asp", {{"Cookie", cookie}}).body, "user=alice");
  // A page that only reads sends no cookie and makes no session.
  HttpReply anonymous = host_->Get("/get.asp");
  EXPECT_EQ(anonymous.body, "user=undefined");
  EXPECT_EQ(SessionCookie(anonymous), "");
  // Another visitor has a session of their own.
  std::string other = SessionCookie(host_->Get("/set.asp?v=bob"));
  EXPECT_EQ(host_->Get("/get.asp", {{"Cookie", other}}).body, "user=bob");
  EXPECT_EQ(host_->Get("/get.asp", {{"Cookie", cookie}}).body, "user=alice");
  EXPECT_EQ(host_->Get("/object.asp", {{"Cookie", cookie}}).body, "5");
  // An identifier the browser made up is never adopted.
  std::string forged = "MIRELDA_SESSION=0123456789abcdef0123456789abcdef";
  HttpReply r = host_->Get("/set.asp?v=mallory", {{"Cookie", forged}});
  std::string issued = SessionCookie(r);
  EXPECT_FALSE(issued.empty());
  EXPECT_NE(issued, forged);
  EXPECT_EQ(host_->Get("/get.asp", {{"Cookie", forged}}).body, "user=undefined");
}

TEST_F(SessionsTest, RenewGivesANewIdentifierWithTheValuesAndAbandonDropsThem) {
  std::string before = SessionCookie(host_->Get("/set.asp?v=carol"));
  HttpReply renewed = host_->Get("/renew.asp", {{"Cookie", before}});
  std::string after = SessionCookie(renewed);
  EXPECT_EQ(renewed.body, "carol");
  ASSERT_FALSE(after.empty());
  EXPECT_NE(after, before);
  EXPECT_EQ(host_->Get("/get.asp", {{"Cookie", after}}).body, "user=carol");
  EXPECT_EQ(host_->Get("/get.asp", {{"Cookie", before}}).body, "user=undefined");
  // Abandon drops the session when the page ends; it is still readable on that page.
  HttpReply r = host_->Get("/abandon.asp", {{"Cookie", after}});
  EXPECT_EQ(r.body, "carol");
  EXPECT_NE(r.Header("Set-Cookie").find("Max-Age=0"), std::string::npos);
  EXPECT_EQ(host_->Get("/get.asp", {{"Cookie", after}}).body, "user=undefined");
}

TEST_F(SessionsTest, IdleSessionsExpireAfterTheirTimeout) {
  std::string kept = SessionCookie(host_->Get("/set.asp?v=erin"));
  std::string idle = SessionCookie(host_->Get("/set.asp?v=frank"));
  EXPECT_EQ(host_->Get("/timeout.asp", {{"Cookie", kept}}).body, "1");
  for (int i = 0; i < 3; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
    EXPECT_EQ(host_->Get("/get.asp", {{"Cookie", kept}}).body, "user=erin");
  }
  EXPECT_EQ(host_->Get("/get.asp", {{"Cookie", idle}}).body, "user=undefined");
}

TEST_F(SessionsTest, CookiesCarryValuesKeysRfc1123ExpiryPathAndHttpOnly) {
  HttpReply r = host_->Get("/cookies.asp", {{"Cookie", "back=%D5%C5%C8%FD+x; other=1"}});
  ASSERT_EQ(r.status, 200) << r.body;
  EXPECT_EQ(r.body, "\xD5\xC5\xC8\xFD x|\xD5\xC5\xC8\xFD x");
  std::vector<std::string> cookies = r.Headers("Set-Cookie");
  ASSERT_EQ(cookies.size(), 4u);
  int64_t expiry = Date::FromParts(2030, 1, 15, 12, 30, 0).ToUnixTime();
  // 张三 한: GBK has no 한, which becomes "?" in a cookie.
  EXPECT_EQ(cookies[0], "name=%D5%C5%C8%FD+%3F; Expires=" + host::FormatHttpDate(expiry) +
                            "; Path=/app; HttpOnly");
  // A path cannot smuggle in attributes of its own.
  EXPECT_EQ(cookies[1], "sneaky=; Path=/x%3B%20Domain=evil.example");
  EXPECT_EQ(cookies[2], "prefs=lang=zh&theme=dark; Path=/");
  EXPECT_EQ(cookies[3],
            "gone=; Expires=" + host::FormatHttpDate(Date::FromParts(2001, 2, 3).ToUnixTime()) +
                "; Path=/");
}

TEST_F(SessionsTest, ApplicationValuesAreSharedByEveryVisitor) {
  int first = std::stoi(host_->Get("/count.asp").body);
  std::vector<std::thread> visitors;
  for (int i = 0; i < 4; ++i) {
    visitors.emplace_back([] {
      for (int k = 0; k < 10; ++k) host_->Get("/count.asp");
    });
  }
  for (auto& v : visitors) v.join();
  EXPECT_EQ(std::stoi(host_->Get("/count.asp").body), first + 41);
}

}  // namespace
}  // namespace mirelda::testing
