// Pages and small static files found beneath the site, kept by URL path with the content read
// of the static ones, so that a file asked for again costs one stat instead of a walk beneath the
// folder (and an open, a read and a close). A kept file serves only while its name still leads
// to the same file, unchanged: device, inode, size, mode, modification and change times.
// A file changed within the last two seconds is not kept, since its times may not yet tell the
// next change apart. Safe to use from any thread.
#pragma once

#include <sys/stat.h>

#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace mirelda::host {

class FoundFiles {
 public:
  struct File {
    std::shared_ptr<const std::string> content;  // null for a page
    struct stat status {};                       // as the file is now
  };

  // The content kept for url_path ("/css/site.css") when the path beneath folder_fd still names
  // the file it was read from, unchanged.
  std::optional<File> Find(int folder_fd, const std::string& url_path) const;
  // Keeps a file found beneath the folder, with the content read from it (or none) after its
  // status.
  void Keep(const std::string& url_path, std::shared_ptr<const std::string> content,
            const struct stat& status);

 private:
  struct Shard {
    std::mutex mutex;
    std::unordered_map<std::string, File> files;
    size_t bytes = 0;
  };
  Shard& ShardOf(const std::string& url_path) const;

  // Connection threads ask at once; each path's shard has its own lock.
  mutable std::array<Shard, 16> shards_;
};

}  // namespace mirelda::host
