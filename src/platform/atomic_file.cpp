#include "platform/atomic_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <string>

namespace mirelda::platform {
namespace fs = std::filesystem;

mode_t CreationMask() {
  static const mode_t mask = [] {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("Umask:", 0) == 0) {
        return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
      }
    }
    return static_cast<mode_t>(022);
  }();
  return mask;
}

int SyncFolder(const fs::path& folder) {
  FileDescriptor fd(
      ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) return errno;
  if (::fsync(fd.get()) != 0 && errno != EINVAL) return errno;
  return fd.Close();
}

AtomicFile::AtomicFile(fs::path target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() {
  if (!temporary_.empty() && !renamed_) ::unlink(temporary_.c_str());
}

int AtomicFile::Create(mode_t mode) {
  // A dot name keeps the half-written file out of folder listings that skip hidden files.
  std::string pattern =
      (target_.parent_path() / ("." + target_.filename().string() + ".tmp-XXXXXX")).string();
  FileDescriptor fd(::mkostemp(pattern.data(), O_CLOEXEC));
  if (!fd) return errno;
  temporary_ = pattern;
  if (::fchmod(fd.get(), mode & 07777) != 0) return errno;
  fd_ = std::move(fd);
  return 0;
}

int AtomicFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd_.get(), bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}

int AtomicFile::Flush() {
  if (::fsync(fd_.get()) != 0) {
    int err = errno;
    fd_.Close();
    return err;
  }
  return fd_.Close();
}

int AtomicFile::Rename(bool replace) {
  if (replace) {
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) return errno;
  } else if (::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target_.c_str(),
                         RENAME_NOREPLACE) != 0) {
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without an exclusive rename: a hard link claims a free name only as well.
    if (::link(temporary_.c_str(), target_.c_str()) != 0) return errno;
    ::unlink(temporary_.c_str());
  }
  renamed_ = true;
  return 0;
}

int AtomicFile::SyncFolder() const { return platform::SyncFolder(target_.parent_path()); }

int AtomicFile::Commit(bool replace) {
  if (int err = Flush()) return err;
  if (int err = Rename(replace)) return err;
  return SyncFolder();
}

int ReplaceFile(const fs::path& path, std::string_view content, bool replace, mode_t mode) {
  AtomicFile file(path);
  if (int err = file.Create(mode & ~CreationMask())) return err;
  if (int err = file.Write(content)) return err;
  return file.Commit(replace);
}

}  // namespace mirelda::platform
