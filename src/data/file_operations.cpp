#include "data/file_operations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "mirelda/error.h"
#include "mirelda/path_map.h"
#include "platform/atomic_file.h"
#include "platform/errno_error.h"
#include "platform/file_descriptor.h"

namespace mirelda::data {
namespace fs = std::filesystem;

namespace {

// The file system object's own numbers: every errno outside these rows is Permission denied.
constexpr platform::ErrnoNumbers kFileSystemNumbers{
    platform::kNotFoundRow | platform::kDeniedRow | platform::kExistsRow, errc::kPermissionDenied};

// Gives the written file its name through the atomic replacement (flushed before the rename,
// the folder after it), or drops it; raises what went wrong, err first.
void Publish(platform::AtomicFile& out, bool overwrite, int err, const std::string& page_path) {
  if (!err) err = out.Commit(overwrite);
  if (err == EEXIST) throw Error(errc::kFileAlreadyExists, "File already exists: " + page_path);
  if (err) FailWithErrno(err, page_path);
}

}  // namespace

void FailWithErrno(int err, const std::string& page_path) {
  throw platform::ErrnoError(err, page_path, kFileSystemNumbers);
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }
bool HasWildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

SplitPath Split(std::string_view page_path) {
  size_t cut = page_path.find_last_of("\\/");
  if (cut == std::string_view::npos) {
    // "C:name" is a name in the current folder of drive C.
    if (page_path.size() >= 2 && page_path[1] == ':') {
      return {std::string(page_path.substr(0, 2)), std::string(page_path.substr(2))};
    }
    return {"", std::string(page_path)};
  }
  return {std::string(page_path.substr(0, cut + 1)), std::string(page_path.substr(cut + 1))};
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<fs::path> MatchingEntries(const std::string& spec, bool folders) {
  SplitPath split = Split(spec);
  if (HasWildcard(split.folder)) {
    throw Error(errc::kPathNotFound,
                "Path not found: wildcards are allowed only in the last name: " + spec);
  }
  fs::path folder = paths::Resolve(split.folder.empty() ? std::string(".") : split.folder);
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) throw Error(errc::kPathNotFound, "Path not found: " + spec);
  auto wanted = [&](const fs::path& p) {
    std::error_code type_ec;
    fs::file_status st = fs::symlink_status(p, type_ec);
    return folders ? fs::is_directory(st) : fs::is_regular_file(st);
  };
  std::vector<fs::path> found;
  if (!HasWildcard(split.name)) {
    fs::path entry = folder / split.name;
    if (!split.name.empty() && split.name != "." && split.name != ".." && wanted(entry)) {
      found.push_back(entry);
    }
  } else {
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
      if (wanted(entry.path()) && WildcardMatch(split.name, entry.path().filename().string())) {
        found.push_back(entry.path());
      }
    }
    std::sort(found.begin(), found.end());
  }
  return found;
}

bool IsReadOnly(const fs::path& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode) && (st.st_mode & 0222) == 0;
}

void CopyOneFile(const fs::path& from, const fs::path& to, bool overwrite,
                 const std::string& page_path) {
  std::error_code ec;
  if (fs::is_directory(to, ec)) FailWithErrno(EISDIR, page_path);
  if (!overwrite && fs::exists(fs::symlink_status(to, ec))) {
    throw Error(errc::kFileAlreadyExists, "File already exists: " + page_path);
  }
  platform::FileDescriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in) FailWithErrno(errno, page_path);
  // The copy keeps the source's permission bits.
  struct stat st;
  if (::fstat(in.get(), &st) != 0) FailWithErrno(errno, page_path);
  platform::AtomicFile out(to);
  if (int err = out.Create(st.st_mode & 07777)) FailWithErrno(err, page_path);
  char buffer[1 << 16];
  int err = 0;
  while (!err) {
    ssize_t n = ::read(in.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) err = errno;
    if (n <= 0) break;
    err = out.Write(std::string_view(buffer, static_cast<size_t>(n)));
  }
  Publish(out, overwrite, err, page_path);
}

void WriteWholeFile(const fs::path& to, std::string_view bytes, bool overwrite,
                    const std::string& page_path) {
  std::error_code ec;
  if (fs::is_directory(to, ec)) FailWithErrno(EISDIR, page_path);
  if (!overwrite && fs::exists(fs::symlink_status(to, ec))) {
    throw Error(errc::kFileAlreadyExists, "File already exists: " + page_path);
  }
  platform::AtomicFile out(to);
  // A new file gets the permissions a plain create would give it.
  if (int err = out.Create(0666 & ~platform::CreationMask())) FailWithErrno(err, page_path);
  Publish(out, overwrite, out.Write(bytes), page_path);
}

std::string ReadWholeFile(const fs::path& from, const std::string& page_path) {
  platform::FileDescriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in) {
    if (errno == ENOENT) throw Error(errc::kFileNotFound, "File not found: " + page_path);
    FailWithErrno(errno, page_path);
  }
  return ReadDescriptor(in.get(), page_path);
}

std::string ReadDescriptor(int fd, const std::string& page_path) {
  std::string bytes;
  char buffer[1 << 16];
  while (true) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) FailWithErrno(errno, page_path);
    if (n == 0) return bytes;
    bytes.append(buffer, static_cast<size_t>(n));
  }
}

void RemoveFolderTree(const fs::path& folder, bool force, const std::string& page_path) {
  std::error_code ec;
  if (!force) {
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
      if (ec) break;
      if (IsReadOnly(it->path())) {
        throw Error(errc::kPermissionDenied,
                    "Permission denied: " + page_path + " holds a read-only file");
      }
    }
  }
  fs::remove_all(folder, ec);
  if (ec) FailWithErrno(ec.value(), page_path);
}

void CopyFolderTree(const fs::path& from, const fs::path& to, bool overwrite,
                    const std::string& page_path) {
  std::error_code ec;
  if (!fs::is_directory(to, ec)) {
    if (fs::exists(fs::symlink_status(to, ec))) {
      throw Error(errc::kFileAlreadyExists, "File already exists: " + page_path);
    }
    if (::mkdir(to.c_str(), 0777) != 0) FailWithErrno(errno, page_path);
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(from, ec)) {
    std::error_code type_ec;
    fs::path target = to / entry.path().filename();
    if (entry.is_directory(type_ec)) {
      CopyFolderTree(entry.path(), target, overwrite, page_path);
    } else if (entry.is_regular_file(type_ec)) {
      CopyOneFile(entry.path(), target, overwrite, page_path);
    }
  }
  if (ec) FailWithErrno(ec.value(), page_path);
}

void MoveEntry(const fs::path& from, const fs::path& to, const std::string& page_path) {
  std::error_code ec;
  if (fs::exists(fs::symlink_status(to, ec))) {
    throw Error(errc::kFileAlreadyExists, "File already exists: " + page_path);
  }
  if (!fs::is_directory(to.parent_path(), ec)) {
    throw Error(errc::kPathNotFound, "Path not found: " + page_path);
  }
  bool folder = fs::is_directory(fs::symlink_status(from, ec));
  if (!folder) {
    // A hard link claims the name only if it is free; another file system needs a copy.
    if (::link(from.c_str(), to.c_str()) == 0) {
      ::unlink(from.c_str());
      return;
    }
    if (errno != EXDEV && errno != EPERM) FailWithErrno(errno, page_path);
    CopyOneFile(from, to, false, page_path);
    ::unlink(from.c_str());
    return;
  }
  // A folder cannot be claimed by a link; the check above leaves only a race with another page.
  if (::rename(from.c_str(), to.c_str()) == 0) return;
  if (errno != EXDEV) FailWithErrno(errno, page_path);
  CopyFolderTree(from, to, false, page_path);
  RemoveFolderTree(from, true, page_path);
}

}  // namespace mirelda::data
