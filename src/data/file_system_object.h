// "Scripting.FileSystemObject": the file operations pages use, on page paths resolved through the
// path map (so ".." never climbs above a drive's folder and network paths are refused). Errors
// carry the page language's numbers: 5 invalid procedure call, 53 file not found, 58 file already
// exists, 62 input past end of file, 70 permission denied, 76 path not found.
//
// ANSI text files are in the code page of the page that created the object (its Session.CodePage
// when it was made by Server.CreateObject, else 936).
#pragma once

#include <memory>
#include <string>

#include "data/file_object.h"
#include "data/file_operations.h"
#include "data/live_objects.h"
#include "data/text_stream.h"
#include "mirelda/data.h"
#include "mirelda/host.h"

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

  // Text files. iomode kForReading, kForWriting or kForAppending; create makes a missing file
  // (else 53); format a Tristate (Unicode for kTristateTrue).
  std::shared_ptr<TextStream> OpenTextFile(const std::string& path, int32_t iomode, bool create,
                                           int32_t format);
  // A new file for writing; 58 when it exists and overwrite is false.
  std::shared_ptr<TextStream> CreateTextFile(const std::string& path, bool overwrite, bool unicode);
  // 53 / 76 when there is no such file / folder.
  std::shared_ptr<File> GetFile(const std::string& path);
  std::shared_ptr<Folder> GetFolder(const std::string& path);
  // 2 is the temporary folder; 0 and 1 (the system's folders) do not exist here (5).
  std::shared_ptr<Folder> GetSpecialFolder(int32_t which);
  // A fresh name of the form "radXXXXX.tmp"; nothing is created.
  std::string GetTempName();
  // Folders with wildcards in the last component, as DeleteFile; 76 when none matches.
  void DeleteFolder(const std::string& spec, bool force);
  // Into destination when it ends in a separator or source has wildcards, else as destination.
  void CopyFolder(const std::string& source, const std::string& destination, bool overwrite);
  void MoveFolder(const std::string& source, const std::string& destination);

  // Text only: the extension without its dot, the name without its extension, the folder part
  // without its trailing separator, the drive ("C:").
  std::string GetExtensionName(const std::string& path);
  std::string GetBaseName(const std::string& path);
  std::string GetParentFolderName(const std::string& path);
  std::string GetDriveName(const std::string& path);
  // The path made absolute and normal, in drive form where a drive holds it.
  std::string GetAbsolutePathName(const std::string& path);

  // The page's context: the code page of its ANSI text files.
  void OnStartPage(const std::shared_ptr<Dispatch>& context);
  void OnEndPage();

  const MemberTable& Members() const override;
  std::optional<Guid> ClassId() const override;

 private:
  int32_t CodePage();

  std::shared_ptr<SessionObject> session_;
  LiveObject live_;
};

}  // namespace mirelda::data
