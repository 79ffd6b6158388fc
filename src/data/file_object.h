// The File and Folder objects that the file system object hands out (GetFile, GetFolder,
// ParentFolder, Files, SubFolders), and their two collections. Each names one entry by its host
// path and reads it afresh on every call, so it sees the changes of other pages; page paths come
// back in the drive form of the path map. Belongs to the page that made it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "data/live_objects.h"
#include "mirelda/dispatch.h"

namespace mirelda::data {

class Folder;
class TextStream;

// Attribute bits as pages test them.
inline constexpr int32_t kAttributeReadOnly = 1;
inline constexpr int32_t kAttributeDirectory = 16;
inline constexpr int32_t kAttributeArchive = 32;

// What both File and Folder are: an entry with a name, times and a parent.
class FileEntry : public Dispatch {
 public:
  FileEntry(std::filesystem::path host_path, int32_t code_page);

  std::string Name();
  // Renames the entry in its folder; 58 when the name is taken.
  void SetName(const std::string& name);
  std::string Path();
  Date DateCreated();
  Date DateLastModified();
  Date DateLastAccessed();
  int32_t Attributes();
  // The folder holding the entry; Nothing for the root of a drive.
  std::shared_ptr<Folder> ParentFolder();
  std::string ParentFolderPath();

  const std::filesystem::path& host_path() const { return host_path_; }

 protected:
  // 53 (files) or 76 (folders) when the entry has gone.
  virtual void RequireThere() const = 0;

  std::filesystem::path host_path_;
  int32_t code_page_;
  LiveObject live_;
};

class File final : public FileEntry {
 public:
  using FileEntry::FileEntry;

  // Bytes, as a Long, or a Double past 2 GB.
  Variant Size();
  // "TXT File" from the extension, "File" without one.
  std::string Type();
  void Delete(bool force);
  // destination may end in a separator to name a folder; 58 when taken and not overwrite.
  void Copy(const std::string& destination, bool overwrite);
  void Move(const std::string& destination);
  std::shared_ptr<TextStream> OpenAsTextStream(int32_t iomode, int32_t format);

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "File"; }

 private:
  void RequireThere() const override;
};

class FileCollection;
class FolderCollection;

class Folder final : public FileEntry {
 public:
  using FileEntry::FileEntry;

  // The bytes of every file below it.
  Variant Size();
  std::string Type() { return "File folder"; }
  bool IsRootFolder();
  std::shared_ptr<FileCollection> Files();
  std::shared_ptr<FolderCollection> SubFolders();
  void Delete(bool force);
  void Copy(const std::string& destination, bool overwrite);
  void Move(const std::string& destination);
  std::shared_ptr<TextStream> CreateTextFile(const std::string& name, bool overwrite, bool unicode);

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Folder"; }

 private:
  void RequireThere() const override;
};

// The files or the subfolders of a folder, by name in the order of their names.
class FileCollection final : public Dispatch {
 public:
  FileCollection(std::filesystem::path folder, int32_t code_page);
  int32_t Count();
  // 53 when the folder has no file of that name.
  std::shared_ptr<File> Item(const std::string& name);
  std::vector<Variant> Enumerate() override;

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Files"; }

 private:
  std::filesystem::path folder_;
  int32_t code_page_;
  LiveObject live_;
};

class FolderCollection final : public Dispatch {
 public:
  FolderCollection(std::filesystem::path folder, int32_t code_page);
  int32_t Count();
  // 76 when the folder has no subfolder of that name.
  std::shared_ptr<Folder> Item(const std::string& name);
  // Makes a subfolder; 58 when the name is taken.
  std::shared_ptr<Folder> Add(const std::string& name);
  std::vector<Variant> Enumerate() override;

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Folders"; }

 private:
  std::filesystem::path folder_;
  int32_t code_page_;
  LiveObject live_;
};

// The names in a folder of files (folders false) or of folders, sorted without regard to case.
std::vector<std::string> EntryNames(const std::filesystem::path& folder, bool folders);

// A single name within a folder: no separators, not "." or "..", not empty (5 otherwise).
void RequirePlainName(const std::string& name);

}  // namespace mirelda::data
