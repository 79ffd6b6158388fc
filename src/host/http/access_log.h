// The host's log on standard error: one line per request (address, time, request line, status,
// bytes, duration) and one per page error. Lines from different threads never mix.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace mirelda::host {

class AccessLog {
 public:
  void Request(std::string_view remote_address, std::string_view method, std::string_view uri,
               std::string_view protocol, int status, size_t bytes,
               std::chrono::steady_clock::duration elapsed);
  void Line(std::string_view text);
};

}  // namespace mirelda::host
