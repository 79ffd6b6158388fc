// "Scripting.FileSystemObject": the file operations pages use, on page paths resolved through the
// path map. Errors carry the page language's numbers: 53 file not found, 58 file already exists,
// 70 permission denied, 76 path not found.
#pragma once

#include <string>

#include "data/live_objects.h"
#include "mirelda/data.h"

namespace mirelda::data {

class FileSystemObjectImpl final : public FileSystemObject {
 public:
  // "*" and "?" in the last component match any run of characters and any one character; only
  // files are deleted. 53 when nothing matches; 70, deleting nothing, when a matching file is
  // read-only (no write permission for anyone) and force is false.
  void DeleteFile(const std::string& spec, bool force) override;
  // The source may name several files with wildcards; the destination is a file, or a folder
  // when it ends in a separator. The copy appears whole or not at all. 58 when the destination
  // exists and overwrite is false, 70 when it is a folder.
  void CopyFile(const std::string& source, const std::string& destination, bool overwrite) override;
  // 58 when the destination exists.
  void MoveFile(const std::string& source, const std::string& destination) override;
  // False also for paths that cannot be resolved.
  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  // 58 when it exists, 76 when its parent does not.
  void CreateFolder(const std::string& path) override;
  // The last component, ignoring trailing separators; text only, the file need not exist.
  std::string GetFileName(const std::string& path) override;
  // path and name joined with "\" unless path already ends in a separator or a drive colon.
  std::string BuildPath(const std::string& path, const std::string& name) override;
  std::optional<Guid> ClassId() const override;

 private:
  LiveObject live_;
};

// True when name matches pattern: "*" any run of characters, "?" exactly one, all else itself.
bool WildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace mirelda::data
