// Static files from mirelda-host on loopback: what is sent when names in the site are swapped
// for links out of it, and the dates a client may revalidate with.
#include <gtest/gtest.h>

#include <ctime>

#include "host/http/http_date.h"
#include "host/running_host.h"

namespace mirelda::testing {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

TEST(StaticFiles, ANameSwappedForALinkOutsideTheSiteIsRefused) {
  RunningHost host(Files{{"docs/page.txt", "public"}, {"top.txt", "top"}});
  fs::path outside = host.work() / "outside";
  WriteFile(outside / "page.txt", "secret");
  WriteFile(outside / "top.txt", "secret");
  ASSERT_EQ(host.Get("/docs/page.txt").body, "public");
  ASSERT_EQ(host.Get("/top.txt").body, "top");

  // The folder on the way, then the file itself.
  fs::rename(host.site() / "docs", host.work() / "docs-before");
  fs::create_symlink(outside, host.site() / "docs");
  fs::remove(host.site() / "top.txt");
  fs::create_symlink(outside / "top.txt", host.site() / "top.txt");
  for (const char* target : {"/docs/page.txt", "/top.txt"}) {
    HttpReply r = host.Get(target);
    EXPECT_EQ(r.status, 404) << target;
    EXPECT_EQ(r.body.find("secret"), std::string::npos) << target;
  }

  // Put back, it is served again.
  fs::remove(host.site() / "docs");
  fs::rename(host.work() / "docs-before", host.site() / "docs");
  EXPECT_EQ(host.Get("/docs/page.txt").body, "public");
}

TEST(StaticFiles, RevalidatesWithEachDateFormHttpAllows) {
  RunningHost host(Files{{"style.css", "a{}"}});
  HttpReply first = host.Get("/style.css");
  ASSERT_EQ(first.status, 200);
  std::optional<int64_t> modified = host::ParseHttpDate(first.Header("Last-Modified"));
  ASSERT_TRUE(modified);
  auto form = [](int64_t seconds, const char* format) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    char text[64];
    std::strftime(text, sizeof text, format, &tm);
    return std::string(text);
  };
  struct Case {
    const char* format;
    int64_t offset;  // from Last-Modified
    int status;
  };
  const Case cases[] = {
      {"%a, %d %b %Y %H:%M:%S GMT", 0, 304},     {"%A, %d-%b-%y %H:%M:%S GMT", 0, 304},
      {"%a %b %e %H:%M:%S %Y", 0, 304},          {"%a, %d %b %Y %H:%M:%S GMT", -1, 200},
      {"%A, %d-%b-%y %H:%M:%S GMT", -1, 200},    {"%a %b %e %H:%M:%S %Y", -1, 200},
      {"%Y-%m-%dT%H:%M:%SZ", 0, 200},
  };
  for (const Case& c : cases) {
    std::string date = form(*modified + c.offset, c.format);
    EXPECT_EQ(host.Get("/style.css", {{"If-Modified-Since", date}}).status, c.status) << date;
  }
}

}  // namespace
}  // namespace mirelda::testing
