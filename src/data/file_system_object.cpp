#include "data/file_system_object.h"

#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "data/data_classes.h"
#include "mirelda/error.h"
#include "mirelda/path_map.h"

namespace mirelda::data {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kDefaultCodePage = 936;

// The regular files that a page path names, with wildcards in its last component. Raises 76 for
// a missing folder or wildcards before the last component, 53 when nothing matches.
std::vector<fs::path> MatchingFiles(const std::string& spec) {
  std::vector<fs::path> found = MatchingEntries(spec, false);
  if (found.empty()) throw Error(errc::kFileNotFound, "File not found: " + spec);
  return found;
}

std::string_view WithoutTrailingSeparators(std::string_view p) {
  while (p.size() > 1 && IsSeparator(p.back()) && !(p.size() == 3 && p[1] == ':')) {
    p.remove_suffix(1);
  }
  return p;
}

std::vector<fs::path> MatchingFolders(const std::string& spec) {
  std::vector<fs::path> found = MatchingEntries(std::string(WithoutTrailingSeparators(spec)), true);
  if (found.empty()) throw Error(errc::kPathNotFound, "Path not found: " + spec);
  return found;
}

// The host path of a file to open, refusing a folder's name.
fs::path FilePath(const std::string& path) {
  if (path.empty() || IsSeparator(path.back())) {
    throw Error(errc::kInvalidProcedureCall,
                "Invalid procedure call or argument: '" + path + "' names no file");
  }
  return paths::Resolve(path);
}

}  // namespace

void FileSystemObjectImpl::DeleteFile(const std::string& spec, bool force) {
  std::vector<fs::path> files = MatchingFiles(spec);
  // A read-only file goes only when forced; none is deleted when one of them is refused.
  if (!force) {
    for (const fs::path& file : files) {
      if (IsReadOnly(file)) {
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
      CopyOneFile(file, target / file.filename(), overwrite, destination);
    }
    return;
  }
  if (!fs::is_directory(target.parent_path(), ec)) {
    throw Error(errc::kPathNotFound, "Path not found: " + destination);
  }
  CopyOneFile(files.front(), target, overwrite, destination);
}

void FileSystemObjectImpl::MoveFile(const std::string& source, const std::string& destination) {
  std::vector<fs::path> files = MatchingFiles(source);
  bool into_folder = !destination.empty() && IsSeparator(destination.back());
  fs::path target = paths::Resolve(destination);
  for (const fs::path& file : files) {
    fs::path to = into_folder || files.size() > 1 ? target / file.filename() : target;
    MoveEntry(file, to, destination);
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

std::shared_ptr<TextStream> FileSystemObjectImpl::OpenTextFile(const std::string& path,
                                                               int32_t iomode, bool create,
                                                               int32_t format) {
  fs::path file = FilePath(path);
  return TextStream::Open(file, path, iomode, create ? OpenRule::kCreate : OpenRule::kExisting,
                          format, CodePage());
}

std::shared_ptr<TextStream> FileSystemObjectImpl::CreateTextFile(const std::string& path,
                                                                 bool overwrite, bool unicode) {
  fs::path file = FilePath(path);
  return TextStream::Open(file, path, kForWriting,
                          overwrite ? OpenRule::kReplace : OpenRule::kCreateNew,
                          unicode ? kTristateTrue : kTristateFalse, CodePage());
}

std::shared_ptr<File> FileSystemObjectImpl::GetFile(const std::string& path) {
  fs::path file = paths::Resolve(path);
  std::error_code ec;
  if (path.empty() || !fs::is_regular_file(file, ec)) {
    throw Error(errc::kFileNotFound, "File not found: " + path);
  }
  return std::make_shared<File>(file, CodePage());
}

std::shared_ptr<Folder> FileSystemObjectImpl::GetFolder(const std::string& path) {
  fs::path folder = paths::Resolve(path);
  std::error_code ec;
  if (path.empty() || !fs::is_directory(folder, ec)) {
    throw Error(errc::kPathNotFound, "Path not found: " + path);
  }
  return std::make_shared<Folder>(folder, CodePage());
}

std::shared_ptr<Folder> FileSystemObjectImpl::GetSpecialFolder(int32_t which) {
  if (which != 2) {
    throw Error(errc::kInvalidProcedureCall, "Invalid procedure call or argument: special folder " +
                                                 std::to_string(which) +
                                                 " (only 2, the temporary folder, exists here)");
  }
  std::error_code ec;
  fs::path temp = fs::temp_directory_path(ec);
  if (ec) throw Error(errc::kPathNotFound, "Path not found: the temporary folder");
  return std::make_shared<Folder>(temp, CodePage());
}

std::string FileSystemObjectImpl::GetTempName() {
  unsigned char bytes[3] = {};
  while (::getrandom(bytes, sizeof bytes, 0) < 0 && errno == EINTR) {
  }
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string name = "rad";
  uint32_t n = (bytes[0] << 16) | (bytes[1] << 8) | bytes[2];
  for (int shift = 16; shift >= 0; shift -= 4) name += kDigits[(n >> shift) & 0xF];
  return name + ".tmp";
}

void FileSystemObjectImpl::DeleteFolder(const std::string& spec, bool force) {
  std::vector<fs::path> folders = MatchingFolders(spec);
  if (!force) {
    for (const fs::path& folder : folders) {
      std::error_code ec;
      for (auto it = fs::recursive_directory_iterator(folder, ec);
           it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) break;
        if (IsReadOnly(it->path())) {
          throw Error(errc::kPermissionDenied,
                      "Permission denied: " + spec + " holds a read-only file");
        }
      }
    }
  }
  for (const fs::path& folder : folders) RemoveFolderTree(folder, true, spec);
}

void FileSystemObjectImpl::CopyFolder(const std::string& source, const std::string& destination,
                                      bool overwrite) {
  std::vector<fs::path> folders = MatchingFolders(source);
  bool into = (!destination.empty() && IsSeparator(destination.back())) ||
              HasWildcard(Split(std::string(WithoutTrailingSeparators(source))).name);
  fs::path target = paths::Resolve(destination);
  std::error_code ec;
  if (into && !fs::is_directory(target, ec)) {
    throw Error(errc::kPathNotFound, "Path not found: " + destination);
  }
  for (const fs::path& folder : folders) {
    fs::path to = into ? target / folder.filename() : target;
    if (!fs::is_directory(to.parent_path(), ec)) {
      throw Error(errc::kPathNotFound, "Path not found: " + destination);
    }
    std::string from_text = folder.lexically_normal().string() + "/";
    if (to.lexically_normal().string().rfind(from_text, 0) == 0) {
      throw Error(errc::kPermissionDenied,
                  "Permission denied: a folder cannot be copied into itself");
    }
    CopyFolderTree(folder, to, overwrite, destination);
  }
}

void FileSystemObjectImpl::MoveFolder(const std::string& source, const std::string& destination) {
  std::vector<fs::path> folders = MatchingFolders(source);
  bool into = (!destination.empty() && IsSeparator(destination.back())) || folders.size() > 1;
  fs::path target = paths::Resolve(destination);
  for (const fs::path& folder : folders) {
    fs::path to = into ? target / folder.filename() : target;
    std::string from_text = folder.lexically_normal().string() + "/";
    if (to.lexically_normal().string().rfind(from_text, 0) == 0) {
      throw Error(errc::kPermissionDenied, "Permission denied: a folder cannot move into itself");
    }
    MoveEntry(folder, to, destination);
  }
}

std::string FileSystemObjectImpl::GetExtensionName(const std::string& path) {
  std::string name = GetFileName(path);
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string FileSystemObjectImpl::GetBaseName(const std::string& path) {
  std::string name = GetFileName(path);
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string FileSystemObjectImpl::GetParentFolderName(const std::string& path) {
  std::string_view p = path;
  while (!p.empty() && IsSeparator(p.back())) p.remove_suffix(1);
  size_t cut = p.find_last_of("\\/");
  if (cut == std::string_view::npos) {
    return p.size() >= 2 && p[1] == ':' && p.size() > 2 ? std::string(p.substr(0, 2)) : "";
  }
  std::string_view folder = p.substr(0, cut + 1);
  // "C:\" and "\" keep their separator: without it they would name something else.
  if (folder.size() == 1 || (folder.size() == 3 && folder[1] == ':')) return std::string(folder);
  folder.remove_suffix(1);
  while (folder.size() > 1 && IsSeparator(folder.back())) folder.remove_suffix(1);
  return std::string(folder);
}

std::string FileSystemObjectImpl::GetDriveName(const std::string& path) {
  return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : std::string();
}

std::string FileSystemObjectImpl::GetAbsolutePathName(const std::string& path) {
  return paths::ToPagePath(paths::Resolve(path.empty() ? std::string(".") : path));
}

void FileSystemObjectImpl::OnStartPage(const std::shared_ptr<Dispatch>& context) {
  auto scripting = std::dynamic_pointer_cast<ScriptingContext>(context);
  session_ = scripting ? scripting->Session() : nullptr;
}

void FileSystemObjectImpl::OnEndPage() { session_.reset(); }

int32_t FileSystemObjectImpl::CodePage() {
  return session_ ? session_->CodePage() : kDefaultCodePage;
}

const MemberTable& FileSystemObjectImpl::Members() const {
  // The interface's members (those the components call) and the rest that pages use.
  const MemberTable& base = FileSystemObject::Members();
  static const MemberTable table = [&base] {
    using F = FileSystemObjectImpl;
    std::vector<Member> members = base.members();
    MemberTable added =
        MemberTableBuilder<F>("IFileSystem3")
            .Method<&F::OpenTextFile>(
                "OpenTextFile",
                {Arg("FileName"), Arg("IOMode").Optional(kForReading),
                 Arg("Create").Optional(false), Arg("Format").Optional(kTristateFalse)})
            .Method<&F::CreateTextFile>(
                "CreateTextFile",
                {Arg("FileName"), Arg("Overwrite").Optional(true), Arg("Unicode").Optional(false)})
            .Method<&F::GetFile>("GetFile", {Arg("FilePath")})
            .Method<&F::GetFolder>("GetFolder", {Arg("FolderPath")})
            .Method<&F::GetSpecialFolder>("GetSpecialFolder", {Arg("SpecialFolder")})
            .Method<&F::GetTempName>("GetTempName")
            .Method<&F::DeleteFolder>("DeleteFolder",
                                      {Arg("FolderSpec"), Arg("Force").Optional(false)})
            .Method<&F::CopyFolder>("CopyFolder", {Arg("Source"), Arg("Destination"),
                                                   Arg("OverWriteFiles").Optional(true)})
            .Method<&F::MoveFolder>("MoveFolder", {Arg("Source"), Arg("Destination")})
            .Method<&F::GetExtensionName>("GetExtensionName", {Arg("Path")})
            .Method<&F::GetBaseName>("GetBaseName", {Arg("Path")})
            .Method<&F::GetParentFolderName>("GetParentFolderName", {Arg("Path")})
            .Method<&F::GetDriveName>("GetDriveName", {Arg("Path")})
            .Method<&F::GetAbsolutePathName>("GetAbsolutePathName", {Arg("Path")})
            .Method<&F::OnStartPage>("OnStartPage", {Arg("pUnk")})
            .Method<&F::OnEndPage>("OnEndPage")
            .Build();
    for (const Member& m : added.members()) members.push_back(m);
    return MemberTable("IFileSystem3", std::nullopt, std::move(members));
  }();
  return table;
}

std::optional<Guid> FileSystemObjectImpl::ClassId() const { return FileSystemObjectClassId(); }

}  // namespace mirelda::data
