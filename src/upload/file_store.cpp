#include "upload/file_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>

#include "mirelda/error.h"
#include "mirelda/mapped_file.h"
#include "mirelda/path_map.h"

namespace mirelda::upload {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFileSystemObject = "Scripting.FileSystemObject";

// Run-time error numbers of file operations that error.h does not name.
constexpr int32_t kBadFileName = 52;
constexpr int32_t kDeviceError = 57;
constexpr int32_t kDiskFull = 61;
constexpr int32_t kPathFileAccess = 75;
// The most copied or written at once.
constexpr size_t kWritePiece = size_t{4} << 20;

// The page sees the description, so it names what went wrong and never a host path.
Error FileError(int error_number) {
  switch (error_number) {
    case ENOENT:
    case ENOTDIR:
      return Error(errc::kPathNotFound);
    case EACCES:
    case EPERM:
    case EROFS:
      return Error(errc::kPermissionDenied);
    case EEXIST:
      return Error(errc::kFileAlreadyExists);
    case ENOSPC:
    case EDQUOT:
      return Error(kDiskFull, "Disk full");
    case ENAMETOOLONG:
      return Error(kBadFileName, "Bad file name or number");
    case EISDIR:
      return Error(kPathFileAccess, "Path/File access error");
    default:
      return Error(kDeviceError, "Device I/O error");
  }
}

class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  // Closes now, reporting what close reports (a delayed write error, say).
  void Close() {
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw FileError(errno);
  }

 private:
  int fd_;
};

std::string RandomSuffix() {
  thread_local std::mt19937_64 generator{std::random_device{}()};
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(generator()));
  return text;
}

// A file beside the target that receives the content; removed unless it was moved into place.
class TempFile {
 public:
  explicit TempFile(const fs::path& folder) {
    for (int attempt = 0;; ++attempt) {
      path_ = folder / (".upload-" + RandomSuffix() + ".part");
      fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ >= 0) return;
      if (errno != EEXIST || attempt == 100) throw FileError(errno);
    }
  }
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!moved_) ::unlink(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Writes everything and flushes it to disk, so that the renamed file is complete even after a
  // crash. Bytes of a mapped file (a spooled request body) go file to file, so a large upload
  // neither passes through this process's memory nor stays resident in it.
  void WriteAll(const ByteArray& content) {
    std::shared_ptr<const MappedFile> map = MappedFile::Containing(content.data(), content.size());
    if (!map || !CopyFrom(*map, content)) Write(content, map.get());
    if (::fsync(fd_) != 0) throw FileError(errno);
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw FileError(errno);
  }

  // Renames the file to target. Without replace, an existing target stays and the result is
  // false; the test and the rename are one step.
  bool MoveTo(const fs::path& target, bool replace) {
    if (replace) {
      if (::rename(path_.c_str(), target.c_str()) != 0) throw FileError(errno);
    } else if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) !=
               0) {
      if (errno == EEXIST) return false;
      if (errno != EINVAL && errno != ENOSYS) throw FileError(errno);
      // A file system without an exclusive rename: a hard link is exclusive as well.
      if (::link(path_.c_str(), target.c_str()) != 0) {
        if (errno == EEXIST) return false;
        throw FileError(errno);
      }
      ::unlink(path_.c_str());
    }
    moved_ = true;
    return true;
  }

 private:
  // False, having copied nothing, when the kernel cannot copy between these two files.
  bool CopyFrom(const MappedFile& map, const ByteArray& content) {
    auto offset = static_cast<off_t>(content.data() - map.data());
    size_t left = content.size();
    off_t written = 0;
    while (left > 0) {
      ssize_t n =
          ::copy_file_range(map.fd(), &offset, fd_, nullptr, std::min(left, kWritePiece), 0);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && left == content.size() &&
          (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
        return false;
      }
      if (n < 0) throw FileError(errno);
      if (n == 0) throw FileError(EIO);  // the spool file is shorter than its map
      left -= static_cast<size_t>(n);
      // The disk starts on each piece while the next is copied, so the closing fsync has
      // little left to wait for.
      ::sync_file_range(fd_, written, n, SYNC_FILE_RANGE_WRITE);
      written += n;
    }
    return true;
  }

  // Plain writes; the pages of a map are let go once written.
  void Write(const ByteArray& content, const MappedFile* map) {
    std::string_view data = content.view();
    while (!data.empty()) {
      std::string_view piece = data.substr(0, kWritePiece);
      ssize_t n = ::write(fd_, piece.data(), piece.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        throw FileError(errno);
      }
      if (map) map->Release(reinterpret_cast<const uint8_t*>(data.data()), static_cast<size_t>(n));
      data.remove_prefix(static_cast<size_t>(n));
    }
  }

  fs::path path_;
  int fd_ = -1;
  bool moved_ = false;
};

// An empty upload only creates an absent file; there is nothing to lose by writing it in place.
bool CreateEmpty(const fs::path& target, bool overwrite, StoredFiles& stored) {
  UniqueFd fd(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (fd.get() < 0) {
    if (errno == EEXIST) return overwrite;
    throw FileError(errno);
  }
  stored.Add(target, {}, true);
  fd.Close();
  return true;
}

// A second, hidden name for the file about to be replaced, so that a run that stops can put it
// back. Empty when there is no such file (existed turns false), or the file system links no
// files (the old content is then lost to the rename, as it would be without this).
fs::path LinkPrevious(const fs::path& target, bool& existed) {
  existed = true;
  for (int attempt = 0; attempt <= 100; ++attempt) {
    fs::path link = target.parent_path() / (".upload-" + RandomSuffix() + ".old");
    if (::link(target.c_str(), link.c_str()) == 0) return link;
    if (errno == ENOENT) existed = false;
    if (errno != EEXIST) break;
  }
  return {};
}

// The rename is only lasting once the folder that holds the new name is on disk as well.
void SyncFolder(const fs::path& folder) {
  UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) throw FileError(errno);
  if (::fsync(fd.get()) != 0 && errno != EINVAL) throw FileError(errno);
  fd.Close();
}

}  // namespace

bool IsStorableFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  if (name.find_first_of("\\/:") != std::string_view::npos) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    auto c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == 0x7F) return false;
    // U+0080 to U+009F, the second set of control characters, in UTF-8.
    if (c == 0xC2 && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) < 0xA0) {
      return false;
    }
  }
  return true;
}

bool SaveUploadedFile(ServerObject& server, std::string& folder, const std::string& name,
                      const std::string& new_file_name, const ByteArray& content,
                      int16_t overwrite_mode, StoredFiles& stored) {
  std::shared_ptr<Dispatch> file_system = server.CreateObject(std::string(kFileSystemObject));
  if (!file_system) throw Error(errc::kObjectRequired);
  const std::string& stored_name = new_file_name.empty() ? name : new_file_name;
  if (!IsStorableFileName(stored_name)) {
    // Only the page sets the new name; a client's name that is not storable never gets here.
    throw Error(kBadFileName,
                "Bad file name or number: a new file name names a file without a folder");
  }
  if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) folder += '\\';
  std::string page_path = folder + stored_name;
  bool overwrite = overwrite_mode == 2;
  if (!overwrite && file_system->Call("FileExists", page_path).ToBool()) return false;

  fs::path target = paths::Resolve(page_path);
  if (content.empty()) return CreateEmpty(target, overwrite, stored);
  TempFile temp(target.parent_path());
  temp.WriteAll(content);
  // Without overwriting, the rename itself refuses an existing file: whatever it places is new.
  bool existed = false;
  fs::path previous = overwrite ? LinkPrevious(target, existed) : fs::path();
  bool moved = false;
  try {
    moved = temp.MoveTo(target, overwrite);
  } catch (const Error&) {
    if (!previous.empty()) ::unlink(previous.c_str());
    throw;
  }
  if (!moved) return false;
  stored.Add(target, std::move(previous), !existed);
  SyncFolder(target.parent_path());
  return true;
}

StoredFiles::~StoredFiles() {
  for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) {
    if (!entry->previous.empty()) {
      ::rename(entry->previous.c_str(), entry->target.c_str());
    } else if (entry->created) {
      ::unlink(entry->target.c_str());
    }
  }
}

void StoredFiles::Add(fs::path target, fs::path previous, bool created) {
  entries_.push_back({std::move(target), std::move(previous), created});
}

void StoredFiles::Keep() {
  for (const Entry& entry : entries_) {
    if (!entry.previous.empty()) ::unlink(entry.previous.c_str());
  }
  entries_.clear();
}

}  // namespace mirelda::upload
