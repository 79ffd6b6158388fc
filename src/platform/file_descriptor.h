// A POSIX file descriptor with one owner: closed when the holder goes, handed on by move only.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace mirelda::platform {

class FileDescriptor {
 public:
  FileDescriptor() = default;
  // Takes ownership of fd; a negative value holds nothing (a failed open, errno still set).
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  explicit operator bool() const { return valid(); }

  // Hands the descriptor over to the caller, who closes it.
  int Release() { return std::exchange(fd_, -1); }

  // Closes now and reports what close reports (a delayed write error on some file systems):
  // 0, or the errno. The descriptor is gone either way.
  int Close() {
    int fd = std::exchange(fd_, -1);
    if (fd < 0) return 0;
    return ::close(fd) == 0 ? 0 : errno;
  }

 private:
  int fd_ = -1;
};

}  // namespace mirelda::platform
