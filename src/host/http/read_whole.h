// The whole content of an open file whose size the caller has just read.
#pragma once

#include <optional>
#include <string>

#include "platform/read_at.h"

namespace mirelda::host {

// The size bytes from the start of fd; nullopt when fewer can be read (the file shrank, or a read
// failed), so that the caller never takes part of a file for all of it.
inline std::optional<std::string> ReadWhole(int fd, size_t size) {
  std::string content(size, '\0');
  if (platform::ReadAt(fd, 0, content.data(), size) != 0) return std::nullopt;
  return content;
}

}  // namespace mirelda::host
