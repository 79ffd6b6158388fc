// Request bodies past the memory threshold go to an unlinked file while they arrive: the host's
// memory stays flat, a body that stops arriving loses its file, and uploads running side by side
// store exactly the bytes that were sent.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "host/running_host.h"
#include "multipart_form.h"

namespace mirelda::testing {
namespace {

using Files = std::map<std::string, std::string>;
const std::string kBoundaryType = "multipart/form-data; boundary=----MireldaFormBoundaryq8nT3YxWk2";

// The peak resident size of a process, in bytes.
uint64_t PeakResident(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stoull(line.substr(6)) * 1024;
  }
  return 0;
}

// How many of the process's descriptors are open on files of folder that are already unlinked.
int UnlinkedFilesIn(pid_t pid, const std::filesystem::path& folder) {
  int count = 0;
  std::error_code ec;
  for (const auto& fd :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    std::string target = std::filesystem::read_symlink(fd.path(), ec).string();
    if (target.rfind(folder.string() + "/", 0) == 0 &&
        target.find("(deleted)") != std::string::npos) {
      ++count;
    }
  }
  return count;
}

// Polls until the condition holds or a generous deadline passes; says which.
template <class Condition>
bool Eventually(Condition condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

TEST(SpooledBody, ALargeBodyIsNotHeldInMemory) {
  RunningHost host(Files{{"size.asp", "<% Response.Write(Request.TotalBytes); %>"}});
  ASSERT_EQ(host.Get("/size.asp").body, "0");
  uint64_t before = PeakResident(host.process().pid());
  const size_t size = size_t{48} << 20;
  HttpReply r = host.Post("/size.asp", std::string(size, 'x'), "application/octet-stream");
  EXPECT_EQ(r.body, std::to_string(size));
  // Loose on purpose: a body held whole would add its own 48 MiB at least.
  EXPECT_LT(PeakResident(host.process().pid()) - before, size / 2);
}

TEST(SpooledBody, ABodyThatStopsArrivingLosesItsFile) {
  RunningHost host(Files{{"size.asp", "<% Response.Write(Request.TotalBytes); %>"}},
                   {"--body-timeout", "1"});
  std::filesystem::path spool = std::filesystem::canonical(host.work() / "var");
  HttpConnection connection(host.port());
  connection.Send("POST /size.asp HTTP/1.1\r\nHost: x\r\nContent-Length: 4194304\r\n\r\n" +
                  std::string(size_t{1} << 20, 'x'));
  pid_t pid = host.process().pid();
  EXPECT_TRUE(Eventually([&] { return UnlinkedFilesIn(pid, spool) == 1; }));
  EXPECT_TRUE(Eventually([&] { return UnlinkedFilesIn(pid, spool) == 0; }));
  EXPECT_TRUE(connection.ClosedByServer());
  EXPECT_EQ(host.Get("/size.asp").body, "0");
}

TEST(SpooledBody, UploadsSideBySideStoreExactlyWhatWasSent) {
  RunningHost host(
      Files{{"up.asp",
             "<% var up = Server.CreateObject(\"Mirelda.FileSystem\");\n"
             "   up.MaxSize = 100000000;\n"
             "   Response.Write(up.Upload(0, \"C:\\\\up\") + \"|\" + up.Size(\"f\")); %>"}},
      {"--body-buffer", "64k"});
  std::filesystem::create_directories(host.work() / "var" / "c" / "up");
  // Files are stored through Scripting.FileSystemObject of the data library.
  std::string registration = (BuildDir() / "mirelda-regsvr").string() + " --registry '" +
                             (host.work() / "registry").string() + "' '" +
                             (BuildDir() / "libmirelda-data.so").string() + "' >/dev/null";
  ASSERT_EQ(std::system(registration.c_str()), 0);
  const size_t size = size_t{3} << 20;
  std::vector<std::string> contents, replies(6);
  for (unsigned i = 0; i < replies.size(); ++i) contents.push_back(RandomBytes(size + i, i));
  std::vector<std::thread> posts;
  for (unsigned i = 0; i < replies.size(); ++i) {
    posts.emplace_back([&, i] {
      std::string body = upload::testing::MultipartForm()
                             .File("f", "part" + std::to_string(i) + ".bin", contents[i])
                             .Body();
      replies[i] = host.Post("/up.asp", body, kBoundaryType).body;
    });
  }
  for (auto& post : posts) post.join();
  for (unsigned i = 0; i < replies.size(); ++i) {
    EXPECT_EQ(replies[i], "OK|" + std::to_string(size + i));
    std::ifstream in(host.work() / "var" / "c" / "up" / ("part" + std::to_string(i) + ".bin"),
                     std::ios::binary);
    std::stringstream stored;
    stored << in.rdbuf();
    EXPECT_TRUE(stored.str() == contents[i]) << "part " << i;
  }
  EXPECT_EQ(UnlinkedFilesIn(host.process().pid(), std::filesystem::canonical(host.work() / "var")),
            0);
}

}  // namespace
}  // namespace mirelda::testing
