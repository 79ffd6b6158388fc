// Static files from mirelda-host on loopback: what is sent when names in the site are swapped
// for links out of it, and the dates a client may revalidate with.
#include <gtest/gtest.h>

#include <ctime>

#include "host/http/http_date.h"
#include "host/running_host.h"

namespace mirelda::testing {
namespace {

namespace fs = std::filesystem;

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

TEST(StaticFiles, TypesComeFromTheMimeTypesFileGivenAndEachHttpDateFormRevalidates) {
  TempDir types;
  WriteFile(types / "mime.types", "text/markdown md\napplication/x-site-data sd dat\n");
  RunningHost host(Files{{"read.md", "# hi"}, {"x.dat", "1"}, {"style.css", "a{}"}, {"b.xyz", "?"}},
                   {"--mime-types", (types / "mime.types").string()});
  for (auto [target, type] :
       std::vector<std::pair<const char*, const char*>>{{"/read.md", "text/markdown"},
                                                        {"/x.dat", "application/x-site-data"},
                                                        {"/style.css", "text/css; charset=utf-8"},
                                                        {"/b.xyz", "application/octet-stream"}}) {
    EXPECT_EQ(host.Get(target).Header("Content-Type"), type) << target;
  }

  HttpReply first = host.Get("/style.css");
  ASSERT_EQ(first.status, 200);
  std::optional<int64_t> modified = host::ParseHttpDate(first.Header("Last-Modified"));
  ASSERT_TRUE(modified);
  struct Case {
    const char* format;
    int64_t offset;  // from Last-Modified
    int status;
  };
  const Case cases[] = {
      {"%a, %d %b %Y %H:%M:%S GMT", 0, 304},  {"%A, %d-%b-%y %H:%M:%S GMT", 0, 304},
      {"%a %b %e %H:%M:%S %Y", 0, 304},       {"%a, %d %b %Y %H:%M:%S GMT", -1, 200},
      {"%A, %d-%b-%y %H:%M:%S GMT", -1, 200}, {"%a %b %e %H:%M:%S %Y", -1, 200},
      {"%Y-%m-%dT%H:%M:%SZ", 0, 200},
  };
  for (const Case& c : cases) {
    std::time_t t = static_cast<std::time_t>(*modified + c.offset);
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    char date[64];
    std::strftime(date, sizeof date, c.format, &tm);
    EXPECT_EQ(host.Get("/style.css", {{"If-Modified-Since", date}}).status, c.status) << date;
  }
}

TEST(StaticFiles, AMimeTypesFileThatCannotBeReadStopsTheStart) {
  TempDir work;
  WriteFile(work / "site/a.txt", "a");
  try {
    HostProcess host(work.path(), work / "site", {"--mime-types", (work / "none.types").string()});
    ADD_FAILURE() << "the host started";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("cannot read the media types file"), std::string::npos)
        << e.what();
  }
}

}  // namespace
}  // namespace mirelda::testing
