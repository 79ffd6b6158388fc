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
#include "platform/atomic_file.h"
#include "platform/closing_thread.h"
#include "platform/errno_error.h"
#include "platform/file_descriptor.h"

namespace mirelda::upload {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFileSystemObject = "Scripting.FileSystemObject";

// The most copied or written at once.
constexpr size_t kWritePiece = size_t{4} << 20;

// The page sees the description, so it names what went wrong and never a host path.
Error FileError(int error_number) { return platform::ErrnoError(error_number); }

std::string RandomSuffix() {
  thread_local std::mt19937_64 generator{std::random_device{}()};
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(generator()));
  return text;
}

// False, having copied nothing, when the kernel cannot copy between these two files.
bool CopyFrom(const MappedFile& map, const ByteArray& content, int fd) {
  auto offset = static_cast<off_t>(content.data() - map.data());
  size_t left = content.size();
  off_t written = 0;
  while (left > 0) {
    ssize_t n = ::copy_file_range(map.fd(), &offset, fd, nullptr, std::min(left, kWritePiece), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && left == content.size() &&
        (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
      return false;
    }
    if (n < 0) throw FileError(errno);
    if (n == 0) throw FileError(EIO);  // the spool file is shorter than its map
    left -= static_cast<size_t>(n);
    // The disk starts on each piece while the next is copied, so the closing fsync has little
    // left to wait for.
    ::sync_file_range(fd, written, n, SYNC_FILE_RANGE_WRITE);
    written += n;
  }
  return true;
}

// Plain writes; the pages of a map are let go once written.
void WritePieces(const ByteArray& content, const MappedFile* map, int fd) {
  std::string_view data = content.view();
  while (!data.empty()) {
    std::string_view piece = data.substr(0, kWritePiece);
    ssize_t n = ::write(fd, piece.data(), piece.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError(errno);
    }
    if (map) map->Release(reinterpret_cast<const uint8_t*>(data.data()), static_cast<size_t>(n));
    data.remove_prefix(static_cast<size_t>(n));
  }
}

// Bytes of a mapped file (a spooled request body) go file to file, so a large upload neither
// passes through this process's memory nor stays resident in it.
void WriteContent(const ByteArray& content, int fd) {
  std::shared_ptr<const MappedFile> map = MappedFile::Containing(content.data(), content.size());
  if (map && CopyFrom(*map, content, fd)) return;
  WritePieces(content, map.get(), fd);
  // The disk starts on this file while the post's other files are written, so that the first
  // flush finds every file's blocks allocated and one journal commit covers them all.
  ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

// An empty upload only creates an absent file; there is nothing to lose by writing it in place.
// False when a file of that name is there.
bool CreateEmpty(const fs::path& target) {
  platform::FileDescriptor fd(
      ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (!fd) {
    if (errno == EEXIST) return false;
    throw FileError(errno);
  }
  if (int err = fd.Close()) throw FileError(err);
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
    throw Error(platform::kBadFileName,
                "Bad file name or number: a new file name names a file without a folder");
  }
  if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) folder += '\\';
  std::string page_path = folder + stored_name;
  bool overwrite = overwrite_mode == 2;
  if (!overwrite && file_system->Call("FileExists", page_path).ToBool()) return false;

  fs::path target = paths::Resolve(page_path);
  std::unique_ptr<platform::AtomicFile> written;
  if (!content.empty()) {
    written = std::make_unique<platform::AtomicFile>(target);
    if (int err = written->Create(0666 & ~platform::CreationMask())) throw FileError(err);
    WriteContent(content, written->fd());
  }
  stored.Add(std::move(written), std::move(target), name, overwrite);
  return true;
}

StoredFiles::~StoredFiles() {
  for (auto entry = placed_.rbegin(); entry != placed_.rend(); ++entry) {
    if (!entry->previous.empty()) {
      ::rename(entry->previous.c_str(), entry->target.c_str());
    } else if (entry->created) {
      ::unlink(entry->target.c_str());
    }
  }
}

void StoredFiles::Add(std::unique_ptr<platform::AtomicFile> written, fs::path target,
                      std::string name, bool overwrite) {
  pending_.push_back({std::move(written), std::move(target), std::move(name), overwrite});
  // A post of many files holds only so many descriptors at once.
  if (pending_.size() - flushed_ >= kOpenAtOnce) FlushWritten();
}

void StoredFiles::FlushWritten() {
  for (; flushed_ < pending_.size(); ++flushed_) {
    Pending& file = pending_[flushed_];
    if (!file.written) continue;
    if (int err = file.written->Flush()) throw FileError(err);
  }
}

std::optional<std::string> StoredFiles::Place() {
  // Flushed to disk before any takes its name, so that a named file is complete even after a
  // crash.
  FlushWritten();
  std::vector<fs::path> folders;
  for (Pending& file : pending_) {
    if (!file.written) {
      if (CreateEmpty(file.target)) {
        placed_.push_back({file.target, {}, true});
      } else if (!file.overwrite) {
        return file.name;
      }
    } else {
      // Without overwriting, the rename itself refuses an existing file: whatever it places is
      // new.
      bool existed = false;
      fs::path previous = file.overwrite ? LinkPrevious(file.target, existed) : fs::path();
      if (int err = file.written->Rename(file.overwrite)) {
        if (!previous.empty()) ::unlink(previous.c_str());
        if (err == EEXIST && !file.overwrite) return file.name;
        throw FileError(err);
      }
      placed_.push_back({file.target, std::move(previous), !existed});
    }
    fs::path folder = file.target.parent_path();
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
      folders.push_back(std::move(folder));
    }
  }
  pending_.clear();
  flushed_ = 0;
  for (const fs::path& folder : folders) {
    if (int err = platform::SyncFolder(folder)) throw FileError(err);
  }
  return std::nullopt;
}

void StoredFiles::Keep() {
  for (const Placed& entry : placed_) {
    if (entry.previous.empty()) continue;
    // The replaced content's name goes now; its blocks are freed on the closing thread, as the
    // descriptor held across the unlink makes the last close, not the unlink, free them.
    platform::FileDescriptor held(::open(entry.previous.c_str(), O_PATH | O_CLOEXEC));
    ::unlink(entry.previous.c_str());
    if (held) platform::CloseLater(std::move(held));
  }
  placed_.clear();
}

}  // namespace mirelda::upload
