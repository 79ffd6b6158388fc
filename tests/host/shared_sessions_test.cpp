// Two mirelda-host processes sharing sessions and application values through PostgreSQL, behind
// nginx round robin: a session made on one host holds on the other and on a host started later,
// Application.Lock is one lock across hosts, and a server restart gives pages 503 while it is
// down, never another visitor's session, and the sessions back once it is up.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "host/private_postgres.h"
#include "host/proxy_process.h"
#include "host/running_host.h"

namespace mirelda::testing {
namespace {

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

// The site each host serves, in VBScript, its pages naming the host they ran on.
Files Site(const std::string& host_name) {
  return {
      {"host.inc", host_name},
      {"logon.asp", R"(<% Session("admin") = "root" : Session("level") = 9
Session("since") = CDate("2026-12-08 09:00:00") : Session("roles") = Array("a", 2)
Session.Renew() %>ok)"},
      {"who.asp", R"(<!--#include file="host.inc"-->|<%= Session("admin") %>|)"
                  R"(<%= TypeName(Session("level")) %>|<%= TypeName(Session("since")) %>|)"
                  R"(<%= UBound(Session("roles")) %>)"},
      {"count.asp", R"(<% Application.Lock
Application("n") = Application("n") + 1
Application.Unlock %><%= Application("n") %>)"},
      {"set.asp", R"(<% Session("me") = CStr(Request.QueryString("me")) %>set)"},
      {"mine.asp", R"(<%= Session("me") %>)"},
      {"plain.asp", "plain"},
      {"fails.asp", "<% Application.Lock\nApplication(\"n\") = 0\nErr.Raise 5 %>"},
  };
}

class SharedSessionsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir();
    server_ = new PrivatePostgres(MIRELDA_TEST_SUPPORT_DIR "/postgres_fixture.sh",
                                  dir_->path() / "postgres");
    // A lock left behind would hold the next page until its time limit: 500, not 200.
    std::vector<std::string> args{"--session-store", server_->Url(), "--script-timeout", "10"};
    a_ = new RunningHost(Site("A"), args, "VBScript");
    b_ = new RunningHost(Site("B"), args, "VBScript");
    proxy_ = new ProxyProcess(dir_->path() / "nginx", {a_->port(), b_->port()});
  }
  static void TearDownTestSuite() {
    delete proxy_;
    delete a_;
    delete b_;
    delete server_;
    delete dir_;
  }
  static HttpReply Get(const std::string& target, const std::string& cookie = "") {
    return HttpRequest(proxy_->port(), "GET", target,
                       cookie.empty() ? HttpHeaders{} : HttpHeaders{{"Cookie", cookie}});
  }

  static inline TempDir* dir_ = nullptr;
  static inline PrivatePostgres* server_ = nullptr;
  static inline RunningHost *a_ = nullptr, *b_ = nullptr;
  static inline ProxyProcess* proxy_ = nullptr;
};

TEST_F(SharedSessionsTest, AnAdministratorsSessionHoldsOnEveryHostWithItsTypes) {
  HttpReply logon = Get("/logon.asp");
  ASSERT_EQ(logon.status, 200) << logon.body;
  std::string cookie = SessionCookie(logon);
  ASSERT_FALSE(cookie.empty());
  std::set<std::string> hosts;
  for (int i = 0; i < 6; ++i) {
    HttpReply r = Get("/who.asp", cookie);
    ASSERT_EQ(r.status, 200) << r.body;
    hosts.insert(r.body.substr(0, 1));
    EXPECT_EQ(r.body.substr(1), "|root|Integer|Date|1");
    EXPECT_TRUE(SessionCookie(r).empty()) << "no new session";
  }
  EXPECT_EQ(hosts, (std::set<std::string>{"A", "B"})) << "round robin reached both hosts";
  // A host started afterwards, as after a restart, finds the session in the store.
  RunningHost later(Site("C"), {"--session-store", server_->Url()}, "VBScript");
  HttpReply r = later.Get("/who.asp", {{"Cookie", cookie}});
  EXPECT_EQ(r.body, "C|root|Integer|Date|1");
}

TEST_F(SharedSessionsTest, ApplicationCountersOfConcurrentPagesOnBothHostsEndExact) {
  std::vector<std::thread> pages;
  std::atomic<int> ok{0};
  for (int i = 0; i < 20; ++i) {
    pages.emplace_back([&] {
      if (Get("/count.asp").status == 200) ++ok;
    });
  }
  for (std::thread& t : pages) t.join();
  EXPECT_EQ(ok.load(), 20);
  EXPECT_EQ(Get("/count.asp").body, "21");
  // A page that fails holding the lock gives it back as it ends, on whichever host it ran.
  EXPECT_EQ(Get("/fails.asp").status, 500);
  EXPECT_EQ(Get("/fails.asp").status, 500);
  HttpReply after = Get("/count.asp");
  EXPECT_EQ(after.status, 200) << after.body;
  EXPECT_EQ(after.body, "1");
}

TEST_F(SharedSessionsTest, AServerRestartGivesPagesInFlight503AndNeverAnotherVisitorsSession) {
  std::vector<std::string> cookies;
  for (int v = 0; v < 6; ++v) {
    HttpReply r = Get("/set.asp?me=v" + std::to_string(v));
    ASSERT_EQ(r.status, 200) << r.body;
    cookies.push_back(SessionCookie(r));
  }
  std::atomic<bool> stop{false};
  std::atomic<int> mixed{0}, other{0}, unavailable{0};
  std::vector<std::thread> visitors;
  for (int v = 0; v < 6; ++v) {
    visitors.emplace_back([&, v] {
      while (!stop) {
        HttpReply r = Get("/mine.asp", cookies[static_cast<size_t>(v)]);
        if (r.status == 503) {
          ++unavailable;
        } else if (r.status != 200) {
          ++other;
        } else if (r.body != "v" + std::to_string(v)) {
          ++mixed;
        }
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  server_->Stop();
  HttpReply down = Get("/mine.asp", cookies[0]);
  EXPECT_EQ(down.status, 503);
  EXPECT_NE(down.body.find("session store cannot be reached"), std::string::npos) << down.body;
  EXPECT_TRUE(SessionCookie(down).empty());
  EXPECT_EQ(Get("/plain.asp").body, "plain") << "a page without the session needs no store";
  server_->Start();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  stop = true;
  for (std::thread& t : visitors) t.join();
  EXPECT_EQ(mixed.load(), 0);
  EXPECT_EQ(other.load(), 0);
  EXPECT_GT(unavailable.load(), 0);
  for (int i = 0; i < 12; ++i) {  // each visitor on both hosts
    HttpReply r = Get("/mine.asp", cookies[static_cast<size_t>(i / 2)]);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, "v" + std::to_string(i / 2));
  }
}

}  // namespace
}  // namespace mirelda::testing
