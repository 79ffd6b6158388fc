// Atomic replacement on real files: a writer killed at any point leaves the old file or the new
// one, a refused replacement keeps the old file, and no temporary outlives a failure.
#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string>

#include "support/read_file.h"
#include "support/temp_dir.h"
#include "temporaries.h"

namespace mirelda::platform {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::Temporaries;

// Version n of the file: 256 KiB of one letter, big enough that a write takes many steps.
std::string Version(int n) { return std::string(256 * 1024, static_cast<char>('A' + n % 26)); }

bool IsWholeVersion(const std::string& content) {
  if (content.size() != Version(0).size()) return false;
  return content.find_first_not_of(content[0]) == std::string::npos;
}

TEST(AtomicFile, AWriterKilledAtAnyPointLeavesTheOldFileOrTheNewOne) {
  TempDir dir;
  fs::path target = dir / "shared.dat";
  ASSERT_EQ(ReplaceFile(target, Version(0), true), 0);
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> delay_us(0, 3000);
  for (int round = 0; round < 150; ++round) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int n = 1;; ++n) {
        if (ReplaceFile(target, Version(n), true) != 0) ::_exit(1);
      }
    }
    ::usleep(static_cast<useconds_t>(delay_us(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself in round " << round;
    std::string content = ReadFile(target);
    ASSERT_TRUE(IsWholeVersion(content))
        << "round " << round << ": a torn file of " << content.size() << " bytes";
    // What a killed writer leaves is a hidden temporary, never the target.
    for (const fs::directory_entry& e : fs::directory_iterator(dir.path())) {
      if (e.path() != target) fs::remove(e.path());
    }
  }
}

TEST(AtomicFile, ReplacementRulesTable) {
  struct Case {
    const char* name;
    bool existing;
    bool replace;
    int result;
    const char* content_after;
  };
  const Case cases[] = {
      {"new file, replace allowed", false, true, 0, "new"},
      {"new file, replace refused", false, false, 0, "new"},
      {"existing file, replace allowed", true, true, 0, "new"},
      {"existing file, replace refused", true, false, EEXIST, "old"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    fs::path target = dir / "file.txt";
    if (c.existing) {
      ASSERT_EQ(ReplaceFile(target, "old", true), 0) << c.name;
    }
    EXPECT_EQ(ReplaceFile(target, "new", c.replace), c.result) << c.name;
    EXPECT_EQ(ReadFile(target), c.content_after) << c.name;
    EXPECT_EQ(Temporaries(dir.path()), 0u) << c.name;
  }
}

TEST(AtomicFile, ANewFileGetsTheModeLessTheCreationMask) {
  TempDir dir;
  fs::path target = dir / "mode.txt";
  ASSERT_EQ(ReplaceFile(target, "x", true, 0640), 0);
  struct stat st;
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u & ~CreationMask());
}

TEST(AtomicFile, AMissingFolderOrAnUncommittedFileLeavesNoTemporary) {
  TempDir dir;
  EXPECT_EQ(ReplaceFile(dir / "absent" / "file.txt", "x", true), ENOENT);
  {
    AtomicFile file(dir / "dropped.txt");
    ASSERT_EQ(file.Create(0600), 0);
    ASSERT_EQ(file.Write("half"), 0);
  }
  EXPECT_FALSE(fs::exists(dir / "dropped.txt"));
  EXPECT_EQ(Temporaries(dir.path()), 0u);
}

}  // namespace
}  // namespace mirelda::platform
