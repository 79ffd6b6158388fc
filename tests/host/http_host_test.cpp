// mirelda-host as a server: static files, refused paths, keep-alive, many clients at once, the
// command line, and stopping on a signal without dropping requests in flight.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "host/options/host_options.h"
#include "host/running_host.h"
#include "support/temp_dir.h"

namespace mirelda::testing {
namespace {

// Each threading of the host serves the same site the same way.
struct PoolThreading {
  static std::vector<std::string> Args() { return {}; }
};
struct ConnectionThreading {
  static std::vector<std::string> Args() { return {"--threading", "connection"}; }
};
using Threadings = ::testing::Types<PoolThreading, ConnectionThreading>;

const Files kServerSite = {
    {"index.asp", "<%= \"home\" %>"},
    {"style.css", "body{}"},
    {"docs/index.html", "<p>docs</p>"},
    {"inc/menu.inc", "<% secret include %>"},
    {"db/shop.mdb", "jet database"},
    {"db/data.bin", std::string("SQLite format 3\0rest", 20)},
    {".hidden/x.txt", "hidden"},
    {"probe.asp",
     "<% var p = Server.CreateObject(\"MireldaTest.Probe\"); p.Name = Request(\"n\");\n"
     "   Session.Contents[\"n\"] = p.Name; %><%= Session(\"n\") + \":\" + p.TypeOf([1]) %>"},
    {"echo.asp", "<% Response.BinaryWrite(Request.BinaryRead(Request.TotalBytes)); %>"},
};

template <class Threading>
class ServerTest : public SharedHostTest<ServerTest<Threading>> {
 protected:
  static void SetUpTestSuite() {
    auto& host_ = ServerTest::host_;
    host_.reset(new RunningHost(kServerSite, Threading::Args()));
    WriteFile(host_->work() / "secret.txt", "top secret");
  }
};
TYPED_TEST_SUITE(ServerTest, Threadings);

TYPED_TEST(ServerTest, StaticFilesFoldersConditionalRequestsAndRefusedPaths) {
  auto& host_ = TestFixture::host_;
  HttpReply css = host_->Get("/style.css");
  EXPECT_EQ(css.status, 200);
  EXPECT_EQ(css.body, "body{}");
  EXPECT_EQ(css.Header("Content-Type"), "text/css; charset=utf-8");
  std::string modified = css.Header("Last-Modified");
  EXPECT_NE(modified.find(" GMT"), std::string::npos);
  EXPECT_EQ(host_->Get("/style.css", {{"If-Modified-Since", modified}}).status, 304);
  HttpReply head = HttpRequest(host_->port(), "HEAD", "/style.css");
  EXPECT_EQ(head.status, 200);
  EXPECT_EQ(head.Header("Content-Length"), "6");
  EXPECT_EQ(HttpRequest(host_->port(), "PUT", "/style.css").status, 405);
  EXPECT_EQ(HttpRequest(host_->port(), "DELETE", "/index.asp").status, 405);

  HttpReply folder = host_->Get("/docs?x=1");
  EXPECT_EQ(folder.status, 301);
  EXPECT_EQ(folder.Header("Location"), "/docs/?x=1");
  EXPECT_EQ(host_->Get("/docs/").body, "<p>docs</p>");
  EXPECT_EQ(host_->Get("/").body, "home");
  EXPECT_EQ(host_->Get("/nothing.html").status, 404);

  // Sources, databases, hidden files and paths outside the site are refused.
  EXPECT_EQ(host_->Get("/index.asp").body, "home");  // run, never shown as source
  for (const char* target : {"/inc/menu.inc", "/db/shop.mdb", "/db/data.bin", "/.hidden/x.txt",
                             "/DB/shop.mdb", "/db/SHOP.MDB"}) {
    HttpReply r = host_->Get(target);
    EXPECT_EQ(r.status, 404) << target;
    EXPECT_EQ(r.body.find("secret"), std::string::npos) << target;
  }
  for (const char* target :
       {"/../secret.txt", "/%2e%2e/secret.txt", "/..%2fsecret.txt", "/%2E%2E%2Fsecret.txt",
        "/..%5csecret.txt", "/docs/../../secret.txt", "/index.asp%00.txt", "/%"}) {
    HttpReply r = host_->Get(target);
    EXPECT_EQ(r.status, 400) << target;
    EXPECT_EQ(r.body.find("top secret"), std::string::npos) << target;
  }
}

TYPED_TEST(ServerTest, KeepAliveServesManyRequestsOnOneConnection) {
  auto& host_ = TestFixture::host_;
  HttpConnection connection(host_->port());
  const std::pair<std::string, int> requests[] = {
      {"/probe.asp?n=a", 200}, {"/style.css", 200}, {"/probe.asp?n=b", 200}, {"/missing", 404}};
  for (const auto& [target, status] : requests) {
    connection.Send("GET " + target + " HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(connection.Read().status, status) << target;
  }
  // A body past the memory buffer waits in a file while it arrives; the page reads it whole and
  // the connection goes on.
  std::string body;
  for (int i = 0; i < 300 * 1024; ++i) body += static_cast<char>(i * 7 + i / 251);
  connection.Send("POST /echo.asp HTTP/1.1\r\nHost: x\r\nContent-Length: " +
                  std::to_string(body.size()) + "\r\n\r\n" + body);
  EXPECT_EQ(connection.Read().body, body);
  connection.Send("GET /style.css HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(connection.Read().body, "body{}");
  // Neither threading starts with a complaint of the server library.
  EXPECT_EQ(host_->process().Log().find("Warning"), std::string::npos) << host_->process().Log();
}

// With one worker, a page that holds it keeps the next page waiting until it gives up, while
// static files are served meanwhile. A release that came before the holder began is said to be
// early, and the round is tried again.
TYPED_TEST(ServerTest, APageWaitsForAFreeWorkerWhileStaticFilesDoNot) {
  std::vector<std::string> args = TypeParam::Args();
  args.insert(args.end(), {"--workers", "1"});
  RunningHost host(
      Files{{"hold.asp",
             R"(<% var key = String(Request("key")); Application.Contents["holding"] = key;
   var until = new Date().getTime() + 3000;
   while (String(Application("release")) != key && new Date().getTime() < until) { }
   Response.Write(String(Application("release")) == key ? "released" : "gave up"); %>)"},
            {"release.asp", R"(<% var key = String(Request("key"));
   if (String(Application("holding")) != key) Response.Write("early");
   else { Application.Contents["release"] = key; Response.Write("done"); } %>)"},
            {"style.css", "body{}"}},
      args);
  for (int round = 0; round < 3; ++round) {
    std::string key = "k" + std::to_string(round);
    std::atomic<bool> hold_answered{false};
    HttpReply held, release;
    std::thread holder([&] {
      held = host.Get("/hold.asp?key=" + key);
      hold_answered = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::thread releaser([&] { release = host.Get("/release.asp?key=" + key); });
    HttpReply css = host.Get("/style.css");
    bool css_while_held = !hold_answered;
    holder.join();
    releaser.join();
    if (release.body == "early") continue;
    EXPECT_EQ(css.body, "body{}");
    EXPECT_TRUE(css_while_held);
    EXPECT_EQ(held.body, "gave up");
    EXPECT_EQ(release.body, "done");
    return;
  }
  ADD_FAILURE() << "the holding page never began before its release";
}

// With the one worker held by a slow page, a page that has been quick many times in a row is
// still answered, by the connection thread itself; with --quick-pages off it waits for the
// worker. Runs are timed by the clock, so on a loaded machine a quick page set aside by the
// scheduler has to earn its place again: the quick side is tried a few times.
TEST(QuickPages, AQuickPageIsAnsweredWhileTheWorkerIsHeld) {
  const Files site = {
      {"hold.asp",
       R"(<% Application.Contents["holding"] = "yes"; Application.Contents["release"] = "";
   var until = new Date().getTime() + 1000;
   while (String(Application("release")) != "go" && new Date().getTime() < until) { }
   Application.Contents["holding"] = "no longer"; Response.Write("held"); %>)"},
      {"holding.asp", R"(<% if (String(Request("release")) == "go")
   Application.Contents["release"] = "go"; %><%= Application("holding") %>)"}};
  for (bool quick : {true, false}) {
    SCOPED_TRACE(quick ? "on" : "off");
    RunningHost host(site, {"--workers", "1", "--quick-pages", quick ? "on" : "off"});
    std::string seen;
    for (int attempt = 0; attempt < 10 && seen != "yes"; ++attempt) {
      for (int i = 0; i < 40; ++i) host.Get("/holding.asp");
      HttpReply held;
      std::thread holder([&] { held = host.Get("/hold.asp"); });  // slow: always on the worker
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      seen = host.Get("/holding.asp?release=go").body;
      holder.join();
      EXPECT_EQ(held.body, "held");
      if (!quick) break;
    }
    EXPECT_EQ(seen, quick ? "yes" : "no longer");
  }
}

TYPED_TEST(ServerTest, ManyClientsAtOnceEachGetTheirOwnAnswer) {
  auto& host_ = TestFixture::host_;
  std::atomic<int> wrong{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < 8; ++c) {
    clients.emplace_back([&, c] {
      for (int i = 0; i < 25; ++i) {
        std::string n = std::to_string(c) + "-" + std::to_string(i);
        HttpReply r = host_->Get("/probe.asp?n=" + n);
        if (r.status != 200 || r.body != n + ":Array(0..0:Long)") ++wrong;
      }
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(wrong.load(), 0);
  const std::string line = "\"GET /probe.asp?n=7-24 HTTP/1.1\" 200";
  EXPECT_NE(host_->process().LogHolding(line).find(line), std::string::npos);
}

// SIGTERM while clients keep their connections busy with pages and one slow page runs: the slow
// page finishes, every reply the clients get is whole, the connections are closed by the host,
// and it still exits 0 (a page started on an open connection after the last one ended used to
// abort the process). The host is its own, since the test stops it.
TYPED_TEST(ServerTest, SigtermFinishesTheRequestsInFlightAndExitsZero) {
  // Each line takes a moment, so that the host stops while some of them run.
  RunningHost host(Files{{"slow.asp", R"(<% Application.Contents["started"] = "yes";
   var until = new Date().getTime() + 1500; while (new Date().getTime() < until) { }
   Response.Write("finished"); %>)"},
                         {"started.asp", "<%= Application(\"started\") %>"},
                         {"line.asp",
                          "<% var until = new Date().getTime() + 2;"
                          " while (new Date().getTime() < until) { } %>line"}},
                   TypeParam::Args());
  std::atomic<int> answered{0}, wrong{0}, closed{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < 6; ++c) {
    clients.emplace_back([&] {
      try {
        HttpConnection connection(host.port());
        for (;;) {
          connection.Send("GET /line.asp HTTP/1.1\r\nHost: x\r\n\r\n");
          HttpReply r = connection.Read();
          if (r.status == 200 ? r.body != "line" : r.status != 503) ++wrong;
          ++answered;
          if (HttpReply::Lower(r.Header("Connection")) == "close") {
            if (connection.ClosedByServer()) ++closed;
            return;
          }
        }
      } catch (const std::runtime_error&) {
        ++closed;  // the connection went away between two requests
      } catch (const std::exception&) {
        ++wrong;
      }
    });
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (answered < 50 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  HttpReply slow;
  std::thread slow_client([&] { slow = host.Get("/slow.asp"); });
  while (host.Get("/started.asp").body != "yes" && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  host.process().Signal(SIGTERM);
  // Once the host is stopping, a newcomer gets no reply while the slow page still runs: it is
  // refused or closed unanswered.
  EXPECT_NE(host.process().LogHolding("stopping on SIGTERM").find("stopping on SIGTERM"),
            std::string::npos);
  int newcomer_status = 0;
  try {
    HttpConnection newcomer(host.port());
    newcomer.Send("GET /line.asp HTTP/1.1\r\nHost: x\r\n\r\n");
    newcomer_status = newcomer.Read().status;
  } catch (const std::runtime_error&) {
    // refused, or closed before a reply
  }
  EXPECT_EQ(newcomer_status, 0);
  slow_client.join();
  for (auto& t : clients) t.join();
  EXPECT_EQ(slow.status, 200);
  EXPECT_EQ(slow.body, "finished");
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(closed.load(), 6);
  EXPECT_EQ(host.process().Wait(), 0) << host.process().Log();
  EXPECT_NE(host.process().Log().find("stopping on SIGTERM"), std::string::npos);
}

// SIGHUP reads the config again while clients keep asking: no request fails, a config that no
// longer parses is refused with a line that says so, and the host still stops cleanly.
TEST(ServerLifetime, SighupReloadsWithoutDroppingARequest) {
  mirelda::testing::TempDir conf_dir;
  std::filesystem::path conf = conf_dir / "host.conf";
  std::ofstream(conf) << "script-timeout = 30\n[dsn]\nshop = Driver={SQL Server}\n";
  RunningHost host(Files{{"hello.asp", "<%= \"hello\" %>"}}, {"--config", conf.string()});
  std::atomic<bool> stop{false};
  std::atomic<int> answered{0}, wrong{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < 4; ++c) {
    clients.emplace_back([&] {
      while (!stop) {
        HttpReply r = host.Get("/hello.asp");
        ++answered;
        if (r.status != 200 || r.body != "hello") ++wrong;
      }
    });
  }
  auto reload_and_wait = [&](const std::string& text, const std::string& expected) {
    std::ofstream(conf) << text;
    host.process().Signal(SIGHUP);
    EXPECT_NE(host.process().LogHolding(expected).find(expected), std::string::npos) << expected;
  };
  reload_and_wait("script-timeout = 60\n[dsn]\n", "script-timeout changed");
  reload_and_wait("no value here\n", "reload failed, the settings stay as they were");
  reload_and_wait("script-timeout = 30\n", "reloaded the settings");
  stop = true;
  for (auto& t : clients) t.join();
  EXPECT_GT(answered.load(), 0);
  EXPECT_EQ(wrong.load(), 0);
}

TEST(ServerLifetime, CommandLineHelpAndMistakes) {
  std::string host = (BuildDir() / "mirelda-host").string();
  FILE* help = ::popen((host + " --help").c_str(), "r");
  std::string text;
  for (int c; (c = std::fgetc(help)) != EOF;) text += static_cast<char>(c);
  EXPECT_EQ(::pclose(help), 0);
  EXPECT_EQ(text, host::HostUsage());
  EXPECT_EQ(WEXITSTATUS(std::system((host + " --site /nonexistent-site 2>/dev/null").c_str())), 2);
  EXPECT_EQ(WEXITSTATUS(std::system((host + " --bogus 1 2>/dev/null").c_str())), 2);
}

}  // namespace
}  // namespace mirelda::testing
