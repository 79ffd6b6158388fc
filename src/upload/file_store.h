// Stores an uploaded file into the target folder. The content goes to a temporary file in that
// folder first and is renamed into place once complete, so a failed or interrupted write never
// leaves a truncated file and never destroys the file it was to replace. When existing files are
// kept, the rename refuses to replace one, so of two uploads of one name at once only one writes.
// The files of one post are stored together or not at all: a run that stops takes back what it
// stored.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "mirelda/host.h"
#include "mirelda/variant.h"

namespace mirelda::upload {

// True when name can name a file right in the target folder: not empty, not "." or "..", and
// free of "\", "/", ":" and control characters.
bool IsStorableFileName(std::string_view name);

// The files one Upload run has put into place. Unless Keep is called, the destructor takes them
// back, latest first: a file the run created is removed, a file it replaced gets its old content
// back. Keep drops the old contents. Neither raises.
class StoredFiles {
 public:
  StoredFiles() = default;
  ~StoredFiles();
  StoredFiles(const StoredFiles&) = delete;
  StoredFiles& operator=(const StoredFiles&) = delete;

  // target now holds a stored file. previous, when not empty, is a hidden link to the file it
  // replaced; created says that no file of that name was there before.
  void Add(std::filesystem::path target, std::filesystem::path previous, bool created);
  void Keep();

 private:
  struct Entry {
    std::filesystem::path target;
    std::filesystem::path previous;
    bool created;
  };
  std::vector<Entry> entries_;
};

// Stores content as folder + name through the page's file system object (created by ProgID
// "Scripting.FileSystemObject" on each call). A non-empty new_file_name replaces name. folder
// gets a trailing "\" when it has none, kept for later calls. Returns false, writing nothing,
// when the file exists and overwrite_mode is not 2. Empty content creates an absent file empty
// and leaves an existing one as it was. Paths go through the path map. Raises Error when the
// object cannot be created, the new name is not a plain file name, or the file cannot be
// written; a file already in place is then untouched. What it stores is added to stored.
bool SaveUploadedFile(ServerObject& server, std::string& folder, const std::string& name,
                      const std::string& new_file_name, const ByteArray& content,
                      int16_t overwrite_mode, StoredFiles& stored);

}  // namespace mirelda::upload
