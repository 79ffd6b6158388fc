// Files mapped read-only whose bytes reach pages and components as ByteArrays: request bodies the
// host has spooled to disk. Whoever finds bytes of its own inside one may copy them file to file
// and let the pages it has read leave the process's memory; neither is possible for plain memory,
// which is why the map can be looked up from any pointer into it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "mirelda/export.h"

namespace mirelda {

class MIRELDA_API MappedFile : public std::enable_shared_from_this<MappedFile> {
 public:
  // Maps the first size bytes (more than 0) of fd read-only and takes fd over, closing it when
  // the map goes. Throws Error (its number from the errno table) when the map fails; fd is closed then as well.
  static std::shared_ptr<const MappedFile> Map(int fd, size_t size);
  // The live map that holds all of [data, data + size), or nullptr.
  static std::shared_ptr<const MappedFile> Containing(const uint8_t* data, size_t size);

  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  // The file, open for reading, for copies that need not pass through memory.
  int fd() const { return fd_; }
  // Drops the whole pages inside [data, data + size) from the process's resident memory. The
  // bytes stay as they are: touched again, they are read back from the file.
  void Release(const uint8_t* data, size_t size) const;

 private:
  MappedFile(int fd, const uint8_t* data, size_t size);

  int fd_;
  const uint8_t* data_;
  size_t size_;
};

}  // namespace mirelda
