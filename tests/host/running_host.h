// A site folder written by a test suite and mirelda-host serving it, shared by the suite's tests.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/host_process.h"
#include "host/http_client.h"
#include "support/temp_dir.h"

namespace mirelda::testing {

using Files = std::map<std::string, std::string>;

// What a test host has beyond its site and its command line.
struct HostSetup {
  // Component libraries registered besides libmirelda.so and the probe, such as
  // libmirelda-data.so.
  std::vector<std::string> libraries = {};
  // False runs the host as in production, where failed pages do not say what failed.
  bool debug_errors = true;
};

class RunningHost {
 public:
  // files maps site-relative names to their content. Pages that name no language are in
  // default_language: the suites of JavaScript pages keep the language they were written in.
  RunningHost(const Files& files, std::vector<std::string> args = {},
              const std::string& default_language = "JavaScript", const HostSetup& setup = {}) {
    for (const auto& [name, content] : files) WriteFile(site() / name, content);
    for (const std::string& library : setup.libraries)
      RegisterLibrary(work() / "registry", library);
    args.insert(args.begin(), {"--default-language", default_language});
    process_ =
        std::make_unique<HostProcess>(dir_.path(), site(), std::move(args), setup.debug_errors);
  }

  // Stops the host: it must exit 0 on SIGTERM, and the sanitizer build must have found nothing
  // in it.
  ~RunningHost() {
    int code = process_->Stop();
    std::string log = process_->Log();
    EXPECT_EQ(code, 0) << log;
    EXPECT_EQ(log.find("Sanitizer"), std::string::npos) << log;
    EXPECT_EQ(log.find("runtime error:"), std::string::npos) << log;
  }

  std::filesystem::path site() const { return dir_.path() / "site"; }
  std::filesystem::path work() const { return dir_.path(); }
  HostProcess& process() { return *process_; }
  int port() const { return process_->port(); }

  HttpReply Get(const std::string& target,
                const std::vector<std::pair<std::string, std::string>>& headers = {}) {
    return HttpRequest(port(), "GET", target, headers);
  }
  // GET target again until seen says the reply is the one waited for (a changed page is seen
  // within about a second); the last reply when that takes more than ten seconds.
  HttpReply GetUntil(const std::string& target, const std::function<bool(const HttpReply&)>& seen) {
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    HttpReply r = Get(target);
    while (!seen(r) && std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      r = Get(target);
    }
    return r;
  }
  HttpReply GetUntil(const std::string& target, const std::string& body) {
    return GetUntil(target, [&](const HttpReply& r) { return r.body == body; });
  }
  HttpReply Post(const std::string& target, const std::string& body,
                 const std::string& type = "application/x-www-form-urlencoded",
                 std::vector<std::pair<std::string, std::string>> headers = {}) {
    headers.emplace_back("Content-Type", type);
    return HttpRequest(port(), "POST", target, headers, body);
  }

 private:
  TempDir dir_;
  std::unique_ptr<HostProcess> process_;
};

// A suite whose tests share one host: its SetUpTestSuite starts host_, which stops after the
// suite's last test.
template <class Suite>
class SharedHostTest : public ::testing::Test {
 protected:
  static void TearDownTestSuite() { host_.reset(); }
  static inline std::unique_ptr<RunningHost> host_;
};

// The "name=value" part of a Set-Cookie header value.
inline std::string CookiePair(const std::string& set_cookie) {
  return set_cookie.substr(0, set_cookie.find(';'));
}

// The session cookie among a reply's Set-Cookie headers ("MIRELDA_SESSION=..."), or "".
inline std::string SessionCookie(const HttpReply& reply) {
  for (const std::string& c : reply.Headers("Set-Cookie")) {
    if (c.rfind("MIRELDA_SESSION=", 0) == 0) return CookiePair(c);
  }
  return "";
}

// The value of a "key=value" line of a page's reply, "<absent>" when it has none.
inline std::string Field(const std::string& body, const std::string& key) {
  std::string text = "\n" + body;
  size_t at = text.find("\n" + key + "=");
  if (at == std::string::npos) return "<absent>";
  size_t start = at + key.size() + 2;
  return text.substr(start, text.find('\n', start) - start);
}

}  // namespace mirelda::testing
