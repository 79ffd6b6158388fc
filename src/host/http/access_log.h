// The host's logs: one line per request (the combined format of web servers, then the request
// id and the time taken) and the error lines (page errors and the host's messages). Each goes to
// standard error or to a file of its own; Reopen opens the files anew, for log rotation. Lines
// from different threads never mix. Request lines are gathered and written together (one write
// per 16 KiB under load) when the buffer fills or Flush is called; error lines are written at
// once, after what was gathered. Safe from any thread.
#pragma once

#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace mirelda::host {

struct AccessEntry {
  std::string_view remote_address;
  std::string_view method;
  std::string_view uri;
  std::string_view protocol;
  int status = 0;
  size_t bytes = 0;
  std::string_view referer;
  std::string_view user_agent;
  std::string_view request_id;
  std::chrono::steady_clock::duration elapsed{};
};

class AccessLog {
 public:
  // Both on standard error.
  AccessLog() = default;
  // Throws Error (its number from the errno table) when a file cannot be opened for appending.
  AccessLog(std::optional<std::filesystem::path> access_file,
            std::optional<std::filesystem::path> error_file);
  // Writes what is gathered.
  ~AccessLog();
  AccessLog(const AccessLog&) = delete;
  AccessLog& operator=(const AccessLog&) = delete;

  void Request(const AccessEntry& entry);
  void Line(std::string_view text);
  // Writes the request lines gathered so far; the server calls it whenever it falls idle.
  void Flush();
  // Writes what is gathered, then opens the log files again by name (a renamed file is left to
  // whoever renamed it). A file that cannot be opened keeps the old one and is named in the
  // error log.
  void Reopen();

 private:
  static int Open(const std::filesystem::path& file);
  void WriteGathered();  // under mutex_

  std::optional<std::filesystem::path> access_file_;
  std::optional<std::filesystem::path> error_file_;
  std::mutex mutex_;
  int access_fd_ = 2;
  int error_fd_ = 2;
  std::string pending_;
};

}  // namespace mirelda::host
