// Opening beneath the site folder, both ways: no name, link or swap leads out of the folder.
#include "host/http/open_beneath.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "host/http/site.h"
#include "support/temp_dir.h"

namespace mirelda::host {
namespace {

namespace fs = std::filesystem;
using mirelda::testing::TempDir;

std::string ReadAll(int fd) {
  std::string text;
  char buffer[256];
  ssize_t n;
  while ((n = ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(text.size()))) > 0) {
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

class OpenBeneathTest : public ::testing::TestWithParam<BeneathWay> {
 protected:
  void SetUp() override {
    Write(root_ / "a.txt", "inside");
    Write(root_ / "sub/b.txt", "nested");
    Write(outside_ / "secret.txt", "secret");
    fs::create_symlink("sub/b.txt", root_ / "near.txt");
    fs::create_symlink(outside_ / "secret.txt", root_ / "far.txt");
    fs::create_symlink("../" + outside_.filename().string() + "/secret.txt", root_ / "up.txt");
    fs::create_symlink(outside_, root_ / "away");
    fs::create_symlink("/proc/self/cwd", root_ / "magic");
    dir_ = ::open(root_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  }
  void TearDown() override { ::close(dir_); }
  static void Write(const fs::path& p, const std::string& content) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << content;
  }
  // The content opened, or "<refused>".
  std::string Open(const std::string& relative) {
    platform::FileDescriptor fd = OpenBeneath(dir_, relative, O_RDONLY | O_CLOEXEC, GetParam());
    if (!fd.valid() && errno == ENOSYS) return "<no openat2>";
    return fd.valid() ? ReadAll(fd.get()) : "<refused>";
  }

  TempDir base_;
  fs::path root_ = base_.path() / "site";
  fs::path outside_ = base_.path() / "outside";
  int dir_ = -1;
};

TEST_P(OpenBeneathTest, OpensInsideAndRefusesEveryWayOut) {
  if (Open("a.txt") == "<no openat2>") GTEST_SKIP() << "this kernel has no openat2";
  // Only the kernel's walk follows a link that stays inside; the other follows none.
  bool follows_inner_links = GetParam() != BeneathWay::kEachComponent;
  EXPECT_EQ(Open("a.txt"), "inside");
  EXPECT_EQ(Open("sub/b.txt"), "nested");
  EXPECT_EQ(Open("near.txt"), follows_inner_links ? "nested" : "<refused>");
  for (const char* path :
       {"far.txt", "up.txt", "away/secret.txt", "magic/a.txt", "../outside/secret.txt",
        "sub/../../outside/secret.txt", "missing.txt", ""}) {
    EXPECT_EQ(Open(path), "<refused>") << path;
  }
}

TEST_P(OpenBeneathTest, AFolderSwappedForALinkOutsideIsRefused) {
  if (Open("a.txt") == "<no openat2>") GTEST_SKIP() << "this kernel has no openat2";
  Write(outside_ / "b.txt", "outside");
  ASSERT_EQ(Open("sub/b.txt"), "nested");
  fs::rename(root_ / "sub", base_.path() / "old-sub");
  fs::create_symlink(outside_, root_ / "sub");
  EXPECT_EQ(Open("sub/b.txt"), "<refused>");
}

INSTANTIATE_TEST_SUITE_P(Ways, OpenBeneathTest,
                         ::testing::Values(BeneathWay::kBest, BeneathWay::kKernel,
                                           BeneathWay::kEachComponent),
                         [](const auto& info) {
                           return info.param == BeneathWay::kBest     ? "Best"
                                  : info.param == BeneathWay::kKernel ? "Kernel"
                                                                      : "EachComponent";
                         });

// The site checks and sends the file it opened: swapping the name afterwards changes nothing
// for that request, and the next one finds the link and refuses it.
// A small file is read whole when it is checked, a larger one kept open: either way what is sent
// is what was found beneath the site, whatever the path is changed to afterwards.
TEST(SiteStaticFile, IsSentAsItWasFoundWhenChecked) {
  for (size_t size : {size_t{6}, size_t{32 * 1024}, size_t{32 * 1024 + 1}, size_t{200000}}) {
    SCOPED_TRACE(size);
    TempDir base;
    fs::path root = base.path() / "site";
    fs::create_directories(root / "docs");
    fs::create_directories(base.path() / "outside");
    std::string public_text(size, 'p');
    std::ofstream(root / "docs/page.txt") << public_text;
    std::ofstream(base.path() / "outside/page.txt") << std::string(size, 's');
    Site site(root);
    SiteTarget before = site.Resolve("/docs/page.txt");
    ASSERT_EQ(before.kind, SiteTarget::Kind::kStaticFile);
    EXPECT_EQ(before.status.st_size, static_cast<off_t>(size));
    ASSERT_NE(before.content == nullptr, before.opened == nullptr);

    fs::rename(root / "docs", base.path() / "docs-old");
    fs::create_symlink(base.path() / "outside", root / "docs");
    EXPECT_EQ(before.content ? *before.content : ReadAll(before.opened->get()), public_text);
    EXPECT_EQ(site.Resolve("/docs/page.txt").kind, SiteTarget::Kind::kNotFound);

    fs::remove(root / "docs");
    fs::create_directories(root / "docs");
    fs::create_symlink(base.path() / "outside/page.txt", root / "docs/page.txt");
    EXPECT_EQ(site.Resolve("/docs/page.txt").kind, SiteTarget::Kind::kNotFound);
  }
}

// A page or a small file asked for again is served as it was found the first time, while its
// name still leads to that same file unchanged.
TEST(SiteStaticFile, AFileKeptFromAnEarlierRequestGivesWayToAnyChange) {
  TempDir base;
  fs::path root = base.path() / "site";
  fs::create_directories(root);
  std::ofstream(base.path() / "outside.txt") << "secret";
  const std::string kOld = "old text";  // every replacement below is as long
  auto link_out = [&](const fs::path& f) {
    fs::remove(f);
    fs::create_symlink(base.path() / "outside.txt", f);
  };
  struct Row {
    const char* name;
    std::function<void(const fs::path&)> change;
    SiteTarget::Kind kind;
    std::string content;  // of a kStaticFile target
  };
  const std::vector<Row> rows = {
      {"same.txt", [](const fs::path&) {}, SiteTarget::Kind::kStaticFile, kOld},
      {"rewritten.txt", [](const fs::path& f) { std::ofstream(f) << "new text"; },
       SiteTarget::Kind::kStaticFile, "new text"},
      {"renamed.txt",
       [](const fs::path& f) {
         std::ofstream(f.string() + ".tmp") << "new text";
         fs::rename(f.string() + ".tmp", f);
       },
       SiteTarget::Kind::kStaticFile, "new text"},
      {"grown.txt", [](const fs::path& f) { std::ofstream(f) << std::string(40000, 'g'); },
       SiteTarget::Kind::kStaticFile, std::string(40000, 'g')},
      {"removed.txt", [](const fs::path& f) { fs::remove(f); }, SiteTarget::Kind::kNotFound, ""},
      {"linked-out.txt", link_out, SiteTarget::Kind::kNotFound, ""},
      {"database.txt",
       [](const fs::path& f) { std::ofstream(f) << std::string("SQLite format 3\0", 16); },
       SiteTarget::Kind::kNotFound, ""},
      {"folder.txt",
       [](const fs::path& f) {
         fs::remove(f);
         fs::create_directory(f);
       },
       SiteTarget::Kind::kFolder, ""},
      // Pages are kept as found, without their text, and checked the same way.
      {"same.asp", [](const fs::path&) {}, SiteTarget::Kind::kPage, ""},
      {"linked-out.asp", link_out, SiteTarget::Kind::kNotFound, ""},
  };
  for (const Row& row : rows) std::ofstream(root / row.name) << kOld;
  // Only a file left alone for a while is kept.
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  Site site(root);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string path = std::string("/") + row.name;
    bool page = path.ends_with(".asp");
    for (int ask = 0; ask < 2; ++ask) {
      SiteTarget kept = site.Resolve(path);
      ASSERT_EQ(kept.kind, page ? SiteTarget::Kind::kPage : SiteTarget::Kind::kStaticFile);
      EXPECT_EQ(kept.file, root / row.name);
      if (page) continue;
      ASSERT_TRUE(kept.content);
      EXPECT_EQ(*kept.content, kOld);
      EXPECT_EQ(kept.status.st_size, static_cast<off_t>(kOld.size()));
    }
    row.change(root / row.name);
    SiteTarget now = site.Resolve(path);
    EXPECT_EQ(now.kind, row.kind);
    if (row.kind == SiteTarget::Kind::kStaticFile) {
      EXPECT_EQ(now.content ? *now.content : ReadAll(now.opened->get()), row.content);
      EXPECT_EQ(now.status.st_size, static_cast<off_t>(row.content.size()));
    }
  }
  // A file changed moments ago is read again each time: two writes within one tick of the
  // file system's clock leave its times the same.
  for (int round = 0; round < 20; ++round) {
    std::string text = "fresh " + std::to_string(round % 10);
    std::ofstream(root / "fresh.txt") << text;
    SiteTarget fresh = site.Resolve("/fresh.txt");
    ASSERT_TRUE(fresh.content);
    EXPECT_EQ(*fresh.content, text);
  }
}

}  // namespace
}  // namespace mirelda::host
