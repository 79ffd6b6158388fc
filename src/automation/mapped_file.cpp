#include "mirelda/mapped_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <cstring>
#include <string>
#include <vector>

#include "mirelda/error.h"
#include "platform/closing_thread.h"
#include "platform/errno_error.h"

namespace mirelda {
namespace {

// The live maps, for Containing; a process holds a handful at a time (one per large body).
std::mutex maps_mutex;
std::vector<const MappedFile*> maps;

}  // namespace

std::shared_ptr<const MappedFile> MappedFile::Map(int fd, size_t size) {
  void* address = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  if (address == MAP_FAILED) {
    int error = errno;
    ::close(fd);
    throw Error(platform::LookUpErrno(error).number,
                std::string("cannot map a file: ") + std::strerror(error));
  }
  std::shared_ptr<const MappedFile> map(
      new MappedFile(fd, static_cast<const uint8_t*>(address), size));
  std::lock_guard lock(maps_mutex);
  maps.push_back(map.get());
  return map;
}

std::shared_ptr<const MappedFile> MappedFile::Containing(const uint8_t* data, size_t size) {
  std::lock_guard lock(maps_mutex);
  for (const MappedFile* map : maps) {
    if (data >= map->data_ && size <= map->size_ &&
        static_cast<size_t>(data - map->data_) <= map->size_ - size) {
      // A map whose last owner is going still sits in the list until its destructor runs.
      std::shared_ptr<const MappedFile> alive = map->weak_from_this().lock();
      if (alive) return alive;
    }
  }
  return nullptr;
}

MappedFile::MappedFile(int fd, const uint8_t* data, size_t size)
    : fd_(fd), data_(data), size_(size) {}

MappedFile::~MappedFile() {
  {
    std::lock_guard lock(maps_mutex);
    maps.erase(std::remove(maps.begin(), maps.end(), this), maps.end());
  }
  ::munmap(const_cast<uint8_t*>(data_), size_);
  // The last close of a spooled body drops its cached pages, milliseconds for a large one, and
  // the page's reply would otherwise wait for it.
  platform::CloseLater(platform::FileDescriptor(fd_));
}

void MappedFile::Release(const uint8_t* data, size_t size) const {
  auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  auto first = (reinterpret_cast<uintptr_t>(data) + page - 1) / page * page;
  auto last = (reinterpret_cast<uintptr_t>(data) + size) / page * page;
  auto begin = reinterpret_cast<uintptr_t>(data_);
  first = std::max(first, begin);
  last = std::min(last, begin + size_);
  // Of a shared file map, MADV_DONTNEED only unmaps: the pages stay in the file's cache.
  if (first < last) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

}  // namespace mirelda
