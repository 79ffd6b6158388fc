#include "host/http/access_log.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace mirelda::host {
namespace {

// One write(2) per line: the kernel keeps concurrent writes of a pipe or file whole.
void WriteLine(std::string line) {
  line += '\n';
  const char* p = line.data();
  size_t left = line.size();
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

void AccessLog::Request(std::string_view remote_address, std::string_view method,
                        std::string_view uri, std::string_view protocol, int status, size_t bytes,
                        std::chrono::steady_clock::duration elapsed) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&now, &tm);
  char when[64];
  std::strftime(when, sizeof when, "%d/%b/%Y:%H:%M:%S %z", &tm);
  double ms = std::chrono::duration<double, std::milli>(elapsed).count();
  char tail[96];
  std::snprintf(tail, sizeof tail, "\" %d %zu %.1fms", status, bytes, ms);
  WriteLine(Printable(remote_address) + " - - [" + when + "] \"" + Printable(method) + " " +
            Printable(uri) + " " + Printable(protocol) + tail);
}

void AccessLog::Line(std::string_view text) { WriteLine("mirelda-host: " + Printable(text)); }

}  // namespace mirelda::host
