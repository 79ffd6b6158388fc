// Upload storing files into real folders through the page's file system object.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

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
using testing::Exists;
using testing::MultipartForm;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::set<std::string> Entries(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

// Drive C: is a fresh folder for each test, so the default folder "c:\" lands there.
class FileStore : public ::testing::Test {
 protected:
  FileStore() : drive(dir / "c") {
    fs::create_directories(drive / "sub");
    paths::MapDrive('C', drive);
  }
  ~FileStore() override { paths::UnmapDrive('C'); }
  FileSystem& fsys() { return *page.file_system; }

  mirelda::testing::TempDir dir;
  fs::path drive;
  testing::UploadPage page;
};

TEST_F(FileStore, FilesGoToTheFolderFromPathTheArgumentOrTheDefault) {
  std::string body = MultipartForm().Field("a", "1").File("f", "C:\\docs\\x.txt", "one").Body();
  EXPECT_EQ(page.Upload(body), "OK");
  EXPECT_EQ(ReadFile(drive / "x.txt"), "one");
  EXPECT_EQ(page.Upload(body, 0, (drive / "sub").string()), "OK");  // a POSIX folder
  EXPECT_EQ(ReadFile(drive / "sub" / "x.txt"), "one");
  fsys().Path("C:\\sub\\");
  fsys().OverWrite(2);
  EXPECT_EQ(page.Upload(MultipartForm().File("f", "x.txt", "two").Body(), 0, "c:\\"), "OK");
  EXPECT_EQ(ReadFile(drive / "sub" / "x.txt"), "two");
  EXPECT_EQ(ReadFile(drive / "x.txt"), "one");
  EXPECT_EQ(Entries(drive / "sub"), std::set<std::string>{"x.txt"});  // no temporary file left

  fs::path before = fs::current_path();
  fs::current_path(drive);
  fsys().Path("");
  std::string result = page.Upload(MultipartForm().File("f", "r.txt", "rel").Body(), 0, "sub");
  fs::current_path(before);
  EXPECT_EQ(result, "对不起，路径必须为绝对路径.");
  EXPECT_EQ(ReadFile(drive / "sub" / "r.txt"), "rel");
}

TEST_F(FileStore, AnExistingFileIsKeptUnlessOverwritingAndStopsTheRun) {
  std::string body = MultipartForm()
                         .File("one", "same.txt", "first, longer")
                         .File("two", "D:\\other\\same.txt", "second")
                         .Body();
  EXPECT_EQ(page.Upload(body, 0, "", 1), Exists("same.txt"));
  EXPECT_FALSE(fs::exists(drive / "same.txt"));  // the stopped run takes back what it stored
  EXPECT_EQ(fsys().count(), Variant(int32_t{2}));
  EXPECT_EQ(fsys().FileName("one"), "");  // the parts of the stopped run are not kept
  EXPECT_EQ(page.Upload(body, 0, "", 2), "OK");
  EXPECT_EQ(ReadFile(drive / "same.txt"), "second");

  fsys().NewFileName("stored.dat");
  std::string other = MultipartForm().File("a", "a.jpg", "A").File("b", "b.jpg", "B").Body();
  EXPECT_EQ(page.Upload(other), Exists("b.jpg"));  // the client's name, not the stored one
  EXPECT_FALSE(fs::exists(drive / "stored.dat"));
  fsys().OverWrite(2);
  EXPECT_EQ(page.Upload(other), "OK");
  EXPECT_EQ(ReadFile(drive / "stored.dat"), "B");
  fsys().OverWrite(0);
  for (const char* bad : {"..\\up.txt", "sub/a.txt", "..", "c:a.txt", "a\tb"}) {
    fsys().NewFileName(bad);
    EXPECT_EQ(page.Upload(other).rfind("Bad file name or number", 0), 0u) << bad;
  }
  EXPECT_EQ(Entries(drive), (std::set<std::string>{"same.txt", "stored.dat", "sub"}));
}

TEST_F(FileStore, EmptyContentOnlyCreatesAnAbsentFile) {
  std::ofstream(drive / "kept.txt") << "keep me";
  std::string body = MultipartForm()
                         .File("a", "kept.txt", "")
                         .File("b", "new.txt", "")
                         .File("c", "big.bin", "0123456789")
                         .Body();
  EXPECT_EQ(page.Upload(body, 9, "", 2), "对不起，文件名为[big.bin] 的文件大小超出了范围。");
  EXPECT_EQ(ReadFile(drive / "kept.txt"), "keep me");
  EXPECT_EQ(fs::file_size(drive / "new.txt"), 0u);
  EXPECT_FALSE(fs::exists(drive / "big.bin"));  // over the limit: not stored at all
}

TEST_F(FileStore, ClientNamesThatAreNoFileNameAreKeptButNeverStored) {
  std::string body = MultipartForm()
                         .File("dots", "..", "1")
                         .File("folder", "C:\\up\\", "2")
                         .File("control", "a\x01.txt", "3")
                         .File("c1", "a\xC2\x85.txt", "4")
                         .File("climb", "..\\..\\..\\escape.txt", "5")
                         .Body();
  page.host.session().code_page = 65001;
  EXPECT_EQ(page.Upload(body), "OK");
  EXPECT_EQ(fsys().FileName("dots"), "..");
  EXPECT_EQ(fsys().FileName("control"), "a\x01.txt");
  EXPECT_EQ(fsys().Size("c1"), 1);
  EXPECT_EQ(Entries(drive), (std::set<std::string>{"escape.txt", "sub"}));
  EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"c"});
}

TEST_F(FileStore, AMissingFolderOrObjectOrAFailedWriteStopsTheRun) {
  std::string body = MultipartForm().File("f", "a.txt", "x").Body();
  EXPECT_EQ(page.Upload(body, 0, "c:\\missing"), "Path not found");
  EXPECT_EQ(page.Upload(body, 0, "q:\\files").rfind("Path not found", 0), 0u);
  auto creator = ClassTable::Find("Scripting.FileSystemObject");
  ASSERT_TRUE(creator.has_value());
  ClassTable::Remove("Scripting.FileSystemObject");
  std::string result = page.Upload(body);
  ClassTable::Add("Scripting.FileSystemObject", (*creator)()->ClassId(), *creator);
  EXPECT_EQ(result.rfind("Invalid class string", 0), 0u) << result;
  EXPECT_EQ(Entries(drive), std::set<std::string>{"sub"});

  // A write that fails half-way (at the process's file size limit) leaves the file it was to
  // replace whole, and nothing else behind.
  std::ofstream(drive / "doc.txt") << "the old document";
  body = MultipartForm().File("f", "doc.txt", std::string(4096, 'n')).Body();
  rlimit old_limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old_limit;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  result = page.Upload(body, 0, "", 2);
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  ::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(result, "Device I/O error");
  EXPECT_EQ(ReadFile(drive / "doc.txt"), "the old document");
  EXPECT_EQ(Entries(drive), (std::set<std::string>{"doc.txt", "sub"}));
}

// A post of more files than are flushed at once: all are stored byte for byte, or, when one
// name is taken, none.
TEST_F(FileStore, APostOfManyFilesIsStoredWholeOrNotAtAll) {
  MultipartForm form;
  std::set<std::string> names{"sub"};
  for (int i = 0; i < 70; ++i) {
    std::string name = "f" + std::to_string(i) + ".bin";
    form.File(name, name, i % 10 == 0 ? "" : std::string(i * 100, char('a' + i % 26)));
    names.insert(name);
  }
  std::string body = form.Body();
  std::ofstream(drive / "f65.bin") << "there first";
  EXPECT_EQ(page.Upload(body), Exists("f65.bin"));
  EXPECT_EQ(Entries(drive), (std::set<std::string>{"f65.bin", "sub"}));
  EXPECT_EQ(ReadFile(drive / "f65.bin"), "there first");

  fs::remove(drive / "f65.bin");
  EXPECT_EQ(page.Upload(body), "OK");
  EXPECT_EQ(Entries(drive), names);
  for (int i = 0; i < 70; ++i) {
    EXPECT_EQ(ReadFile(drive / ("f" + std::to_string(i) + ".bin")),
              i % 10 == 0 ? "" : std::string(i * 100, char('a' + i % 26)))
        << i;
  }
}

// Pages upload one name at the same moment: exactly one stores its file, whole.
TEST_F(FileStore, OfUploadsOfOneNameAtOnceOnlyOneWrites) {
  constexpr int kPages = 4;
  for (int round = 0; round < 10; ++round) {
    std::string name = "race" + std::to_string(round) + ".bin";
    std::vector<std::string> results(kPages);
    std::barrier start(kPages);
    std::vector<std::thread> pages;
    for (int p = 0; p < kPages; ++p) {
      pages.emplace_back([&, p] {
        testing::UploadPage own;
        std::string body = MultipartForm().File("f", name, std::string(1 << 18, 'a' + p)).Body();
        start.arrive_and_wait();
        results[p] = own.Upload(body, 1 << 20);
      });
    }
    for (auto& t : pages) t.join();
    int stored = 0;
    for (int p = 0; p < kPages; ++p) {
      if (results[p] != "OK") {
        EXPECT_EQ(results[p], Exists(name));
        continue;
      }
      ++stored;
      EXPECT_EQ(ReadFile(drive / name), std::string(1 << 18, 'a' + p));
    }
    EXPECT_EQ(stored, 1) << "round " << round;
  }
}

}  // namespace
}  // namespace mirelda::upload
