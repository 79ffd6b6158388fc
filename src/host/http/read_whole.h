// The whole content of an open file whose size the caller has just read.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

namespace mirelda::host {

// The size bytes from the start of fd; nullopt when fewer can be read (the file shrank, or a read
// failed), so that the caller never takes part of a file for all of it.
inline std::optional<std::string> ReadWhole(int fd, size_t size) {
  std::string content(size, '\0');
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd, content.data() + done, size - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    done += static_cast<size_t>(n);
  }
  return content;
}

}  // namespace mirelda::host
