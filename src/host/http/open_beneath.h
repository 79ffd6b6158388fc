// Opening a file by a path inside a folder such that nothing on the way can lead out of it: no
// "..", no absolute or outward link, no /proc magic link, whatever the folder's contents are
// changed to while the path is walked.
#pragma once

#include <string_view>

#include "platform/file_descriptor.h"

namespace mirelda::host {

enum class BeneathWay {
  kBest,           // the kernel's openat2 where it has one, else kEachComponent
  kKernel,         // openat2 with RESOLVE_BENEATH: links inside the folder are followed
  kEachComponent,  // one openat per name with O_NOFOLLOW: no link is followed at all
};

// Opens relative ("a/b/c.txt": names separated by "/", none empty, "." or "..") beneath the
// folder open as dir, with open(2)'s flags. Invalid with errno set when it cannot: EXDEV or ELOOP
// for a way out, ENOSYS when the kernel has no openat2 and way is kKernel.
platform::FileDescriptor OpenBeneath(int dir, std::string_view relative, int flags,
                                     BeneathWay way = BeneathWay::kBest);

}  // namespace mirelda::host
