// Closes descriptors on a thread of its own. The last close of a file that has lost its last
// name frees the file's blocks, and for a large file on a disk that is told of every freed
// block (a file system mounted with discard) that takes tens of milliseconds: work a reply
// need not wait for.
#pragma once

#include "platform/file_descriptor.h"

namespace mirelda::platform {

// Closes fd soon, on the closing thread, which starts with the first call and then lives as long
// as the process. Never raises: should the thread fail to start, or have many descriptors still
// waiting, fd is closed right here.
void CloseLater(FileDescriptor fd) noexcept;

}  // namespace mirelda::platform
