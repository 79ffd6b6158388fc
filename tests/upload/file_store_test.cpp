// Upload storing files into real folders through the page's file system object: folders, the
// overwrite modes, the new file name, client names that must not be stored, failed writes and
// two uploads of one name at once.
#include "upload/file_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <barrier>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "mirelda/path_map.h"
#include "mirelda/registry.h"
#include "multipart_form.h"
#include "support/temp_dir.h"

namespace mirelda::upload {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::BytesOf;
using testing::MultipartForm;
using testing::UploadPage;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, std::string_view content) {
  std::ofstream(path, std::ios::binary)
      .write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::set<std::string> Entries(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// Drive C: is a fresh folder for each test, so the default folder "c:\" lands there.
class FileStore : public ::testing::Test {
 protected:
  FileStore() : drive(dir / "c") {
    fs::create_directories(drive);
    paths::MapDrive('C', drive);
  }
  ~FileStore() override { paths::UnmapDrive('C'); }

  FileSystem& fsys() { return *page.file_system; }

  mirelda::testing::TempDir dir;
  fs::path drive;
  UploadPage page;
};

TEST_F(FileStore, FilesGoToTheDefaultFolderUnderTheirBaseNames) {
  std::string body =
      MultipartForm().Field("a", "1").File("f", "C:\\docs\\x.bin", "\x01\x00\x02"s).Body();
  EXPECT_EQ(page.Upload(body), "OK");
  EXPECT_EQ(ReadFile(drive / "x.bin"), "\x01\x00\x02"s);
  EXPECT_EQ(Entries(drive), std::set<std::string>{"x.bin"});
  EXPECT_EQ(BytesOf(fsys().Form("f")), "\x01\x00\x02"s);
  // The page's Server created the file system object for the store.
  const auto& created = page.host.server().created;
  EXPECT_EQ(std::count(created.begin(), created.end(), "Scripting.FileSystemObject"), 1);
}

TEST_F(FileStore, TheFolderComesFromPathThenTheArgument) {
  fs::create_directories(drive / "one");
  fs::create_directories(drive / "two");
  std::string body = MultipartForm().File("f", "a.txt", "A").Body();
  EXPECT_EQ(page.Upload(body, 0, "c:\\one"), "OK");
  EXPECT_TRUE(fs::exists(drive / "one" / "a.txt"));
  fsys().Path("C:\\two\\");
  EXPECT_EQ(page.Upload(body, 0, "c:\\one", 2), "OK");
  EXPECT_TRUE(fs::exists(drive / "two" / "a.txt"));
}

TEST_F(FileStore, APosixFolderIsAbsolute) {
  std::string body = MultipartForm().File("f", "p.txt", "posix").Body();
  EXPECT_EQ(page.Upload(body, 0, drive.string()), "OK");
  EXPECT_EQ(ReadFile(drive / "p.txt"), "posix");
  fsys().Path((drive / "sub").string());
  fs::create_directories(drive / "sub");
  EXPECT_EQ(page.Upload(body), "OK");
  EXPECT_EQ(ReadFile(drive / "sub" / "p.txt"), "posix");
}

TEST_F(FileStore, ARelativeFolderIsUsedAndReportedAtTheEnd) {
  fs::path before = fs::current_path();
  fs::current_path(drive);
  fs::create_directories("uploads");
  std::string body = MultipartForm().File("f", "r.txt", "rel").Body();
  std::string result = page.Upload(body, 0, "uploads");
  fs::current_path(before);
  EXPECT_EQ(result, "对不起，路径必须为绝对路径.");
  EXPECT_EQ(ReadFile(drive / "uploads" / "r.txt"), "rel");
}

TEST_F(FileStore, AnExistingFileIsKeptAndStopsTheRun) {
  EXPECT_EQ(page.Upload(MultipartForm().Field("before", "b").Body()), "OK");
  std::string body = MultipartForm()
                         .File("one", "same.txt", "first")
                         .File("two", "D:\\other\\same.txt", "second")
                         .Field("after", "x")
                         .Body();
  EXPECT_EQ(page.Upload(body, 0, "", 1),
            "对不起，目标文件[same.txt]在上载的目录中已经存在,请改名后重新上传");
  EXPECT_EQ(ReadFile(drive / "same.txt"), "first");
  EXPECT_EQ(fsys().count(), Variant(int32_t{3}));
  EXPECT_EQ(fsys().Form("before"), Variant("b"));
  EXPECT_EQ(fsys().FileName("one"), "");
  EXPECT_EQ(Entries(drive), std::set<std::string>{"same.txt"});
}

TEST_F(FileStore, ANewFileNameNamesEveryFileAndTheMessageTheClientName) {
  fsys().NewFileName("stored.dat");
  std::string body =
      MultipartForm().File("one", "a.jpg", "first").File("two", "b.jpg", "second").Body();
  EXPECT_EQ(page.Upload(body), "对不起，目标文件[b.jpg]在上载的目录中已经存在,请改名后重新上传");
  EXPECT_EQ(ReadFile(drive / "stored.dat"), "first");
  EXPECT_EQ(Entries(drive), std::set<std::string>{"stored.dat"});
  // With overwriting, the second replaces the first.
  fsys().OverWrite(2);
  EXPECT_EQ(page.Upload(body), "OK");
  EXPECT_EQ(ReadFile(drive / "stored.dat"), "second");
}

TEST_F(FileStore, ANewFileNameMustNameAFileInTheFolder) {
  std::string body = MultipartForm().File("f", "a.txt", "x").Body();
  for (const char* bad : {"..\\up.txt", "sub/a.txt", "..", "c:a.txt", "a\tb"}) {
    fsys().NewFileName(bad);
    EXPECT_EQ(page.Upload(body).rfind("Bad file name or number", 0), 0u) << bad;
  }
  EXPECT_TRUE(Entries(drive).empty());
  EXPECT_TRUE(Entries(dir.path()) == std::set<std::string>{"c"});
}

TEST_F(FileStore, OverwritingReplacesTheWholeFile) {
  WriteFile(drive / "r.txt", "a much longer old content");
  std::string body = MultipartForm().File("f", "r.txt", "new").Body();
  EXPECT_EQ(page.Upload(body, 0, "", 1),
            "对不起，目标文件[r.txt]在上载的目录中已经存在,请改名后重新上传");
  EXPECT_EQ(ReadFile(drive / "r.txt"), "a much longer old content");
  EXPECT_EQ(page.Upload(body, 0, "", 2), "OK");
  EXPECT_EQ(ReadFile(drive / "r.txt"), "new");
  EXPECT_EQ(Entries(drive), std::set<std::string>{"r.txt"});
}

TEST_F(FileStore, EmptyContentCreatesAnAbsentFileAndLeavesAnExistingOne) {
  WriteFile(drive / "kept.txt", "keep me");
  std::string body = MultipartForm().File("a", "kept.txt", "").File("b", "new.txt", "").Body();
  EXPECT_EQ(page.Upload(body, 0, "", 2), "OK");
  EXPECT_EQ(ReadFile(drive / "kept.txt"), "keep me");
  EXPECT_TRUE(fs::exists(drive / "new.txt"));
  EXPECT_EQ(fs::file_size(drive / "new.txt"), 0u);
}

TEST_F(FileStore, AFileOverTheLimitIsStoredEmpty) {
  std::string body = MultipartForm().File("f", "big.bin", "0123456789").Body();
  EXPECT_EQ(page.Upload(body, 9), "对不起，文件名为[big.bin] 的文件大小超出了范围。");
  EXPECT_TRUE(fs::exists(drive / "big.bin"));
  EXPECT_EQ(fs::file_size(drive / "big.bin"), 0u);
  EXPECT_EQ(fsys().Size("f"), 10);
}

TEST_F(FileStore, ClientNamesThatAreNoFileNameAreKeptButNotStored) {
  std::string body = MultipartForm()
                         .File("dots", "..", "1")
                         .File("dot", "C:\\up\\.", "2")
                         .File("folder", "C:\\up\\", "3")
                         .File("control",
                               "a\x01"
                               "b.txt",
                               "4")
                         .File("c1",
                               "a\xC2\x85"
                               "b.txt",
                               "5")
                         .File("climb", "..\\..\\..\\escape.txt", "6")
                         .Body();
  page.host.session().code_page = 65001;
  EXPECT_EQ(page.Upload(body), "OK");
  EXPECT_EQ(fsys().FileName("dots"), "..");
  EXPECT_EQ(fsys().FileName("dot"), ".");
  EXPECT_EQ(fsys().FileName("folder"), "");
  EXPECT_EQ(fsys().FileName("control"),
            "a\x01"
            "b.txt");
  EXPECT_EQ(BytesOf(fsys().Form("control")), "4");
  EXPECT_EQ(fsys().Size("c1"), 1);
  // Only the climbing name had a plain file name left after its folder part was cut.
  EXPECT_EQ(Entries(drive), std::set<std::string>{"escape.txt"});
  EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"c"});
}

TEST_F(FileStore, AFolderThatCannotBeReachedStopsTheRun) {
  std::string body = MultipartForm().File("f", "a.txt", "x").Field("t", "v").Body();
  EXPECT_EQ(page.Upload(body, 0, "c:\\missing"), "Path not found");
  std::string unmapped = page.Upload(body, 0, "q:\\files");
  EXPECT_EQ(unmapped.rfind("Path not found", 0), 0u) << unmapped;
  EXPECT_EQ(fsys().Form("t"), Variant(""));
  EXPECT_TRUE(Entries(drive).empty());
}

TEST_F(FileStore, WithoutTheFileSystemObjectNothingIsStored) {
  auto creator = ClassTable::Find("Scripting.FileSystemObject");
  ASSERT_TRUE(creator.has_value());
  ClassTable::Remove("Scripting.FileSystemObject");
  std::string result = page.Upload(MultipartForm().File("f", "a.txt", "x").Body());
  ClassTable::Add("Scripting.FileSystemObject", (*creator)()->ClassId(), *creator);
  EXPECT_EQ(result.rfind(StandardDescription(errc::kInvalidClassString), 0), 0u) << result;
  EXPECT_TRUE(Entries(drive).empty());
}

// A write that fails half-way (here: the file size limit of the process) leaves the file it
// was to replace as it was, and no partial file behind.
TEST_F(FileStore, AFailedWriteLeavesTheOldFileWhole) {
  WriteFile(drive / "doc.txt", "the old document");
  std::string body = MultipartForm().File("f", "doc.txt", std::string(4096, 'n')).Body();
  struct rlimit old_limit {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old_limit;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string result = page.Upload(body, 100000, "", 2);
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  ::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(result, "Device I/O error");
  EXPECT_EQ(ReadFile(drive / "doc.txt"), "the old document");
  EXPECT_EQ(Entries(drive), std::set<std::string>{"doc.txt"});
}

// Pages upload the same name at the same moment: exactly one stores its file, whole, and every
// other one hears that the file exists.
TEST_F(FileStore, OfTwoUploadsOfOneNameOnlyOneWrites) {
  constexpr int kPages = 4;
  for (int round = 0; round < 10; ++round) {
    std::string name = "race" + std::to_string(round) + ".bin";
    std::vector<std::string> contents, results(kPages);
    for (int p = 0; p < kPages; ++p) contents.push_back(std::string(1 << 18, char('a' + p)));
    std::barrier start(kPages);
    std::vector<std::thread> pages;
    for (int p = 0; p < kPages; ++p) {
      pages.emplace_back([&, p] {
        UploadPage own;
        std::string body = MultipartForm().File("f", name, contents[p]).Body();
        start.arrive_and_wait();
        results[p] = own.Upload(body, 1 << 20, "", 1);
      });
    }
    for (auto& t : pages) t.join();
    int stored = 0;
    for (int p = 0; p < kPages; ++p) {
      if (results[p] == "OK") {
        ++stored;
        EXPECT_EQ(ReadFile(drive / name), contents[p]);
      } else {
        EXPECT_EQ(results[p],
                  "对不起，目标文件[" + name + "]在上载的目录中已经存在,请改名后重新上传");
      }
    }
    EXPECT_EQ(stored, 1) << "round " << round;
  }
  EXPECT_EQ(Entries(drive).size(), 10u);
}

TEST(StorableFileName, OnlyAPlainNameWithoutControlCharacters) {
  for (const char* good : {"a.txt", "报告.doc", "...", "a b", "?"}) {
    EXPECT_TRUE(IsStorableFileName(good)) << good;
  }
  for (const char* bad : {"", ".", "..", "a/b", "a\\b", "c:", "a\x7F", "\x1B", "a\xC2\x9F"}) {
    EXPECT_FALSE(IsStorableFileName(bad)) << bad;
  }
}

}  // namespace
}  // namespace mirelda::upload
