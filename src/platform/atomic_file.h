// Atomic replacement of a file: the content goes to a temporary name in the target's folder, is
// flushed to disk, and only then takes the target's name; the folder is flushed after the rename.
// A reader, or a crash at any point, finds the old file or the new one, never a part of either.
//
// Every step reports 0 or the errno of its failure, so that each caller keeps its own error
// numbers and wording. Not shared between threads.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string_view>

#include "platform/file_descriptor.h"

namespace mirelda::platform {

// The process's file creation mask, read without changing it (setting the mask to learn it
// would leave it open to other threads' creates for a moment).
mode_t CreationMask();

// Flushes a folder so that a rename inside it lasts. File systems that cannot flush a folder
// (EINVAL) count as done.
int SyncFolder(const std::filesystem::path& folder);

class AtomicFile {
 public:
  // Nothing is created until Create; the destructor removes a temporary that never took the
  // target's name.
  explicit AtomicFile(std::filesystem::path target);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary beside the target with exactly the permission bits in mode.
  int Create(mode_t mode);
  int Write(std::string_view bytes);
  // fsync and close of the temporary: after this, its content is on disk.
  int Flush();
  // Gives the flushed temporary the target's name. Without replace an existing target stays
  // (EEXIST), tested and renamed in one step (RENAME_NOREPLACE, or a hard link where the file
  // system has no exclusive rename).
  int Rename(bool replace);
  // Flushes the target's folder, after Rename.
  int SyncFolder() const;
  // Flush, Rename and SyncFolder in that order; the first failure stops and is returned.
  int Commit(bool replace);

  int fd() const { return fd_.get(); }
  const std::filesystem::path& temporary() const { return temporary_; }
  const std::filesystem::path& target() const { return target_; }

 private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  FileDescriptor fd_;
  bool renamed_ = false;
};

// Creates path with content, replacing an existing file only when replace is true; the whole of
// the sequence above. Permission bits: mode less the creation mask, as a plain create gives.
int ReplaceFile(const std::filesystem::path& path, std::string_view content, bool replace,
                mode_t mode = 0666);

}  // namespace mirelda::platform
