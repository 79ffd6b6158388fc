// The order of the durability calls and the fate of a failed fsync, seen from outside: each case
// runs durability_probe with the durability shim preloaded, which logs every fsync and rename and
// can fail one fsync.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mirelda/error.h"
#include "support/read_file.h"
#include "support/temp_dir.h"
#include "temporaries.h"

namespace mirelda {
namespace {

namespace fs = std::filesystem;
using testing::BuildDir;
using testing::ReadFile;
using testing::TempDir;
using testing::Temporaries;

void Spit(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

struct Probe {
  int result = -1;
  std::vector<std::string> calls;  // the shim's log lines, the folder name cut down to "<dir>"
};

Probe RunProbe(const TempDir& dir, const std::string& arguments, int fail_fsync) {
  fs::path log = dir / "shim.log";
  fs::remove(log);
  std::string command = "LD_PRELOAD='" +
                        (BuildDir() / "tests/libmirelda-durability-shim.so").string() +
                        "' ASAN_OPTIONS=verify_asan_link_order=0 MIRELDA_SHIM_LOG='" +
                        log.string() + "' MIRELDA_SHIM_FAIL_FSYNC=" + std::to_string(fail_fsync) +
                        " '" + (BuildDir() / "tests/durability_probe").string() + "' " + arguments;
  Probe probe;
  FILE* out = ::popen(command.c_str(), "r");
  if (!out) return probe;
  if (std::fscanf(out, "%d", &probe.result) != 1) probe.result = -1;
  ::pclose(out);
  std::istringstream lines(ReadFile(log));
  std::string line, folder = dir.path().string();
  while (std::getline(lines, line)) {
    for (size_t at; (at = line.find(folder)) != std::string::npos;)
      line.replace(at, folder.size(), "<dir>");
    // Temporary names are random; their shape is what matters.
    size_t tmp = line.find(".tmp-");
    while (tmp != std::string::npos) {
      size_t end = line.find(' ', tmp);
      line.replace(tmp, (end == std::string::npos ? line.size() : end) - tmp, ".tmp");
      tmp = line.find(".tmp-", tmp + 4);
    }
    probe.calls.push_back(line);
  }
  return probe;
}

TEST(Durability, TheFileIsFlushedBeforeTheRenameAndTheFolderAfterAndAFailedFlushIsAnError) {
  struct Case {
    const char* name;
    const char* mode;  // "replace" or "copy"
    int fail_fsync;    // 0: none
    int result;
    const char* content_after;
    std::vector<std::string> calls;
  };
  const std::vector<std::string> all = {"fsync file <dir>/.target.txt.tmp",
                                        "rename <dir>/.target.txt.tmp <dir>/target.txt",
                                        "fsync folder <dir>"};
  const std::vector<std::string> first = {all[0]};
  const Case cases[] = {
      {"replace", "replace", 0, 0, "new", all},
      {"replace, the file's flush fails", "replace", 1, EIO, "old", first},
      {"replace, the folder's flush fails", "replace", 2, EIO, "new", all},
      {"copy", "copy", 0, 0, "new", all},
      // The file system object reports every errno outside its table as Permission denied.
      {"copy, the file's flush fails", "copy", 1, errc::kPermissionDenied, "old", first},
      {"copy, the folder's flush fails", "copy", 2, errc::kPermissionDenied, "new", all},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    fs::path target = dir / "target.txt";
    Spit(target, "old");
    std::string arguments;
    if (std::string(c.mode) == "replace") {
      arguments = "replace '" + target.string() + "' new 1";
    } else {
      Spit(dir / "source.bin", "new");
      arguments = "copy '" + (dir / "source.bin").string() + "' '" + target.string() + "'";
    }
    Probe probe = RunProbe(dir, arguments, c.fail_fsync);
    EXPECT_EQ(probe.result, c.result);
    EXPECT_EQ(probe.calls, c.calls);
    EXPECT_EQ(ReadFile(target), c.content_after);
    EXPECT_EQ(Temporaries(dir.path()), 0u);
  }
}

}  // namespace
}  // namespace mirelda
