#include "mirelda/path_map.h"

#include <gtest/gtest.h>

#include "support/error_matchers.h"
#include "support/temp_dir.h"

namespace mirelda::paths {
namespace {

class PathMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearDrives();
    MapDrive('c', dir_ / "c");
    MapDrive('D', dir_ / "d");
  }
  void TearDown() override { ClearDrives(); }
  mirelda::testing::TempDir dir_;
};

TEST_F(PathMapTest, DriveLettersResolveToTheirFolders) {
  EXPECT_EQ(Resolve("C:\\data\\shop.mdb"), dir_ / "c" / "data" / "shop.mdb");
  EXPECT_EQ(Resolve("c:/data/shop.mdb"), dir_ / "c" / "data" / "shop.mdb");
  EXPECT_EQ(Resolve("D:\\db\\x.mdb"), dir_ / "d" / "db" / "x.mdb");
  EXPECT_EQ(Resolve("C:\\"), dir_ / "c");
  EXPECT_EQ(Resolve("C:shop.mdb"), dir_ / "c" / "shop.mdb");
  EXPECT_EQ(Resolve("C:\\a\\\\b\\.\\c"), dir_ / "c" / "a" / "b" / "c");
}

TEST_F(PathMapTest, DotDotNeverClimbsAboveTheDrive) {
  EXPECT_EQ(Resolve("C:\\..\\..\\etc\\passwd"), dir_ / "c" / "etc" / "passwd");
  EXPECT_EQ(Resolve("C:\\a\\..\\b"), dir_ / "c" / "b");
}

TEST_F(PathMapTest, UnmappedDrivesAndNetworkPathsAreNotFound) {
  EXPECT_ERROR(Resolve("E:\\x"), errc::kPathNotFound);
  EXPECT_ERROR(Resolve("\\\\server\\share\\x"), errc::kPathNotFound);
  UnmapDrive('d');
  EXPECT_ERROR(Resolve("d:\\x"), errc::kPathNotFound);
}

TEST_F(PathMapTest, PosixAndRelativePaths) {
  EXPECT_EQ(Resolve("/tmp/a/../b"), std::filesystem::path("/tmp/b"));
  EXPECT_EQ(Resolve("\\tmp\\b"), std::filesystem::path("/tmp/b"));
  EXPECT_EQ(Resolve("uploads\\x.txt"), std::filesystem::current_path() / "uploads" / "x.txt");
  EXPECT_TRUE(IsAbsolute("c:\\x"));
  EXPECT_TRUE(IsAbsolute("/srv"));
  EXPECT_TRUE(IsAbsolute("\\x"));
  EXPECT_FALSE(IsAbsolute("uploads"));
  EXPECT_FALSE(IsAbsolute(""));
}

TEST_F(PathMapTest, HostPathsGoBackToDriveForm) {
  EXPECT_EQ(ToPagePath(dir_ / "c" / "data" / "shop.mdb"), "C:\\data\\shop.mdb");
  EXPECT_EQ(ToPagePath(dir_ / "c"), "C:\\");
  MapDrive('S', dir_ / "c" / "site");  // the longer mapping wins
  EXPECT_EQ(ToPagePath(dir_ / "c" / "site" / "a.asp"), "S:\\a.asp");
  EXPECT_EQ(ToPagePath("/nowhere/else"), "/nowhere/else");
  EXPECT_EQ(Resolve(ToPagePath(dir_ / "d" / "x" / "y.txt")), dir_ / "d" / "x" / "y.txt");
  // Names that only begin like a mapped folder lie outside it; a folder keeps its separator.
  struct Case {
    std::filesystem::path host;
    std::string page;
  } cases[] = {
      {dir_ / "c" / "site2" / "a.asp", "C:\\site2\\a.asp"},
      {dir_ / "c" / "site" / "sub" / "", "S:\\sub\\"},
      {dir_ / "c" / "site" / "", "S:\\"},
      {dir_ / "c" / "site" / "x" / ".." / "b.asp", "S:\\b.asp"},
      {dir_.path().string() + "c", dir_.path().string() + "c"},
      {dir_.path().string() + "//c/data/./shop.mdb", "C:\\data\\shop.mdb"},
      {dir_.path().string() + "/c/data/../site/", "S:\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(ToPagePath(c.host), c.page) << c.host;
  MapDrive('R', "/");
  EXPECT_EQ(ToPagePath("/nowhere/else"), "R:\\nowhere\\else");
  EXPECT_EQ(ToPagePath("/"), "R:\\");
}

TEST_F(PathMapTest, MappingsFromText) {
  MapDrives(" E:=/srv/e ; F=/srv/f;");
  EXPECT_EQ(Resolve("E:\\x"), std::filesystem::path("/srv/e/x"));
  EXPECT_EQ(Resolve("f:\\x"), std::filesystem::path("/srv/f/x"));
  EXPECT_ERROR(MapDrives("EE:=/x"), errc::kInvalidProcedureCall);
  EXPECT_ERROR(MapDrives("G:"), errc::kInvalidProcedureCall);
  EXPECT_ERROR(MapDrives("1:=/x"), errc::kInvalidProcedureCall);
}

}  // namespace
}  // namespace mirelda::paths
