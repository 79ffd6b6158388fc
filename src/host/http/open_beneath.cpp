#include "host/http/open_beneath.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

namespace mirelda::host {
namespace {

// Set once openat2 has been found missing (an old kernel, or a sandbox that refuses the call), so
// that later opens go straight to the walk.
std::atomic<bool> no_openat2{false};

platform::FileDescriptor OpenWithKernel(int dir, const std::string& relative, int flags) {
  struct open_how how {};
  how.flags = static_cast<uint64_t>(flags);
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  long fd;
  do {
    fd = ::syscall(SYS_openat2, dir, relative.c_str(), &how, sizeof how);
  } while (fd < 0 && errno == EAGAIN);
  return platform::FileDescriptor(static_cast<int>(fd));
}

platform::FileDescriptor OpenEachComponent(int dir, std::string_view relative, int flags) {
  platform::FileDescriptor folder;
  int at = dir;
  while (true) {
    size_t slash = relative.find('/');
    std::string name(relative.substr(0, slash));
    if (name.empty() || name == "." || name == "..") {
      errno = EXDEV;
      return platform::FileDescriptor();
    }
    if (slash == std::string_view::npos)
      return platform::FileDescriptor(::openat(at, name.c_str(), flags | O_NOFOLLOW));
    platform::FileDescriptor next(
        ::openat(at, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!next.valid()) return next;
    folder = std::move(next);
    at = folder.get();
    relative.remove_prefix(slash + 1);
  }
}

}  // namespace

platform::FileDescriptor OpenBeneath(int dir, std::string_view relative, int flags,
                                     BeneathWay way) {
  if (relative.empty() || relative.find('\0') != std::string_view::npos) {
    errno = ENOENT;
    return platform::FileDescriptor();
  }
  if (way == BeneathWay::kEachComponent) return OpenEachComponent(dir, relative, flags);
  if (way == BeneathWay::kBest && no_openat2.load(std::memory_order_relaxed)) {
    return OpenEachComponent(dir, relative, flags);
  }
  platform::FileDescriptor fd = OpenWithKernel(dir, std::string(relative), flags);
  if (fd.valid() || way == BeneathWay::kKernel || (errno != ENOSYS && errno != EPERM)) return fd;
  no_openat2.store(true, std::memory_order_relaxed);
  return OpenEachComponent(dir, relative, flags);
}

}  // namespace mirelda::host
