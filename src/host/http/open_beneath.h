// Opening a file by a path inside a folder such that nothing on the way can lead out of it: no
// "..", no absolute or outward link, no /proc magic link, whatever the folder's contents are
// changed to while the path is walked.
#pragma once

#include <string_view>

namespace mirelda::host {

// Owns a file descriptor; closes it at the end.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd();
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Hands the descriptor over to the caller, who closes it.
  int Release();

 private:
  int fd_ = -1;
};

enum class BeneathWay {
  kBest,           // the kernel's openat2 where it has one, else kEachComponent
  kKernel,         // openat2 with RESOLVE_BENEATH: links inside the folder are followed
  kEachComponent,  // one openat per name with O_NOFOLLOW: no link is followed at all
};

// Opens relative ("a/b/c.txt": names separated by "/", none empty, "." or "..") beneath the
// folder open as dir, with open(2)'s flags. Invalid with errno set when it cannot: EXDEV or ELOOP
// for a way out, ENOSYS when the kernel has no openat2 and way is kKernel.
UniqueFd OpenBeneath(int dir, std::string_view relative, int flags,
                     BeneathWay way = BeneathWay::kBest);

}  // namespace mirelda::host
