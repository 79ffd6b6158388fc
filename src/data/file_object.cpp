#include "data/file_object.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "data/file_operations.h"
#include "data/text_stream.h"
#include "mirelda/error.h"
#include "mirelda/path_map.h"
#include "mirelda/text.h"

namespace mirelda::data {
namespace fs = std::filesystem;

namespace {

struct Times {
  Date created;
  Date modified;
  Date accessed;
};

Times TimesOf(const fs::path& path, const std::string& page_path) {
  struct statx st;
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &st) != 0) {
    FailWithErrno(errno, page_path);
  }
  // A file system that keeps no birth time gives the last change of the entry instead.
  int64_t born = (st.stx_mask & STATX_BTIME) ? st.stx_btime.tv_sec : st.stx_ctime.tv_sec;
  return {Date::FromUnixTime(born), Date::FromUnixTime(st.stx_mtime.tv_sec),
          Date::FromUnixTime(st.stx_atime.tv_sec)};
}

// The host path that a destination names for an entry called name: a folder when it ends in a
// separator. 76 when its folder does not exist.
fs::path Destination(const std::string& destination, const std::string& name) {
  fs::path target = paths::Resolve(destination);
  if (!destination.empty() && IsSeparator(destination.back())) target /= name;
  std::error_code ec;
  if (!fs::is_directory(target.parent_path(), ec)) {
    throw Error(errc::kPathNotFound, "Path not found: " + destination);
  }
  return target;
}

uint64_t TreeSize(const fs::path& folder) {
  uint64_t total = 0;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    std::error_code size_ec;
    if (it->is_regular_file(size_ec)) {
      uintmax_t size = it->file_size(size_ec);
      if (!size_ec) total += size;
    }
  }
  return total;
}

}  // namespace

std::vector<std::string> EntryNames(const fs::path& folder, bool folders) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
    std::error_code type_ec;
    fs::file_status st = fs::symlink_status(entry.path(), type_ec);
    if (folders ? fs::is_directory(st) : fs::is_regular_file(st)) {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    std::string la = text::ToLowerAscii(a), lb = text::ToLowerAscii(b);
    return la != lb ? la < lb : a < b;
  });
  return names;
}

void RequirePlainName(const std::string& name) {
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of("\\/:*?\"<>|") != std::string::npos) {
    throw Error(errc::kInvalidProcedureCall,
                "Invalid procedure call or argument: '" + name + "' is no file name");
  }
}

FileEntry::FileEntry(fs::path host_path, int32_t code_page)
    : host_path_(std::move(host_path)), code_page_(code_page) {
  // "/srv/c/" and "/srv/c" are one folder; parent and name are taken from the second form.
  while (!host_path_.has_filename() && host_path_.has_relative_path()) {
    host_path_ = host_path_.parent_path();
  }
}

std::string FileEntry::Name() { return host_path_.filename().string(); }

void FileEntry::SetName(const std::string& name) {
  RequireThere();
  RequirePlainName(name);
  fs::path target = host_path_.parent_path() / name;
  MoveEntry(host_path_, target, paths::ToPagePath(target));
  host_path_ = target;
}

std::string FileEntry::Path() { return paths::ToPagePath(host_path_); }

Date FileEntry::DateCreated() { return TimesOf(host_path_, Path()).created; }
Date FileEntry::DateLastModified() { return TimesOf(host_path_, Path()).modified; }
Date FileEntry::DateLastAccessed() { return TimesOf(host_path_, Path()).accessed; }

int32_t FileEntry::Attributes() {
  RequireThere();
  std::error_code ec;
  int32_t bits = fs::is_directory(host_path_, ec) ? kAttributeDirectory : kAttributeArchive;
  if (IsReadOnly(host_path_)) bits |= kAttributeReadOnly;
  return bits;
}

std::shared_ptr<Folder> FileEntry::ParentFolder() {
  fs::path parent = host_path_.parent_path();
  std::string self = Path();
  // The folder of a drive letter, like the file system's root, has no parent.
  if (parent == host_path_ || (self.size() == 3 && self[1] == ':')) return nullptr;
  return std::make_shared<Folder>(parent, code_page_);
}

std::string FileEntry::ParentFolderPath() {
  std::shared_ptr<Folder> parent = ParentFolder();
  return parent ? parent->Path() : std::string();
}

void File::RequireThere() const {
  std::error_code ec;
  if (!fs::is_regular_file(host_path_, ec)) {
    throw Error(errc::kFileNotFound, "File not found: " + paths::ToPagePath(host_path_));
  }
}

Variant File::Size() {
  RequireThere();
  std::error_code ec;
  return Variant::FromInt64(static_cast<int64_t>(fs::file_size(host_path_, ec)));
}

std::string File::Type() {
  std::string ext = host_path_.extension().string();
  if (ext.size() <= 1) return "File";
  return text::ToUpperAscii(ext.substr(1)) + " File";
}

void File::Delete(bool force) {
  RequireThere();
  if (!force && IsReadOnly(host_path_)) {
    throw Error(errc::kPermissionDenied, "Permission denied: " + Path() + " is read-only");
  }
  if (::unlink(host_path_.c_str()) != 0) FailWithErrno(errno, Path());
}

void File::Copy(const std::string& destination, bool overwrite) {
  RequireThere();
  CopyOneFile(host_path_, Destination(destination, Name()), overwrite, destination);
}

void File::Move(const std::string& destination) {
  RequireThere();
  fs::path target = Destination(destination, Name());
  MoveEntry(host_path_, target, destination);
  host_path_ = target;
}

std::shared_ptr<TextStream> File::OpenAsTextStream(int32_t iomode, int32_t format) {
  RequireThere();
  return TextStream::Open(host_path_, Path(), iomode, OpenRule::kExisting, format, code_page_);
}

void Folder::RequireThere() const {
  std::error_code ec;
  if (!fs::is_directory(host_path_, ec)) {
    throw Error(errc::kPathNotFound, "Path not found: " + paths::ToPagePath(host_path_));
  }
}

Variant Folder::Size() {
  RequireThere();
  return Variant::FromInt64(static_cast<int64_t>(TreeSize(host_path_)));
}

bool Folder::IsRootFolder() { return ParentFolder() == nullptr; }

std::shared_ptr<FileCollection> Folder::Files() {
  RequireThere();
  return std::make_shared<FileCollection>(host_path_, code_page_);
}

std::shared_ptr<FolderCollection> Folder::SubFolders() {
  RequireThere();
  return std::make_shared<FolderCollection>(host_path_, code_page_);
}

void Folder::Delete(bool force) {
  RequireThere();
  RemoveFolderTree(host_path_, force, Path());
}

void Folder::Copy(const std::string& destination, bool overwrite) {
  RequireThere();
  fs::path target = Destination(destination, Name());
  if (target.lexically_normal().string().rfind(host_path_.lexically_normal().string() + "/", 0) ==
      0) {
    throw Error(errc::kPermissionDenied,
                "Permission denied: a folder cannot be copied into itself");
  }
  CopyFolderTree(host_path_, target, overwrite, destination);
}

void Folder::Move(const std::string& destination) {
  RequireThere();
  fs::path target = Destination(destination, Name());
  MoveEntry(host_path_, target, destination);
  host_path_ = target;
}

std::shared_ptr<TextStream> Folder::CreateTextFile(const std::string& name, bool overwrite,
                                                   bool unicode) {
  RequireThere();
  RequirePlainName(name);
  fs::path file = host_path_ / name;
  return TextStream::Open(file, paths::ToPagePath(file), kForWriting,
                          overwrite ? OpenRule::kReplace : OpenRule::kCreateNew,
                          unicode ? kTristateTrue : kTristateFalse, code_page_);
}

FileCollection::FileCollection(fs::path folder, int32_t code_page)
    : folder_(std::move(folder)), code_page_(code_page) {}

int32_t FileCollection::Count() { return static_cast<int32_t>(EntryNames(folder_, false).size()); }

std::shared_ptr<File> FileCollection::Item(const std::string& name) {
  RequirePlainName(name);
  std::error_code ec;
  if (!fs::is_regular_file(fs::symlink_status(folder_ / name, ec))) {
    throw Error(errc::kFileNotFound, "File not found: " + paths::ToPagePath(folder_ / name));
  }
  return std::make_shared<File>(folder_ / name, code_page_);
}

std::vector<Variant> FileCollection::Enumerate() {
  std::vector<Variant> items;
  for (const std::string& name : EntryNames(folder_, false)) {
    items.emplace_back(std::make_shared<File>(folder_ / name, code_page_));
  }
  return items;
}

FolderCollection::FolderCollection(fs::path folder, int32_t code_page)
    : folder_(std::move(folder)), code_page_(code_page) {}

int32_t FolderCollection::Count() { return static_cast<int32_t>(EntryNames(folder_, true).size()); }

std::shared_ptr<Folder> FolderCollection::Item(const std::string& name) {
  RequirePlainName(name);
  std::error_code ec;
  if (!fs::is_directory(fs::symlink_status(folder_ / name, ec))) {
    throw Error(errc::kPathNotFound, "Path not found: " + paths::ToPagePath(folder_ / name));
  }
  return std::make_shared<Folder>(folder_ / name, code_page_);
}

std::shared_ptr<Folder> FolderCollection::Add(const std::string& name) {
  RequirePlainName(name);
  fs::path made = folder_ / name;
  if (::mkdir(made.c_str(), 0777) != 0) FailWithErrno(errno, paths::ToPagePath(made));
  return std::make_shared<Folder>(made, code_page_);
}

std::vector<Variant> FolderCollection::Enumerate() {
  std::vector<Variant> items;
  for (const std::string& name : EntryNames(folder_, true)) {
    items.emplace_back(std::make_shared<Folder>(folder_ / name, code_page_));
  }
  return items;
}

const MemberTable& File::Members() const {
  static const MemberTable table =
      MemberTableBuilder<File>("IFile")
          .Get<&File::Path>("Path")
          .Default()
          .Get<&File::Name>("Name")
          .Let<&File::SetName>("Name", {Arg("pbstrName")})
          .Get<&File::Size>("Size")
          .Get<&File::Type>("Type")
          .Get<&File::DateCreated>("DateCreated")
          .Get<&File::DateLastModified>("DateLastModified")
          .Get<&File::DateLastAccessed>("DateLastAccessed")
          .Get<&File::Attributes>("Attributes")
          .Get<&File::ParentFolder>("ParentFolder")
          .Method<&File::Delete>("Delete", {Arg("Force").Optional(false)})
          .Method<&File::Copy>("Copy", {Arg("Destination"), Arg("OverWriteFiles").Optional(true)})
          .Method<&File::Move>("Move", {Arg("Destination")})
          .Method<&File::OpenAsTextStream>(
              "OpenAsTextStream",
              {Arg("IOMode").Optional(kForReading), Arg("Format").Optional(kTristateFalse)})
          .Build();
  return table;
}

const MemberTable& Folder::Members() const {
  static const MemberTable table =
      MemberTableBuilder<Folder>("IFolder")
          .Get<&Folder::Path>("Path")
          .Default()
          .Get<&Folder::Name>("Name")
          .Let<&Folder::SetName>("Name", {Arg("pbstrName")})
          .Get<&Folder::Size>("Size")
          .Get<&Folder::Type>("Type")
          .Get<&Folder::DateCreated>("DateCreated")
          .Get<&Folder::DateLastModified>("DateLastModified")
          .Get<&Folder::DateLastAccessed>("DateLastAccessed")
          .Get<&Folder::Attributes>("Attributes")
          .Get<&Folder::ParentFolder>("ParentFolder")
          .Get<&Folder::IsRootFolder>("IsRootFolder")
          .Get<&Folder::Files>("Files")
          .Get<&Folder::SubFolders>("SubFolders")
          .Method<&Folder::Delete>("Delete", {Arg("Force").Optional(false)})
          .Method<&Folder::Copy>("Copy", {Arg("Destination"), Arg("OverWriteFiles").Optional(true)})
          .Method<&Folder::Move>("Move", {Arg("Destination")})
          .Method<&Folder::CreateTextFile>(
              "CreateTextFile",
              {Arg("FileName"), Arg("Overwrite").Optional(true), Arg("Unicode").Optional(false)})
          .Build();
  return table;
}

const MemberTable& FileCollection::Members() const {
  static const MemberTable table = MemberTableBuilder<FileCollection>("IFileCollection")
                                       .Get<&FileCollection::Item>("Item", {Arg("Key")})
                                       .Default()
                                       .Get<&FileCollection::Count>("Count")
                                       .Build();
  return table;
}

const MemberTable& FolderCollection::Members() const {
  static const MemberTable table = MemberTableBuilder<FolderCollection>("IFolderCollection")
                                       .Get<&FolderCollection::Item>("Item", {Arg("Key")})
                                       .Default()
                                       .Get<&FolderCollection::Count>("Count")
                                       .Method<&FolderCollection::Add>("Add", {Arg("Name")})
                                       .Build();
  return table;
}

}  // namespace mirelda::data
