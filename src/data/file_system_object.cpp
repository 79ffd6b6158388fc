#include "data/file_system_object.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "data/data_classes.h"
#include "mirelda/error.h"
#include "mirelda/path_map.h"

namespace mirelda::data {
namespace {

namespace fs = std::filesystem;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }
bool HasWildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

[[noreturn]] void FailWithErrno(int err, const std::string& page_path) {
  int32_t number = err == EACCES || err == EPERM || err == EROFS || err == EISDIR || err == EBUSY
                       ? errc::kPermissionDenied
                   : err == EEXIST                   ? errc::kFileAlreadyExists
                   : err == ENOENT || err == ENOTDIR ? errc::kPathNotFound
                                                     : errc::kPermissionDenied;
  throw Error(number,
              StandardDescription(number) + ": " + page_path + " (" + std::strerror(err) + ")");
}

// The page path split into its folder part (with its separator) and last component.
struct SplitPath {
  std::string folder;
  std::string name;
};

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

fs::path ResolveFolder(const std::string& folder) {
  return paths::Resolve(folder.empty() ? std::string(".") : folder);
}

// The regular files that a page path names, with wildcards in its last component. Raises 76 for
// a missing folder or wildcards before the last component, 53 when nothing matches.
std::vector<fs::path> MatchingFiles(const std::string& spec) {
  SplitPath split = Split(spec);
  if (HasWildcard(split.folder)) {
    throw Error(errc::kPathNotFound,
                "Path not found: wildcards are allowed only in the file "
                "name: " +
                    spec);
  }
  fs::path folder = ResolveFolder(split.folder);
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) throw Error(errc::kPathNotFound, "Path not found: " + spec);
  std::vector<fs::path> found;
  if (!HasWildcard(split.name)) {
    fs::path file = folder / split.name;
    if (!split.name.empty() && fs::is_regular_file(file, ec)) found.push_back(file);
  } else {
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
      std::error_code type_ec;
      if (entry.is_regular_file(type_ec) &&
          WildcardMatch(split.name, entry.path().filename().string())) {
        found.push_back(entry.path());
      }
    }
  }
  if (found.empty()) throw Error(errc::kFileNotFound, "File not found: " + spec);
  return found;
}

// Copies one file so that the destination appears complete or not at all: the bytes go to a
// temporary file beside it, which then takes its name.
void CopyOne(const fs::path& from, const fs::path& to, bool overwrite, const std::string& page) {
  std::error_code ec;
  if (fs::is_directory(to, ec)) FailWithErrno(EISDIR, page);
  if (!overwrite && fs::exists(fs::symlink_status(to, ec))) {
    throw Error(errc::kFileAlreadyExists, "File already exists: " + page);
  }
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) FailWithErrno(errno, page);
  std::string temp = (to.parent_path() / ("." + to.filename().string() + ".tmp-XXXXXX")).string();
  int out = ::mkstemp(temp.data());
  if (out < 0) {
    int err = errno;
    ::close(in);
    FailWithErrno(err, page);
  }
  char buffer[1 << 16];
  int err = 0;
  while (true) {
    ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      err = errno;
      break;
    }
    if (n == 0) break;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        err = w < 0 ? errno : EIO;
        break;
      }
      done += w;
    }
    if (err) break;
  }
  ::close(in);
  struct stat st;
  if (!err && ::stat(from.c_str(), &st) == 0) ::fchmod(out, st.st_mode & 07777);
  if (::close(out) != 0 && !err) err = errno;
  if (!err) {
    if (overwrite) {
      if (::rename(temp.c_str(), to.c_str()) != 0) err = errno;
    } else if (::link(temp.c_str(), to.c_str()) != 0) {
      err = errno;
    }
  }
  ::unlink(temp.c_str());
  if (err == EEXIST) throw Error(errc::kFileAlreadyExists, "File already exists: " + page);
  if (err) FailWithErrno(err, page);
}

}  // namespace

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

void FileSystemObjectImpl::DeleteFile(const std::string& spec, bool force) {
  std::vector<fs::path> files = MatchingFiles(spec);
  // A read-only file goes only when forced; none is deleted when one of them is refused.
  if (!force) {
    for (const fs::path& file : files) {
      struct stat st;
      if (::stat(file.c_str(), &st) == 0 && (st.st_mode & 0222) == 0) {
        throw Error(errc::kPermissionDenied, "Permission denied: " + spec + " is read-only");
      }
    }
  }
  for (const fs::path& file : files) {
    if (::unlink(file.c_str()) != 0 && errno != ENOENT) FailWithErrno(errno, spec);
  }
}

void FileSystemObjectImpl::CopyFile(const std::string& source, const std::string& destination,
                                    bool overwrite) {
  std::vector<fs::path> files = MatchingFiles(source);
  bool into_folder = !destination.empty() && IsSeparator(destination.back());
  fs::path target = paths::Resolve(destination);
  std::error_code ec;
  if (into_folder || files.size() > 1 || HasWildcard(Split(source).name)) {
    if (!fs::is_directory(target, ec)) {
      throw Error(errc::kPathNotFound, "Path not found: " + destination);
    }
    for (const fs::path& file : files) {
      CopyOne(file, target / file.filename(), overwrite, destination);
    }
    return;
  }
  if (!fs::is_directory(target.parent_path(), ec)) {
    throw Error(errc::kPathNotFound, "Path not found: " + destination);
  }
  CopyOne(files.front(), target, overwrite, destination);
}

void FileSystemObjectImpl::MoveFile(const std::string& source, const std::string& destination) {
  std::vector<fs::path> files = MatchingFiles(source);
  bool into_folder = !destination.empty() && IsSeparator(destination.back());
  fs::path target = paths::Resolve(destination);
  std::error_code ec;
  for (const fs::path& file : files) {
    fs::path to = into_folder || files.size() > 1 ? target / file.filename() : target;
    if (fs::exists(fs::symlink_status(to, ec))) {
      throw Error(errc::kFileAlreadyExists, "File already exists: " + destination);
    }
    if (!fs::is_directory(to.parent_path(), ec)) {
      throw Error(errc::kPathNotFound, "Path not found: " + destination);
    }
    // A hard link claims the name only if it is free; another file system needs a copy.
    if (::link(file.c_str(), to.c_str()) == 0) {
      ::unlink(file.c_str());
    } else if (errno == EXDEV || errno == EPERM) {
      CopyOne(file, to, false, destination);
      ::unlink(file.c_str());
    } else {
      FailWithErrno(errno, destination);
    }
  }
}

bool FileSystemObjectImpl::FileExists(const std::string& path) {
  try {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(paths::Resolve(path), ec);
  } catch (const Error&) {
    return false;
  }
}

bool FileSystemObjectImpl::FolderExists(const std::string& path) {
  try {
    std::error_code ec;
    return !path.empty() && fs::is_directory(paths::Resolve(path), ec);
  } catch (const Error&) {
    return false;
  }
}

void FileSystemObjectImpl::CreateFolder(const std::string& path) {
  fs::path folder = paths::Resolve(path);
  if (::mkdir(folder.c_str(), 0777) != 0) {
    if (errno == EEXIST) throw Error(errc::kFileAlreadyExists, "File already exists: " + path);
    if (errno == ENOENT) throw Error(errc::kPathNotFound, "Path not found: " + path);
    FailWithErrno(errno, path);
  }
}

std::string FileSystemObjectImpl::GetFileName(const std::string& path) {
  std::string_view p = path;
  while (!p.empty() && IsSeparator(p.back())) p.remove_suffix(1);
  SplitPath split = Split(p);
  return split.name;
}

std::string FileSystemObjectImpl::BuildPath(const std::string& path, const std::string& name) {
  if (path.empty()) return name;
  char last = path.back();
  if (IsSeparator(last) || (path.size() == 2 && last == ':')) return path + name;
  std::string_view rest = name;
  while (!rest.empty() && IsSeparator(rest.front())) rest.remove_prefix(1);
  return path + "\\" + std::string(rest);
}

std::optional<Guid> FileSystemObjectImpl::ClassId() const { return FileSystemObjectClassId(); }

}  // namespace mirelda::data
