// The file system object on real files, through the path map.
#include "data/file_system_object.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <fstream>

#include "mirelda/path_map.h"
#include "support/error_matchers.h"
#include "support/temp_dir.h"

namespace mirelda::data {
namespace {

using mirelda::testing::TempDir;

class FileSystemObjectTest : public ::testing::Test {
 protected:
  void SetUp() override { paths::MapDrive('F', dir_.path()); }
  void TearDown() override { paths::UnmapDrive('F'); }

  void Write(const std::string& name, const std::string& content) {
    std::ofstream(dir_ / name, std::ios::binary) << content;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool Exists(const std::string& name) { return std::filesystem::exists(dir_ / name); }

  TempDir dir_;
  FileSystemObjectImpl fso_;
};

TEST_F(FileSystemObjectTest, DeleteFileTakesWildcardsInTheLastComponentOnlyAndForcesReadOnlyFiles) {
  Write("a.mdb", "1");
  Write("b.mdb", "2");
  Write("a.txt", "3");
  std::filesystem::create_directory(dir_ / "c.mdb");
  fso_.DeleteFile("F:\\*.mdb", false);
  EXPECT_FALSE(Exists("a.mdb"));
  EXPECT_FALSE(Exists("b.mdb"));
  EXPECT_TRUE(Exists("a.txt"));
  EXPECT_TRUE(Exists("c.mdb"));  // folders are not files
  EXPECT_ERROR(fso_.DeleteFile("F:\\*.mdb", false), errc::kFileNotFound);
  Write("x1.log", "");
  Write("x22.log", "");
  fso_.DeleteFile("F:/x?.log", false);
  EXPECT_FALSE(Exists("x1.log"));
  EXPECT_TRUE(Exists("x22.log"));
  EXPECT_ERROR(fso_.DeleteFile("F:\\*\\a.txt", false), errc::kPathNotFound);
  EXPECT_ERROR(fso_.DeleteFile("F:\\nofolder\\a.txt", false), errc::kPathNotFound);
  EXPECT_ERROR(fso_.DeleteFile("F:\\gone.txt", false), errc::kFileNotFound);

  // A read-only file goes only when forced.
  Write("ro.txt", "keep");
  Write("rw.txt", "x");
  ::chmod((dir_ / "ro.txt").c_str(), 0444);
  EXPECT_ERROR(fso_.DeleteFile("F:\\r?.txt", false), errc::kPermissionDenied);
  EXPECT_TRUE(Exists("ro.txt"));
  EXPECT_TRUE(Exists("rw.txt"));  // nothing is deleted when one file is refused
  fso_.DeleteFile("F:\\ro.txt", true);
  EXPECT_FALSE(Exists("ro.txt"));
}

TEST_F(FileSystemObjectTest, CopyFileOverwritesOnlyWhenAskedAndMoveFileNever) {
  Write("src.bin", std::string("a\0b", 3));
  Write("dst.bin", "old");
  EXPECT_ERROR(fso_.CopyFile("F:\\src.bin", "F:\\dst.bin", false), errc::kFileAlreadyExists);
  EXPECT_EQ(Read("dst.bin"), "old");
  fso_.CopyFile("F:\\src.bin", "F:\\dst.bin", true);
  EXPECT_EQ(Read("dst.bin"), std::string("a\0b", 3));
  fso_.CopyFile("F:\\src.bin", "F:\\new.bin", false);
  EXPECT_EQ(Read("new.bin"), std::string("a\0b", 3));
  EXPECT_ERROR(fso_.CopyFile("F:\\none.bin", "F:\\x.bin", true), errc::kFileNotFound);
  EXPECT_ERROR(fso_.CopyFile("F:\\src.bin", "F:\\no\\x.bin", true), errc::kPathNotFound);
  std::filesystem::create_directory(dir_ / "sub");
  EXPECT_ERROR(fso_.CopyFile("F:\\src.bin", "F:\\sub", true), errc::kPermissionDenied);
  fso_.CopyFile("F:\\*.bin", "F:\\sub\\", true);
  EXPECT_TRUE(Exists("sub/src.bin"));
  EXPECT_TRUE(Exists("sub/dst.bin"));
  size_t entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir_.path())) entries += e.exists();
  EXPECT_EQ(entries, 4u);  // src, dst, new, sub: no temporary copies remain

  // Moving never replaces.
  Write("a", "A");
  Write("b", "B");
  EXPECT_ERROR(fso_.MoveFile("F:\\a", "F:\\b"), errc::kFileAlreadyExists);
  EXPECT_EQ(Read("b"), "B");
  fso_.MoveFile("F:\\a", "F:\\c");
  EXPECT_FALSE(Exists("a"));
  EXPECT_EQ(Read("c"), "A");
}

TEST_F(FileSystemObjectTest, ExistenceAndFolders) {
  Write("f.txt", "");
  EXPECT_TRUE(fso_.FileExists("F:\\f.txt"));
  EXPECT_FALSE(fso_.FileExists("F:\\"));
  EXPECT_FALSE(fso_.FileExists("Z:\\f.txt"));  // an unmapped drive holds nothing
  EXPECT_FALSE(fso_.FileExists(""));
  EXPECT_TRUE(fso_.FolderExists("F:\\"));
  fso_.CreateFolder("F:\\made");
  EXPECT_TRUE(fso_.FolderExists("f:/made"));
  EXPECT_ERROR(fso_.CreateFolder("F:\\made"), errc::kFileAlreadyExists);
  EXPECT_ERROR(fso_.CreateFolder("F:\\a\\b"), errc::kPathNotFound);
  EXPECT_ERROR(fso_.CreateFolder("Z:\\x"), errc::kPathNotFound);
}

struct NameCase {
  std::string path;
  std::string extension, base, parent, drive, file;
};

TEST(FileSystemObjectNames, PartsOfAPathComeFromItsTextAlone) {
  const NameCase table[] = {
      {"C:\\data\\shop.mdb", "mdb", "shop", "C:\\data", "C:", "shop.mdb"},
      {"C:\\data\\archive.tar.gz", "gz", "archive.tar", "C:\\data", "C:", "archive.tar.gz"},
      {"C:\\data\\", "", "data", "C:\\", "C:", "data"},
      {"C:\\", "", "", "", "C:", ""},
      {"C:", "", "", "", "C:", ""},
      {"C:x.txt", "txt", "x", "C:", "C:", "x.txt"},
      {"/srv/a/b", "", "b", "/srv/a", "", "b"},
      {"/x/y.txt", "txt", "y", "/x", "", "y.txt"},
      {"\\top.txt", "txt", "top", "\\", "", "top.txt"},
      {"plain", "", "plain", "", "", "plain"},
      {"", "", "", "", "", ""},
  };
  FileSystemObjectImpl fso;
  for (const NameCase& c : table) {
    EXPECT_EQ(fso.GetExtensionName(c.path), c.extension) << c.path;
    EXPECT_EQ(fso.GetBaseName(c.path), c.base) << c.path;
    EXPECT_EQ(fso.GetParentFolderName(c.path), c.parent) << c.path;
    EXPECT_EQ(fso.GetDriveName(c.path), c.drive) << c.path;
    EXPECT_EQ(fso.GetFileName(c.path), c.file) << c.path;
  }
  const std::pair<const char*, const char*> builds[] = {{"C:\\data", "C:\\data\\shop.mdb"},
                                                        {"C:\\data\\", "C:\\data\\shop.mdb"},
                                                        {"C:", "C:shop.mdb"},
                                                        {"", "shop.mdb"}};
  for (auto [folder, expected] : builds) {
    EXPECT_EQ(fso.BuildPath(folder, "shop.mdb"), expected) << folder;
  }
  std::string temp = fso.GetTempName();
  EXPECT_EQ(temp.size(), 12u);
  EXPECT_EQ(temp.substr(0, 3), "rad");
  EXPECT_EQ(temp.substr(8), ".tmp");
  EXPECT_ERROR(fso.GetSpecialFolder(0), errc::kInvalidProcedureCall);
  EXPECT_TRUE(fso.FolderExists(fso.GetSpecialFolder(2)->Path()));
}

TEST_F(FileSystemObjectTest, FilesAndFoldersAreObjectsOverTheDrive) {
  std::filesystem::create_directories(dir_ / "sub" / "inner");
  Write("sub/b.txt", "12345");
  Write("sub/A.log", "");
  Write("sub/inner/deep.bin", "xyz");
  EXPECT_EQ(fso_.GetAbsolutePathName("F:\\sub\\..\\sub\\b.txt"), "F:\\sub\\b.txt");
  auto file = fso_.GetFile("F:\\sub\\b.txt");
  EXPECT_EQ(file->Name(), "b.txt");
  EXPECT_EQ(file->Path(), "F:\\sub\\b.txt");
  EXPECT_EQ(file->Size().ToLong(), 5);
  EXPECT_EQ(file->Type(), "TXT File");
  EXPECT_EQ(file->ParentFolderPath(), "F:\\sub");
  EXPECT_LT(std::abs(file->DateLastModified().serial - Date::Now().serial), 1.0 / 24);
  auto folder = fso_.GetFolder("F:\\sub\\");
  EXPECT_EQ(folder->Name(), "sub");
  EXPECT_EQ(folder->Size().ToLong(), 8);
  EXPECT_EQ(folder->Files()->Count(), 2);
  std::string names;
  for (const Variant& f : folder->Files()->Enumerate())
    names += f.ToObject()->Get("Name").ToString() + ";";
  EXPECT_EQ(names, "A.log;b.txt;");
  EXPECT_EQ(folder->SubFolders()->Item("inner")->Files()->Item("deep.bin")->Size().ToLong(), 3);
  EXPECT_ERROR(folder->Files()->Item("none"), errc::kFileNotFound);
  EXPECT_ERROR(folder->Files()->Item("..\\x"), errc::kInvalidProcedureCall);
  EXPECT_TRUE(fso_.GetFolder("F:\\")->IsRootFolder());
  EXPECT_FALSE(folder->IsRootFolder());
  EXPECT_ERROR(fso_.GetFile("F:\\sub"), errc::kFileNotFound);
  EXPECT_ERROR(fso_.GetFolder("F:\\sub\\b.txt"), errc::kPathNotFound);

  file->Copy("F:\\", false);
  EXPECT_EQ(Read("b.txt"), "12345");
  EXPECT_ERROR(file->Copy("F:\\b.txt", false), errc::kFileAlreadyExists);
  file->Move("F:\\sub\\inner\\");
  EXPECT_EQ(file->Path(), "F:\\sub\\inner\\b.txt");
  file->SetName("c.txt");
  EXPECT_TRUE(Exists("sub/inner/c.txt"));
  EXPECT_EQ(file->OpenAsTextStream(kForReading, kTristateFalse)->ReadAll(), "12345");
  folder->CreateTextFile("made.txt", false, false)->Write("m");
  EXPECT_EQ(Read("sub/made.txt"), "m");

  fso_.CopyFolder("F:\\sub", "F:\\copy", false);
  EXPECT_EQ(Read("copy/inner/c.txt"), "12345");
  EXPECT_ERROR(fso_.CopyFolder("F:\\sub", "F:\\copy", false), errc::kFileAlreadyExists);
  EXPECT_ERROR(fso_.CopyFolder("F:\\sub", "F:\\sub\\inner\\", true), errc::kPermissionDenied);
  fso_.MoveFolder("F:\\copy", "F:\\moved");
  EXPECT_TRUE(Exists("moved/inner/c.txt"));
  EXPECT_FALSE(Exists("copy"));
  ::chmod((dir_ / "moved" / "inner" / "c.txt").c_str(), 0444);
  EXPECT_ERROR(fso_.DeleteFolder("F:\\mov*", false), errc::kPermissionDenied);
  EXPECT_TRUE(Exists("moved/inner/c.txt"));
  fso_.DeleteFolder("F:\\mov*", true);
  EXPECT_FALSE(Exists("moved"));
  EXPECT_ERROR(fso_.DeleteFolder("F:\\moved", true), errc::kPathNotFound);
  EXPECT_ERROR(fso_.DeleteFolder("F:\\", true), errc::kPathNotFound);  // never a drive's folder
  folder->Delete(true);
  EXPECT_FALSE(Exists("sub"));
}

TEST(Wildcards, MatchAsTheFileNamePatternsOfPages) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {{"*", "", true},
               {"*.mdb", "shop.mdb", true},
               {"*.mdb", "shop.mdb.bak", false},
               {"s*p*.m?b", "shop.mdb", true},
               {"?", "", false},
               {"a*b*c", "aXbYbZc", true},
               {"a*b*c", "aXbYbZ", false}};
  for (const Case& c : cases) {
    EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " ~ " << c.name;
  }
}

}  // namespace
}  // namespace mirelda::data
