#include "host/http/compressed_files.h"

#include "host/http/content_encoding.h"
#include "host/http/read_whole.h"

namespace mirelda::host {
namespace {

// The cache as a whole holds at most kMaxKept bytes and starts afresh when full, which a site of
// ordinary style sheets and scripts never reaches.
constexpr uint64_t kMaxKept = uint64_t{64} << 20;

}  // namespace

std::shared_ptr<const std::string> CompressedFiles::Get(const std::string& path, int fd,
                                                        uint64_t size, int64_t modified) {
  if (size > kMaxFile) return nullptr;
  if (auto found = Find(path, size, modified)) return found;
  std::optional<std::string> content = ReadWhole(fd, static_cast<size_t>(size));
  if (!content) return nullptr;
  return Keep(path, *content, modified);
}

std::shared_ptr<const std::string> CompressedFiles::Get(const std::string& path,
                                                        const std::string& content,
                                                        int64_t modified) {
  if (content.size() > kMaxFile) return nullptr;
  if (auto found = Find(path, content.size(), modified)) return found;
  return Keep(path, content, modified);
}

std::shared_ptr<const std::string> CompressedFiles::Find(const std::string& path, uint64_t size,
                                                         int64_t modified) {
  std::lock_guard lock(mutex_);
  auto it = entries_.find(path);
  if (it != entries_.end() && it->second.size == size && it->second.modified == modified) {
    return it->second.gzip;
  }
  return nullptr;
}

std::shared_ptr<const std::string> CompressedFiles::Keep(const std::string& path,
                                                         const std::string& content,
                                                         int64_t modified) {
  std::optional<std::string> gzip = GzipToKeep(content);
  if (!gzip) return nullptr;
  auto kept = std::make_shared<const std::string>(std::move(*gzip));
  std::lock_guard lock(mutex_);
  if (kept_ + kept->size() > kMaxKept) {
    entries_.clear();
    kept_ = 0;
  }
  Entry entry{content.size(), modified, kept};
  auto [it, inserted] = entries_.try_emplace(path, entry);
  if (!inserted) {
    kept_ -= it->second.gzip->size();
    it->second = entry;
  }
  kept_ += kept->size();
  return kept;
}

}  // namespace mirelda::host
