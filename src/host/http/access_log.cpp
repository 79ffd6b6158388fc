#include "host/http/access_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>

#include "mirelda/error.h"
#include "platform/errno_error.h"

namespace mirelda::host {
namespace {

constexpr size_t kGathered = 16 * 1024;

// The caller holds the log's mutex, so writes from different threads never interleave.
void WriteAll(int fd, const std::string& text) {
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    p += n;
    left -= static_cast<size_t>(n);
  }
}

// Control characters of a request (a raw URI may carry any byte) never reach the log as such,
// nor a quote (or, in a field of a request line, a backslash) that would end or blur a quoted
// field.
void AppendPrintable(std::string& out, std::string_view s, bool field = false) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  // Runs of plain bytes, nearly always the whole text, are appended at once.
  size_t plain = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    auto u = static_cast<unsigned char>(s[i]);
    if (u >= 0x20 && u != 0x7F && u != '"' && !(field && u == '\\')) continue;
    out.append(s.data() + plain, i - plain);
    const char escaped[] = {'\\', 'x', kHex[u >> 4], kHex[u & 0xF]};
    out.append(escaped, sizeof escaped);
    plain = i + 1;
  }
  out.append(s.data() + plain, s.size() - plain);
}

std::string Printable(std::string_view s) {
  std::string out;
  AppendPrintable(out, s);
  return out;
}

// A field the combined format quotes: "-" when empty.
void AppendQuoted(std::string& out, std::string_view s) {
  out += '"';
  if (s.empty()) {
    out += '-';
  } else {
    AppendPrintable(out, s, true);
  }
  out += '"';
}

template <typename Number>
void AppendNumber(std::string& out, Number n) {
  char digits[24];
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, n);
  out.append(digits, end);
}

}  // namespace

AccessLog::AccessLog(std::optional<std::filesystem::path> access_file,
                     std::optional<std::filesystem::path> error_file)
    : access_file_(std::move(access_file)), error_file_(std::move(error_file)) {
  auto fail = [](const std::filesystem::path& file) {
    int err = errno;
    return Error(platform::LookUpErrno(err).number,
                 "cannot open the log file " + file.string() + ": " + std::strerror(err));
  };
  if (access_file_) {
    access_fd_ = Open(*access_file_);
    if (access_fd_ < 0) throw fail(*access_file_);
  }
  if (error_file_) {
    error_fd_ = Open(*error_file_);
    if (error_fd_ < 0) {
      Error error = fail(*error_file_);
      if (access_fd_ > 2) ::close(access_fd_);
      throw error;
    }
  }
}

AccessLog::~AccessLog() {
  Flush();
  if (access_fd_ > 2) ::close(access_fd_);
  if (error_fd_ > 2) ::close(error_fd_);
}

int AccessLog::Open(const std::filesystem::path& file) {
  return ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

void AccessLog::WriteGathered() {
  WriteAll(access_fd_, pending_);
  pending_.clear();
}

void AccessLog::Flush() {
  std::lock_guard lock(mutex_);
  WriteGathered();
}

void AccessLog::Reopen() {
  std::string failed;
  {
    std::lock_guard lock(mutex_);
    WriteGathered();
    for (auto [file, fd] : {std::pair{&access_file_, &access_fd_}, {&error_file_, &error_fd_}}) {
      if (!*file) continue;
      int opened = Open(**file);
      if (opened < 0) {
        failed += " " + (*file)->string() + " (" + std::strerror(errno) + ")";
        continue;
      }
      ::close(*fd);
      *fd = opened;
    }
  }
  if (!failed.empty())
    Line("cannot reopen the log files" + failed + "; writing on to the old ones");
}

void AccessLog::Request(const AccessEntry& e) {
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
  // Tenths of a millisecond, rounded, as "%.1f" would print them.
  auto tenths =
      (std::chrono::duration_cast<std::chrono::microseconds>(e.elapsed).count() + 50) / 100;
  thread_local std::string line;
  line.clear();
  AppendPrintable(line, e.remote_address, true);
  line += " - - [";
  line += when;
  line += "] \"";
  AppendPrintable(line, e.method, true);
  line += ' ';
  AppendPrintable(line, e.uri, true);
  line += ' ';
  AppendPrintable(line, e.protocol, true);
  line += "\" ";
  AppendNumber(line, e.status);
  line += ' ';
  AppendNumber(line, e.bytes);
  line += ' ';
  AppendQuoted(line, e.referer);
  line += ' ';
  AppendQuoted(line, e.user_agent);
  line += ' ';
  AppendPrintable(line, e.request_id, true);
  line += ' ';
  AppendNumber(line, tenths / 10);
  line += '.';
  AppendNumber(line, tenths % 10);
  line += "ms\n";
  std::lock_guard lock(mutex_);
  pending_ += line;
  if (pending_.size() >= kGathered) WriteGathered();
}

void AccessLog::Line(std::string_view text) {
  std::string line = "mirelda-host: " + Printable(text) + "\n";
  std::lock_guard lock(mutex_);
  // On one stream the request lines come first, in the order things happened.
  WriteGathered();
  WriteAll(error_fd_, line);
}

}  // namespace mirelda::host
