// The body of one request as it arrives. Small bodies stay in memory; a body that grows past the
// memory limit goes to an unlinked file in the spool folder, so an upload of any size costs the
// host only its write buffer while it arrives. Finish hands the whole body over at once: the
// memory, or a read-only map of the file. Used by one connection thread at a time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "mirelda/variant.h"

namespace mirelda::host {

class RequestBody {
 public:
  // memory_limit: the most bytes kept in memory; spool_folder: where larger bodies go.
  RequestBody(uint64_t memory_limit, std::filesystem::path spool_folder);
  // Closes the file, which frees its space unless Finish mapped it.
  ~RequestBody();
  RequestBody(const RequestBody&) = delete;
  RequestBody& operator=(const RequestBody&) = delete;

  // The length the client declared: a body that will not fit in memory goes to a file from its
  // first byte on, and one that will is reserved once.
  void Expect(uint64_t declared);
  // Adds the next bytes. Throws Error (its number from the errno table) when the file cannot be
  // made or written.
  void Append(const char* data, size_t size);
  uint64_t size() const { return size_; }
  bool spooled() const { return fd_ >= 0; }

  // The whole body. A spooled body is mapped read-only (a MappedFile, so readers can find its
  // file); the map, and the file under it, live as long as the returned array or any slice of
  // it. Throws Error when the map fails.
  ByteArray Finish();

 private:
  void Spool();
  void Flush();
  void Write(const char* data, size_t size);

  uint64_t memory_limit_;
  std::filesystem::path spool_folder_;
  std::vector<uint8_t> memory_;
  std::vector<uint8_t> pending_;  // spooled bytes not yet written
  int fd_ = -1;
  uint64_t size_ = 0;
};

}  // namespace mirelda::host
