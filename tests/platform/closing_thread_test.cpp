// Descriptors handed to the closing thread, many at once and from several threads, all end up
// closed.
#include "platform/closing_thread.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace mirelda::platform {
namespace {

bool IsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF; }

TEST(ClosingThread, ClosesEveryDescriptorItIsHanded) {
  testing::TempDir dir;
  // All are opened before any is handed over, so no number is reused while the test watches.
  std::vector<int> fds;
  for (int i = 0; i < 40; ++i) {
    std::string path = (dir / ("f" + std::to_string(i))).string();
    int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "gone", 4), 4);
    ::unlink(path.c_str());
    fds.push_back(fd);
  }
  std::vector<std::thread> handers;
  for (int t = 0; t < 4; ++t) {
    handers.emplace_back([&fds, t] {
      for (size_t i = t; i < fds.size(); i += 4) CloseLater(FileDescriptor(fds[i]));
    });
  }
  for (std::thread& hander : handers) hander.join();
  // A bound on liveness only: the closes take microseconds.
  auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  size_t open = fds.size();
  while (open > 0 && std::chrono::steady_clock::now() < give_up) {
    open = 0;
    for (int fd : fds) open += IsOpen(fd) ? 1 : 0;
    if (open > 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(open, 0u);
}

}  // namespace
}  // namespace mirelda::platform
