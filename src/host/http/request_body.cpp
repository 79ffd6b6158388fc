#include "host/http/request_body.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "mirelda/error.h"
#include "mirelda/mapped_file.h"
#include "platform/errno_error.h"

namespace mirelda::host {
namespace {

// A spooled body is written in pieces this large, not in the small reads the connection gets:
// a large upload costs a few hundred writes instead of thousands.
constexpr size_t kSpoolPiece = size_t{256} << 10;

Error SystemFailure(const std::string& what) {
  int err = errno;
  return Error(platform::LookUpErrno(err).number, what + ": " + std::strerror(err));
}

// An unlinked file: O_TMPFILE where the file system has it, else a named file removed at once,
// so that no path ever outlives the descriptor.
int OpenUnlinkedFile(const std::filesystem::path& folder) {
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  std::string name = (folder / "body-XXXXXX").string();
  fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) throw SystemFailure("cannot make a file for a request body in " + folder.string());
  ::unlink(name.c_str());
  return fd;
}

}  // namespace

RequestBody::RequestBody(uint64_t memory_limit, std::filesystem::path spool_folder)
    : memory_limit_(memory_limit), spool_folder_(std::move(spool_folder)) {}

RequestBody::~RequestBody() {
  if (fd_ >= 0) ::close(fd_);
}

void RequestBody::Expect(uint64_t declared) {
  if (declared > memory_limit_) {
    Spool();
  } else {
    memory_.reserve(static_cast<size_t>(declared));
  }
}

void RequestBody::Append(const char* text, size_t size) {
  // As bytes, so that the vectors copy them as one block rather than converting each char.
  const auto* data = reinterpret_cast<const uint8_t*>(text);
  if (fd_ < 0 && size_ + size > memory_limit_) Spool();
  if (fd_ >= 0) {
    if (pending_.size() + size > kSpoolPiece) Flush();
    if (size >= kSpoolPiece) {
      Write(text, size);
    } else {
      pending_.insert(pending_.end(), data, data + size);
    }
  } else {
    memory_.insert(memory_.end(), data, data + size);
  }
  size_ += size;
}

void RequestBody::Spool() {
  if (fd_ >= 0) return;
  fd_ = OpenUnlinkedFile(spool_folder_);
  Write(reinterpret_cast<const char*>(memory_.data()), memory_.size());
  std::vector<uint8_t>().swap(memory_);
  pending_.reserve(kSpoolPiece);
}

void RequestBody::Flush() {
  Write(reinterpret_cast<const char*>(pending_.data()), pending_.size());
  pending_.clear();
}

void RequestBody::Write(const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw SystemFailure("cannot write a request body to " + spool_folder_.string());
    data += n;
    size -= static_cast<size_t>(n);
  }
}

ByteArray RequestBody::Finish() {
  if (fd_ < 0) return ByteArray(std::move(memory_));
  if (size_ == 0) return ByteArray();
  Flush();
  std::vector<uint8_t>().swap(pending_);
  // The map keeps the unlinked file, and its descriptor, for as long as the body is used.
  int fd = fd_;
  fd_ = -1;
  std::shared_ptr<const MappedFile> map = MappedFile::Map(fd, static_cast<size_t>(size_));
  // Pages read bodies front to back; the kernel may read ahead and drop what lies behind.
  ::madvise(const_cast<uint8_t*>(map->data()), map->size(), MADV_SEQUENTIAL);
  return ByteArray(map, map->data(), map->size());
}

}  // namespace mirelda::host
