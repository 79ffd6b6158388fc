// Which URL paths name which files, and which files are never served.
#include "host/http/site.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "support/temp_dir.h"

namespace mirelda::host {
namespace {

using mirelda::testing::TempDir;
using Kind = SiteTarget::Kind;

class SiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Write("index.asp", "page");
    Write("app/default.asp", "page");
    Write("app/style.css", "a{}");
    Write("app/menu.inc", "include");
    Write("app/global.asa", "x");
    Write("data/shop.mdb", "jet");
    Write("data/shop.bin", std::string("SQLite format 3\0more", 20));
    Write("data/notes.txt", "SQLite is fine as text");
    Write(".git/config", "secret");
    Write("app/.env", "secret");
    Write("empty/readme.txt", "x");
    ASSERT_EQ(::mkfifo((root_ / "pipe.txt").c_str(), 0600), 0);  // never waited for
    std::ofstream(outside_ / "secret.txt") << "secret";
    std::filesystem::create_symlink(outside_ / "secret.txt", root_ / "link.txt");
    std::ofstream(outside_ / "secret.asp") << "secret";
    std::filesystem::create_symlink(outside_ / "secret.asp", root_ / "out.asp");
    std::filesystem::create_symlink(outside_.path(), root_ / "outside");
    std::filesystem::create_symlink(root_ / "app" / "default.asp", root_ / "absolute.asp");
    std::filesystem::create_symlink("app/default.asp", root_ / "relative.asp");
    std::filesystem::create_symlink(root_ / "app", root_ / "linked");
    std::filesystem::create_symlink("../index.asp", root_ / "app" / "up.asp");
    std::filesystem::create_symlink(
        std::filesystem::relative(outside_ / "secret.asp", root_ / "app"),
        root_ / "app" / "above.asp");
  }
  void Write(const std::string& name, const std::string& content) {
    std::filesystem::path p = root_ / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
  }
  SiteTarget Resolve(const std::string& raw) { return Site(root_).Resolve(raw); }

  TempDir dir_;
  TempDir outside_;
  std::filesystem::path root_ = dir_.path();
};

TEST_F(SiteTest, PagesStaticFilesAndFolders) {
  EXPECT_EQ(Resolve("/").kind, Kind::kPage);
  EXPECT_EQ(Resolve("/").url_path, "/index.asp");
  EXPECT_EQ(Resolve("/app").kind, Kind::kFolder);
  EXPECT_EQ(Resolve("/app").url_path, "/app/");
  EXPECT_EQ(Resolve("/app/").url_path, "/app/default.asp");
  EXPECT_EQ(Resolve("/data/notes.txt").kind, Kind::kStaticFile);
  // Spellings of one path name the same file by the same path.
  for (const char* path : {"/app/style.css", "//app/style.css", "/app/./style.css",
                           "/app//style.css", "/./app/style.css", "/app/%73tyle.css"}) {
    SiteTarget target = Resolve(path);
    EXPECT_EQ(target.kind, Kind::kStaticFile) << path;
    EXPECT_EQ(target.url_path, "/app/style.css") << path;
    EXPECT_EQ(target.file, root_ / "app/style.css") << path;
  }
  EXPECT_EQ(Site(root_).ContentType("a/b.CSS"), "text/css; charset=utf-8");
  EXPECT_EQ(Site(root_).ContentType("x.unknown"), "application/octet-stream");
}

// Pages behind links serve only when they lie inside the site.
TEST_F(SiteTest, NeverServesSourcesDatabasesHiddenFilesOrAnythingOutside) {
  for (const char* path :
       {"/absolute.asp", "/relative.asp", "/linked/default.asp", "/app/up.asp"}) {
    EXPECT_EQ(Resolve(path).kind, Kind::kPage) << path;
  }
  for (const char* path : {"/app/menu.inc", "/app/global.asa", "/data/shop.mdb", "/data/shop.bin",
                           "/.git/config", "/app/.env", "/link.txt", "/app/%2eenv", "/out.asp",
                           "/outside/secret.asp", "/app/above.asp", "/pipe.txt",
                           "/App/Default.ASP",  // names keep their case
                           "/empty/",           // no folder listings
                           "/missing.html"}) {
    EXPECT_EQ(Resolve(path).kind, Kind::kNotFound) << path;
  }
  for (const char* path : {"/../outside", "/app/../../x", "/%2e%2e/x", "/app/%2E%2E/%2e%2e/x",
                           "/..%2fx", "/a%5c..%5cx", "/a%00.txt", "/a%2", "relative", ""}) {
    EXPECT_EQ(Resolve(path).kind, Kind::kBadRequest) << path;
  }
}

}  // namespace
}  // namespace mirelda::host
