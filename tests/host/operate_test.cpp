// mirelda-host as it runs in production: failing pages answer a plain 500 page that tells the
// visitor nothing of the failure while the error log has all of it, the site's own error pages,
// access lines in the combined format whose request id stands on the error lines too, log files
// that SIGHUP reopens under load, and the health path.
#include <gtest/gtest.h>
#include <stdio.h>

#include <chrono>
#include <regex>
#include <thread>

#include "host/objects/code_page.h"
#include "host/running_host.h"

namespace mirelda::testing {
namespace {

namespace fs = std::filesystem;

const Files kSite = {
    {"hello.asp", "<% Response.Write \"hello\" %>"},
    {"style.css", "body{}"},
    {"runtime.asp", "<% Dim secretTotal\nsecretTotal = 1 / 0 %>"},
    {"compile.asp", "<% If secretTotal Then\nResponse.Write \"secretWord\"\n%>"},
    {"include.asp", "<p>before</p>\n<!--#include file=\"inc/secret.inc\"-->"},
    {"inc/secret.inc", "<%\nDim secretTotal\nsecretTotal = CInt(\"secretWord\") %>"},
    {"script.asp", "<%@ Language=\"JavaScript\" %><% var secretTotal = secretThing.x; %>"},
    {"status.asp", "<% Response.Write \"page\" %>"},
    {"errors/404.html", "file-404"},
    {"errors/500.html", "file-500"},
    {"errors/404.asp", "<% Response.Write \"page-404\" %>"},
    {"errors/500.asp", "<% Response.Write \"page-500\" %>"},
};

// A host serving kSite as in production, failed pages saying nothing of what failed.
RunningHost Production(std::vector<std::string> args = {}) {
  return RunningHost(kSite, std::move(args), "VBScript", {.debug_errors = false});
}

size_t Count(const std::string& content, const std::string& text) {
  size_t n = 0;
  for (size_t at = content.find(text); at != std::string::npos; at = content.find(text, at + 1))
    ++n;
  return n;
}

// Log lines are written once a request has ended, which may be after its reply has been read.
std::string WaitForText(const fs::path& file, const std::string& text, size_t times = 1) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::string content = ReadFile(file);
  while (Count(content, text) < times && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    content = ReadFile(file);
  }
  return content;
}

TEST(ProductionErrors, TheVisitorLearnsNothingAndTheErrorLogEverything) {
  RunningHost host = Production();
  struct Case {
    const char* page;
    const char* logged;  // the description and where, as the error log has them
  };
  for (const Case& c : std::vector<Case>{
           {"/runtime.asp", "/runtime.asp line 2"},
           {"/compile.asp", "/compile.asp line"},
           {"/include.asp", "/inc/secret.inc line 3"},
           {"/script.asp", "/script.asp line 1"},
       }) {
    HttpReply r = host.Get(c.page);
    EXPECT_EQ(r.status, 500) << c.page;
    EXPECT_EQ(r.Header("Content-Type"), "text/html; charset=GBK") << c.page;
    EXPECT_NE(r.body.find(host::EncodeToCodePage("服务器错误", 936)), std::string::npos) << c.page;
    EXPECT_NE(r.body.find("500 Internal Server Error"), std::string::npos) << c.page;
    for (const char* secret : {"secret", ".asp", ".inc", "line", "Division", "mismatch",
                               "Microsoft", "Error number", "Syntax", "Expected"}) {
      EXPECT_EQ(r.body.find(secret), std::string::npos) << c.page << " shows " << secret;
    }
    std::string id = r.Header("X-Request-Id");
    ASSERT_TRUE(std::regex_match(id, std::regex("[0-9a-f]{16}"))) << id;
    std::string log = host.process().Log();
    size_t at = log.find("[request " + id + "]");
    ASSERT_NE(at, std::string::npos) << c.page << "\n" << log;
    std::string line = log.substr(log.rfind('\n', at) + 1, at - log.rfind('\n', at));
    EXPECT_NE(line.find("page error in " + std::string(c.logged)), std::string::npos) << line;
  }
  EXPECT_NE(host.process().Log().find("11 Division by zero"), std::string::npos);

  RunningHost debug(kSite, {}, "VBScript");
  HttpReply shown = debug.Get("/runtime.asp");
  EXPECT_EQ(shown.status, 500);
  EXPECT_NE(shown.body.find("Division by zero"), std::string::npos) << shown.body;
  EXPECT_NE(shown.body.find("/runtime.asp, line 2"), std::string::npos) << shown.body;
}

TEST(ProductionErrors, TheSitesOwnPagesFor404And500) {
  struct Case {
    const char* page_404;
    const char* page_500;
    const char* body_404;
    const char* body_500;
  };
  for (const Case& c : std::vector<Case>{
           {"/errors/404.html", "/errors/500.asp", "file-404", "page-500"},
           {"/errors/404.asp", "/errors/500.html", "page-404", "file-500"},
           // A 500 page that fails itself leaves the plain page.
           {"/errors/404.html", "/runtime.asp", "file-404", nullptr},
       }) {
    RunningHost host = Production({"--error-page", std::string("404=") + c.page_404, "--error-page",
                                   std::string("500=") + c.page_500});
    for (const char* missing : {"/nothing.html", "/no/such/page.asp", "/inc/secret.inc"}) {
      HttpReply r = host.Get(missing);
      EXPECT_EQ(r.status, 404) << missing;
      EXPECT_EQ(r.body, c.body_404) << missing;
    }
    for (const char* failing : {"/runtime.asp", "/include.asp"}) {
      HttpReply r = host.Get(failing);
      EXPECT_EQ(r.status, 500) << failing;
      if (c.body_500) {
        EXPECT_EQ(r.body, c.body_500) << failing;
      } else {
        EXPECT_NE(r.body.find("500 Internal Server Error"), std::string::npos) << r.body;
      }
    }
    EXPECT_EQ(host.Get("/hello.asp").body, "hello");
  }
  // A page that is not there is refused at the start, not at the first error.
  TempDir dir;
  WriteFile(dir / "site" / "index.html", "home");
  try {
    HostProcess refused(dir.path(), dir / "site", {"--error-page", "404=/errors/404.html"}, false);
    ADD_FAILURE() << "the host started without its error page";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("--error-page 404=/errors/404.html"), std::string::npos)
        << e.what();
  }
}

// One production host with log files and a health path.
TEST(Operate, AccessLinesCarryTheErrorLinesIdSighupReopensTheLogsAndHealthSaysWhatIsMissing) {
  TempDir logs;
  RunningHost host = Production({"--access-log", (logs / "access.log").string(), "--error-log",
                                 (logs / "error.log").string(), "--health-path", "/status.asp"});
  HttpReply failed = host.Get("/runtime.asp?x=1", {{"Referer", "http://example.test/from \"here\""},
                                                   {"User-Agent", "tester/1.0 (x)"}});
  ASSERT_EQ(failed.status, 500);
  std::string id = failed.Header("X-Request-Id");
  HttpReply css = host.Get("/style.css");
  ASSERT_EQ(css.status, 200);
  EXPECT_NE(css.Header("X-Request-Id"), id);
  std::string access = WaitForText(logs / "access.log", css.Header("X-Request-Id"));
  // host ident user [time] "request" status bytes "referer" "user agent", then id and time taken
  std::string when = R"(\[\d{2}/\w{3}/\d{4}:\d{2}:\d{2}:\d{2} [+-]\d{4}\])";
  std::regex page_line("127\\.0\\.0\\.1 - - " + when +
                       R"( "GET /runtime\.asp\?x=1 HTTP/1\.1" 500 )" +
                       std::to_string(failed.body.size()) +
                       R"re( "http://example\.test/from \\x22here\\x22" "tester/1\.0 \(x\)" )re" +
                       id + R"( \d+\.\dms)");
  std::regex file_line("127\\.0\\.0\\.1 - - " + when +
                       R"( "GET /style\.css HTTP/1\.1" 200 6 "-" "-" )" +
                       css.Header("X-Request-Id") + R"( \d+\.\dms)");
  // A request's line is written when it has ended: the two may come in either order.
  std::vector<std::string> lines;
  std::stringstream in(access);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 2u) << access;
  if (lines[0].find(id) == std::string::npos) std::swap(lines[0], lines[1]);
  EXPECT_TRUE(std::regex_match(lines[0], page_line)) << lines[0];
  EXPECT_TRUE(std::regex_match(lines[1], file_line)) << lines[1];

  std::string errors = WaitForText(logs / "error.log", id);
  EXPECT_NE(errors.find("page error in /runtime.asp line 2"), std::string::npos) << errors;
  EXPECT_NE(errors.find("Division by zero (Microsoft VBScript runtime error) [request " + id + "]"),
            std::string::npos)
      << errors;
  EXPECT_EQ(errors.find("GET "), std::string::npos) << errors;
  EXPECT_EQ(host.process().Log().find("runtime.asp"), std::string::npos) << "standard error";

  // SIGHUP reopens the renamed logs under load without a failed request.
  std::string url = "http://127.0.0.1:" + std::to_string(host.process().port()) + "/hello.asp";
  std::string wrk_output;
  std::thread load([&] {
    FILE* wrk = ::popen(("wrk -t1 -c4 -d2s " + url + " 2>&1").c_str(), "r");
    ASSERT_NE(wrk, nullptr);
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, wrk)) wrk_output += buffer;
    EXPECT_EQ(::pclose(wrk), 0) << wrk_output;
  });
  fs::path access_file = logs / "access.log";
  for (int i = 1; i <= 3; ++i) {
    // Rotation as logrotate does it: the file is renamed, then the host told.
    WaitForText(access_file, "/hello.asp");
    fs::rename(access_file, logs / ("access.log." + std::to_string(i)));
    host.process().Signal(SIGHUP);
    errors = WaitForText(logs / "error.log", "reloaded the settings", i);
    EXPECT_EQ(Count(errors, "reloaded the settings"), size_t(i)) << errors;
  }
  load.join();
  EXPECT_NE(wrk_output.find("requests in"), std::string::npos) << wrk_output;
  EXPECT_EQ(wrk_output.find("Non-2xx"), std::string::npos) << wrk_output;
  EXPECT_EQ(wrk_output.find("Socket errors"), std::string::npos) << wrk_output;
  ASSERT_EQ(host.Get("/hello.asp").body, "hello");
  for (int i = 1; i <= 3; ++i) {
    std::string rotated = ReadFile(logs / ("access.log." + std::to_string(i)));
    EXPECT_NE(rotated.find("\"GET /hello.asp HTTP/1.1\" 200 5 "), std::string::npos) << i;
    EXPECT_EQ(rotated.back(), '\n') << i;
  }
  EXPECT_NE(WaitForText(access_file, "/hello.asp").find("\"GET /hello.asp HTTP/1.1\" 200 5 "),
            std::string::npos);

  // The health path is ok while the store loads and the data folder takes files.
  auto expect = [&](int status, const std::string& says) {
    HttpReply r = host.Get("/status.asp");
    EXPECT_EQ(r.status, status) << r.body;
    EXPECT_EQ(r.Header("Content-Type"), "text/plain; charset=utf-8");
    EXPECT_NE(r.body.find(says), std::string::npos) << r.body;
    EXPECT_EQ(r.body.find('\n'), r.body.size() - 1) << "one line: " << r.body;
  };
  expect(200, "ok");
  fs::rename(host.work() / "registry", host.work() / "registry.away");
  expect(503, "the registration store " + (host.work() / "registry").string() + " does not exist");
  fs::rename(host.work() / "registry.away", host.work() / "registry");
  expect(200, "ok");
  fs::rename(host.work() / "var", host.work() / "var.away");
  expect(503, "the data folder");
  fs::rename(host.work() / "var.away", host.work() / "var");
  expect(200, "ok");
  EXPECT_EQ(host.Get("/hello.asp").body, "hello");
}

}  // namespace
}  // namespace mirelda::testing
