// Reads a stretch of an open file whole, however many reads the kernel splits it into.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace mirelda::platform {

// Fills [to, to + length) from fd at offset. Returns 0, the errno of a failed read, or EIO when
// the file ends first: part of a stretch is never taken for all of it.
inline int ReadAt(int fd, uint64_t offset, char* to, size_t length) {
  while (length > 0) {
    ssize_t n = ::pread(fd, to, length, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    offset += static_cast<uint64_t>(n);
    to += n;
    length -= static_cast<size_t>(n);
  }
  return 0;
}

}  // namespace mirelda::platform
