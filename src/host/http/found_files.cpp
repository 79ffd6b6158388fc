#include "host/http/found_files.h"

#include <fcntl.h>
#include <time.h>

#include <algorithm>
#include <functional>

namespace mirelda::host {
namespace {

// Per shard; a full shard starts again empty, so a site of many small files keeps those asked
// for since.
constexpr size_t kShardFiles = 256;
constexpr size_t kShardBytes = size_t{1} << 20;

bool SameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mode == b.st_mode && SameTime(a.st_mtim, b.st_mtim) && SameTime(a.st_ctim, b.st_ctim);
}

// A second change within the file system's clock tick of the first leaves the times as they
// were; whole seconds are far coarser than any file system's tick.
bool SettledFor(const struct stat& status) {
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
  time_t changed = std::max(status.st_mtim.tv_sec, status.st_ctim.tv_sec);
  return now.tv_sec - changed >= 2;
}

size_t SizeOf(const FoundFiles::File& file) { return file.content ? file.content->size() : 0; }

}  // namespace

FoundFiles::Shard& FoundFiles::ShardOf(const std::string& url_path) const {
  return shards_[std::hash<std::string>{}(url_path) % shards_.size()];
}

std::optional<FoundFiles::File> FoundFiles::Find(int folder_fd, const std::string& url_path) const {
  if (url_path.size() < 2 || url_path[0] != '/') return std::nullopt;
  Shard& shard = ShardOf(url_path);
  File kept;
  {
    std::lock_guard lock(shard.mutex);
    auto found = shard.files.find(url_path);
    if (found == shard.files.end()) return std::nullopt;
    kept = found->second;
  }
  // The name may now lead anywhere, through any link: only the same unchanged file, read when
  // it was found beneath the folder, is served from here.
  struct stat now {};
  if (::fstatat(folder_fd, url_path.c_str() + 1, &now, 0) == 0 && SameFile(now, kept.status)) {
    kept.status = now;
    return kept;
  }
  std::lock_guard lock(shard.mutex);
  auto found = shard.files.find(url_path);
  if (found != shard.files.end() && SameFile(found->second.status, kept.status)) {
    shard.bytes -= SizeOf(found->second);
    shard.files.erase(found);
  }
  return std::nullopt;
}

void FoundFiles::Keep(const std::string& url_path, std::shared_ptr<const std::string> content,
                      const struct stat& status) {
  if (!SettledFor(status)) return;
  Shard& shard = ShardOf(url_path);
  std::lock_guard lock(shard.mutex);
  auto found = shard.files.find(url_path);
  if (found != shard.files.end()) {
    shard.bytes -= SizeOf(found->second);
    shard.files.erase(found);
  }
  File file{std::move(content), status};
  if (shard.files.size() >= kShardFiles || shard.bytes + SizeOf(file) > kShardBytes) {
    shard.files.clear();
    shard.bytes = 0;
  }
  shard.bytes += SizeOf(file);
  shard.files.emplace(url_path, std::move(file));
}

}  // namespace mirelda::host
