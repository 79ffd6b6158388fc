// Stores uploaded files into the target folder. Each content goes to a temporary file in that
// folder first and is renamed into place once complete, so a failed or interrupted write never
// leaves a truncated file and never destroys the file it was to replace. When existing files are
// kept, the rename refuses to replace one, so of two uploads of one name at once only one writes.
// The files of one post are stored together or not at all: a run that stops takes back what it
// stored. They are also flushed together: all are written first, then flushed, then named, and
// each folder is flushed once, so a post of many small files waits for the disk a few times
// rather than twice per file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mirelda/host.h"
#include "mirelda/variant.h"
#include "platform/atomic_file.h"

namespace mirelda::upload {

// True when name can name a file right in the target folder: not empty, not "." or "..", and
// free of "\", "/", ":" and control characters.
bool IsStorableFileName(std::string_view name);

// The files of one Upload run: written under temporary names by SaveUploadedFile, put into place
// by Place. Unless Keep is called, the destructor takes everything back, latest first: a
// temporary file is removed, a file the run created is removed, a file it replaced gets its old
// content back. Keep drops the old contents. Neither raises.
class StoredFiles {
 public:
  StoredFiles() = default;
  ~StoredFiles();
  StoredFiles(const StoredFiles&) = delete;
  StoredFiles& operator=(const StoredFiles&) = delete;

  // A file written under its temporary name (nullptr for empty content, which is created in
  // place), to take target's name at Place. name is the client's, for the page's message.
  void Add(std::unique_ptr<platform::AtomicFile> written, std::filesystem::path target,
           std::string name, bool overwrite);
  // Flushes every written file, gives each its name in the order added, then flushes each folder
  // once. Returns the client's name of the first file whose target another file took meanwhile
  // (existing files kept), stopping there. Raises Error when a flush or rename fails.
  std::optional<std::string> Place();
  void Keep();

 private:
  static constexpr size_t kOpenAtOnce = 32;

  struct Pending {
    std::unique_ptr<platform::AtomicFile> written;
    std::filesystem::path target;
    std::string name;
    bool overwrite;
  };
  // Flushes, and so closes, the written files from flushed_ on.
  void FlushWritten();

  struct Placed {
    std::filesystem::path target;
    std::filesystem::path previous;  // a hidden link to the file it replaced, or empty
    bool created;                    // no file of that name was there before
  };
  std::vector<Pending> pending_;
  std::vector<Placed> placed_;
  size_t flushed_ = 0;  // the pending files before this one are flushed
};

// Stores content as folder + name through the page's file system object (created by ProgID
// "Scripting.FileSystemObject" on each call). A non-empty new_file_name replaces name. folder
// gets a trailing "\" when it has none, kept for later calls. Returns false, writing nothing,
// when the file exists and overwrite_mode is not 2. Empty content creates an absent file empty
// and leaves an existing one as it was. Paths go through the path map. Raises Error when the
// object cannot be created, the new name is not a plain file name, or the file cannot be
// written; a file already in place is then untouched. The content is written now and added to
// stored, whose Place gives it its name.
bool SaveUploadedFile(ServerObject& server, std::string& folder, const std::string& name,
                      const std::string& new_file_name, const ByteArray& content,
                      int16_t overwrite_mode, StoredFiles& stored);

}  // namespace mirelda::upload
