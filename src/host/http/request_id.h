// The id of one request: 16 hex digits on its access line, its page-error lines and its
// X-Request-Id header, so that the lines of one request can be found together.
#pragma once

#include <string>

namespace mirelda::host {

// A new id, different from every other this process hands out. Safe from any thread.
std::string NewRequestId();

}  // namespace mirelda::host
