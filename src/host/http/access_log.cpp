#include "host/http/access_log.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace mirelda::host {
namespace {

constexpr size_t kGathered = 16 * 1024;

// The caller holds the log's mutex, so writes from different threads never interleave.
void WriteAll(const std::string& text) {
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(STDERR_FILENO, p, left);
    if (n <= 0) return;
    p += n;
    left -= static_cast<size_t>(n);
  }
}

// Control characters of a request (a raw URI may carry any byte) never reach the log as such.
std::string Printable(std::string_view s) {
  std::string out;
  for (char c : s) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == '"') {
      char buf[5];
      std::snprintf(buf, sizeof buf, "\\x%02X", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

AccessLog::~AccessLog() { Flush(); }

void AccessLog::Flush() {
  std::lock_guard lock(mutex_);
  WriteAll(pending_);
  pending_.clear();
}

void AccessLog::Request(std::string_view remote_address, std::string_view method,
                        std::string_view uri, std::string_view protocol, int status, size_t bytes,
                        std::chrono::steady_clock::duration elapsed) {
  // The time stamp changes once a second; each thread formats it only then.
  thread_local std::time_t stamped = -1;
  thread_local char when[64];
  std::time_t now = std::time(nullptr);
  if (now != stamped) {
    std::tm tm{};
    ::localtime_r(&now, &tm);
    std::strftime(when, sizeof when, "%d/%b/%Y:%H:%M:%S %z", &tm);
    stamped = now;
  }
  double ms = std::chrono::duration<double, std::milli>(elapsed).count();
  char tail[96];
  std::snprintf(tail, sizeof tail, "\" %d %zu %.1fms", status, bytes, ms);
  std::string line = Printable(remote_address) + " - - [" + when + "] \"" + Printable(method) +
                     " " + Printable(uri) + " " + Printable(protocol) + tail + "\n";
  std::lock_guard lock(mutex_);
  pending_ += line;
  if (pending_.size() >= kGathered) {
    WriteAll(pending_);
    pending_.clear();
  }
}

void AccessLog::Line(std::string_view text) {
  std::string line = "mirelda-host: " + Printable(text) + "\n";
  std::lock_guard lock(mutex_);
  pending_ += line;
  WriteAll(pending_);
  pending_.clear();
}

}  // namespace mirelda::host
