// The host's log on standard error: one line per request (address, time, request line, status,
// bytes, duration) and one per page error. Lines from different threads never mix. Request lines
// are gathered and written together (one write per 16 KiB under load) when the buffer fills or
// Flush is called; other lines are written at once, after what was gathered. Safe from any thread.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <string_view>

namespace mirelda::host {

class AccessLog {
 public:
  AccessLog() = default;
  // Writes what is gathered.
  ~AccessLog();
  AccessLog(const AccessLog&) = delete;
  AccessLog& operator=(const AccessLog&) = delete;

  void Request(std::string_view remote_address, std::string_view method, std::string_view uri,
               std::string_view protocol, int status, size_t bytes,
               std::chrono::steady_clock::duration elapsed);
  void Line(std::string_view text);
  // Writes the request lines gathered so far; the server calls it whenever it falls idle.
  void Flush();

 private:
  std::mutex mutex_;
  std::string pending_;
};

}  // namespace mirelda::host
