// gzip forms of the site's static text files, made once per file version (size and modification
// time) and kept for the requests that follow. Safe to use from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace mirelda::host {

class CompressedFiles {
 public:
  // Larger files are sent as they are.
  static constexpr uint64_t kMaxFile = uint64_t{4} << 20;

  // The gzip form of the open file fd at path, whose size and modification time (in ns) the
  // caller has just read; nullptr when the file is too large to keep or cannot be read.
  std::shared_ptr<const std::string> Get(const std::string& path, int fd, uint64_t size,
                                         int64_t modified);
  // The same for a file whose whole content the caller has read.
  std::shared_ptr<const std::string> Get(const std::string& path, const std::string& content,
                                         int64_t modified);

 private:
  std::shared_ptr<const std::string> Find(const std::string& path, uint64_t size, int64_t modified);
  std::shared_ptr<const std::string> Keep(const std::string& path, const std::string& content,
                                          int64_t modified);

  struct Entry {
    uint64_t size;
    int64_t modified;
    std::shared_ptr<const std::string> gzip;
  };
  std::mutex mutex_;
  std::unordered_map<std::string, Entry> entries_;
  uint64_t kept_ = 0;  // bytes of gzip forms held
};

}  // namespace mirelda::host
