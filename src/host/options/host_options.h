// The settings of mirelda-host, from its command line and an optional config file.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/http/reply.h"

namespace mirelda::host {

struct HostOptions {
  std::filesystem::path site;
  std::string listen_address = "127.0.0.1";
  uint16_t listen_port = 8080;
  std::filesystem::path data = "var";
  std::vector<std::pair<char, std::filesystem::path>> drives;  // in the order given
  char site_drive = 'S';
  int32_t code_page = 936;
  std::string default_language = "VBScript";  // as pages name languages
  std::optional<std::filesystem::path> registry;
  std::chrono::seconds session_timeout{20 * 60};
  std::chrono::seconds script_timeout{90};
  uint64_t max_body = uint64_t{64} << 20;
  uint64_t body_buffer = uint64_t{256} << 10;  // larger bodies are spooled to the data folder
  std::chrono::seconds body_timeout{60};
  std::chrono::seconds connection_timeout{30};  // an idle connection is closed after it
  unsigned max_connections = 1024;
  bool compress = true;                          // gzip for text replies when the client takes it
  uint64_t script_memory = uint64_t{512} << 20;  // the most one page's script values may hold
  unsigned workers = 0;                          // 0: chosen from the processor count
  unsigned io_threads = 2;                       // threads that read and write connections
  // "connection": each connection has a thread of its own that runs its pages; "pool": a few I/O
  // threads serve every connection and hand pages to the workers.
  bool thread_per_connection = false;
  // With "pool": pages quick many times in a row run on the I/O threads, without a hand-over.
  bool quick_pages = true;
  // Headers sent with every reply unless the reply sets them itself; --header changes one,
  // "--header NAME:" drops it.
  Headers headers = DefaultStandingHeaders();
  // The session cookie carries Secure, for a site that browsers reach only over HTTPS.
  bool secure_cookies = false;
  size_t max_sessions = 100000;
  std::string session_store;  // empty: sessions live in this process's memory
  // Error replies show the page's fault, its file and line.
  bool debug_errors = false;
  std::vector<std::pair<int, std::string>> error_pages;  // status, URL path of the site
  std::optional<std::filesystem::path> access_log;       // none: standard error
  std::optional<std::filesystem::path> error_log;        // none: standard error
  std::vector<std::string> trusted_proxies;              // ADDR or ADDR/PREFIX
  std::string health_path;                               // empty: none
  // The mime.types list that names the Content-Type of static files.
  std::filesystem::path mime_types = "/etc/mime.types";
  bool help = false;
  bool version = false;
  // --check DIR: compile the pages of DIR and report their faults instead of serving a site.
  std::optional<std::filesystem::path> check;
  // The config file's "[section]" parts ("[dsn]", "[mail]", ...): key = value lines that belong
  // to the objects pages create, handed to mirelda::settings as they stand.
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> sections;
};

// The text of --help: every option of the table with its default.
std::string HostUsage();

// Reads the command line (argv[1..]) and the config file that --config names. Options on the
// command line win over the file's; drives from both are kept. Relative paths of the file are
// taken from its folder. Throws mirelda::Error (number 5) with a message for the user; one about
// the file starts with "FILE:LINE: ".
HostOptions ParseHostOptions(int argc, const char* const* argv);

}  // namespace mirelda::host
