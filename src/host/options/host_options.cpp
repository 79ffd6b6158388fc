#include "host/options/host_options.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <string_view>

#include "mirelda/text.h"

namespace mirelda::host {
namespace {

using Setting = std::pair<std::string, std::string>;  // name without "--", value

uint64_t ParseUnsigned(const std::string& name, const std::string& value, uint64_t max) {
  if (value.empty() || value.size() > 19) {
    throw std::invalid_argument("--" + name + " takes a number, not \"" + value + "\"");
  }
  uint64_t n = 0;
  for (char c : value) {
    if (c < '0' || c > '9') {
      throw std::invalid_argument("--" + name + " takes a number, not \"" + value + "\"");
    }
    n = n * 10 + static_cast<uint64_t>(c - '0');
  }
  if (n > max) throw std::invalid_argument("--" + name + " is at most " + std::to_string(max));
  return n;
}

// Seconds: "30" or "30s".
std::chrono::seconds ParseSeconds(const std::string& name, std::string value) {
  if (!value.empty() && (value.back() == 's' || value.back() == 'S')) value.pop_back();
  uint64_t n = ParseUnsigned(name, value, 86400);
  if (n == 0) throw std::invalid_argument("--" + name + " must be more than 0");
  return std::chrono::seconds(n);
}

// "1048576", "64k", "32M", "1G".
uint64_t ParseBytes(const std::string& name, std::string value) {
  uint64_t unit = 1;
  if (!value.empty()) {
    switch (value.back()) {
      case 'k':
      case 'K':
        unit = uint64_t{1} << 10;
        break;
      case 'm':
      case 'M':
        unit = uint64_t{1} << 20;
        break;
      case 'g':
      case 'G':
        unit = uint64_t{1} << 30;
        break;
      default:
        break;
    }
    if (unit != 1) value.pop_back();
  }
  return ParseUnsigned(name, value, (uint64_t{1} << 40) / unit) * unit;
}

// Minutes ("20"), or seconds with an "s" ("90s").
std::chrono::seconds ParseMinutes(const std::string& name, std::string value) {
  bool seconds = !value.empty() && (value.back() == 's' || value.back() == 'S');
  if (seconds) value.pop_back();
  uint64_t n = ParseUnsigned(name, value, seconds ? 31536000 : 525600);
  if (n == 0) throw std::invalid_argument("--" + name + " must be more than 0");
  return std::chrono::seconds(seconds ? n : n * 60);
}

void ParseListen(const std::string& value, HostOptions& o) {
  size_t colon = value.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    throw std::invalid_argument("--listen takes ADDRESS:PORT, not \"" + value + "\"");
  }
  std::string address = value.substr(0, colon);
  if (address.size() >= 2 && address.front() == '[' && address.back() == ']') {
    address = address.substr(1, address.size() - 2);
  }
  o.listen_address = address;
  o.listen_port = static_cast<uint16_t>(ParseUnsigned("listen", value.substr(colon + 1), 65535));
}

void ParseDrive(const std::string& value, HostOptions& o) {
  size_t eq = value.find('=');
  std::string letter = value.substr(0, eq == std::string::npos ? 0 : eq);
  char c = letter.empty() ? 0 : letter[0];
  bool is_letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  if (eq == std::string::npos || !is_letter || letter.size() > 2 ||
      (letter.size() == 2 && letter[1] != ':') || eq + 1 >= value.size()) {
    throw std::invalid_argument("--drive takes X:=FOLDER, not \"" + value + "\"");
  }
  o.drives.emplace_back(static_cast<char>(c & ~0x20), value.substr(eq + 1));
}

// NAME:VALUE; an empty VALUE drops the header. The name must be a header token and the value
// free of control characters, so no option can split a reply.
void ParseHeader(const std::string& value, HostOptions& o) {
  size_t colon = value.find(':');
  std::string name = value.substr(0, colon == std::string::npos ? 0 : colon);
  bool token = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
  });
  if (!token) throw std::invalid_argument("--header takes NAME:VALUE, not \"" + value + "\"");
  std::string content = text::Trim(value.substr(colon + 1));
  for (unsigned char c : content) {
    if (c < 0x20 || c == 0x7f) {
      throw std::invalid_argument("--header " + name + " has a control character in its value");
    }
  }
  std::erase_if(o.headers,
                [&](const auto& header) { return text::EqualsIgnoreCase(header.first, name); });
  if (!content.empty()) o.headers.emplace_back(name, content);
}

bool ParseSwitch(const std::string& name, const std::string& value) {
  for (const char* yes : {"yes", "true", "on", "1"}) {
    if (text::EqualsIgnoreCase(value, yes)) return true;
  }
  for (const char* no : {"no", "false", "off", "0"}) {
    if (text::EqualsIgnoreCase(value, no)) return false;
  }
  throw std::invalid_argument("--" + name + " takes yes or no, not \"" + value + "\"");
}

void Apply(const Setting& s, HostOptions& o) {
  const std::string& name = s.first;
  const std::string& value = s.second;
  if (name == "site") {
    o.site = value;
  } else if (name == "check") {
    if (value.empty()) throw std::invalid_argument("--check needs a site folder");
    o.check = value;
  } else if (name == "listen") {
    ParseListen(value, o);
  } else if (name == "data") {
    o.data = value;
  } else if (name == "drive") {
    ParseDrive(value, o);
  } else if (name == "site-drive") {
    char c = value.empty() ? 0 : value[0];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) || value.size() > 2 ||
        (value.size() == 2 && value[1] != ':')) {
      throw std::invalid_argument("--site-drive takes a drive letter, not \"" + value + "\"");
    }
    o.site_drive = static_cast<char>(c & ~0x20);
  } else if (name == "codepage") {
    o.code_page = static_cast<int32_t>(ParseUnsigned(name, value, 65535));
  } else if (name == "default-language") {
    if (value.empty()) throw std::invalid_argument("--default-language needs a language name");
    o.default_language = value;
  } else if (name == "registry") {
    o.registry = value;
  } else if (name == "session-timeout") {
    o.session_timeout = ParseMinutes(name, value);
  } else if (name == "script-timeout") {
    uint64_t n = ParseUnsigned(name, value, 86400);
    if (n == 0) throw std::invalid_argument("--script-timeout must be more than 0");
    o.script_timeout = std::chrono::seconds(n);
  } else if (name == "script-memory") {
    o.script_memory = ParseBytes(name, value);
    if (o.script_memory < 4096) throw std::invalid_argument("--script-memory must be at least 4k");
  } else if (name == "max-body") {
    o.max_body = ParseBytes(name, value);
  } else if (name == "body-buffer") {
    o.body_buffer = ParseBytes(name, value);
  } else if (name == "body-timeout") {
    uint64_t n = ParseUnsigned(name, value, 86400);
    if (n == 0) throw std::invalid_argument("--body-timeout must be more than 0");
    o.body_timeout = std::chrono::seconds(n);
  } else if (name == "connection-timeout") {
    o.connection_timeout = ParseSeconds(name, value);
  } else if (name == "max-connections") {
    o.max_connections = static_cast<unsigned>(ParseUnsigned(name, value, 1000000));
    if (o.max_connections == 0) {
      throw std::invalid_argument("--max-connections must be more than 0");
    }
  } else if (name == "compress") {
    if (value != "on" && value != "off") {
      throw std::invalid_argument("--compress takes on or off, not \"" + value + "\"");
    }
    o.compress = value == "on";
  } else if (name == "workers") {
    o.workers = static_cast<unsigned>(ParseUnsigned(name, value, 1024));
  } else if (name == "io-threads") {
    o.io_threads = static_cast<unsigned>(ParseUnsigned(name, value, 64));
    if (o.io_threads == 0) throw std::invalid_argument("--io-threads must be more than 0");
  } else if (name == "header") {
    ParseHeader(value, o);
  } else if (name == "secure-cookies") {
    o.secure_cookies = ParseSwitch(name, value);
  } else {
    throw std::invalid_argument("unknown option --" + name);
  }
}

// Lines before the first "[section]" are host options; the lines of a section go to it.
std::vector<Setting> ReadConfigFile(const std::filesystem::path& file, HostOptions& options) {
  std::ifstream in(file);
  if (!in) throw std::invalid_argument("cannot read the config file " + file.string());
  std::vector<Setting> settings;
  std::vector<Setting>* section = nullptr;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string trimmed = text::Trim(line);
    while (!trimmed.empty() && trimmed[0] == '\t') trimmed = text::Trim(trimmed.substr(1));
    if (trimmed.empty() || trimmed[0] == '#') continue;
    if (trimmed[0] == '[') {
      std::string name = trimmed.size() > 2 && trimmed.back() == ']'
                             ? text::Trim(trimmed.substr(1, trimmed.size() - 2))
                             : std::string();
      if (name.empty()) {
        throw std::invalid_argument(file.string() + ":" + std::to_string(number) +
                                    ": expected \"[section]\"");
      }
      section = &options.sections.emplace_back(name, std::vector<Setting>{}).second;
      continue;
    }
    size_t eq = trimmed.find('=');
    size_t blank = trimmed.find_first_of(" \t");
    size_t split = std::min(eq, blank);
    if (split == std::string::npos) {
      throw std::invalid_argument(file.string() + ":" + std::to_string(number) +
                                  ": expected \"name = value\"");
    }
    std::string name = text::Trim(trimmed.substr(0, split));
    std::string rest = text::Trim(trimmed.substr(split));
    if (!rest.empty() && rest[0] == '=') rest = text::Trim(rest.substr(1));
    if (section) {
      section->emplace_back(name, rest);
      continue;
    }
    if (name == "config" || name == "help" || name == "version" || name == "check") {
      throw std::invalid_argument(file.string() + ":" + std::to_string(number) + ": " + name +
                                  " has no place in a config file");
    }
    settings.emplace_back(name, rest);
  }
  return settings;
}

}  // namespace

std::string HostUsage() {
  return "usage: mirelda-host --site DIR [options]\n"
         "       mirelda-host --check DIR [options]\n"
         "Serves the site folder DIR: .asp files are script pages (VBScript or JavaScript), other\n"
         "files are sent as they are, except page sources, includes, database files and hidden\n"
         "files.\n"
         "\n"
         "  --site DIR              the site folder (required unless --check is given)\n"
         "  --check DIR             serves nothing: compiles global.asa and every .asp file under\n"
         "                          DIR and prints each fault as \"FILE:LINE:COL: error NUMBER:\n"
         "                          DESCRIPTION\" (syntax errors, names Option Explicit refuses,\n"
         "                          calls of functions nothing defines, ProgIDs this host cannot\n"
         "                          create), then \"N pages checked, M problems\"; exits 1 when\n"
         "                          it found any, 0 when none, 2 when DIR is not a folder\n"
         "  --listen ADDR:PORT      where to listen (127.0.0.1:8080; port 0 picks a free port)\n"
         "  --data DIR              data folder (./var); drive C: is DIR/c unless --drive sets it\n"
         "  --drive X:=FOLDER       maps drive X: of page paths to FOLDER (repeatable)\n"
         "  --site-drive X          the drive that stands for the site folder in page paths (S)\n"
         "  --codepage N            code page of requests and responses: 936 (GBK, default) or\n"
         "                          65001 (UTF-8)\n"
         "  --default-language L    language of pages that name none: VBScript (default)\n"
         "                          or JavaScript (also JScript)\n"
         "  --registry FILE         registration store (default $MIRELDA_REGISTRY, else\n"
         "                          DATA/registry)\n"
         "  --session-timeout MIN   idle minutes until a session ends (20); \"90s\" for seconds\n"
         "  --script-timeout SEC    seconds a page may run (90)\n"
         "  --script-memory BYTES   the most one page's script values may hold (512M; k, M and\n"
         "                          G suffixes); a page that needs more fails with Out of memory\n"
         "  --max-body BYTES        largest request body (64M; k, M and G suffixes); larger ones\n"
         "                          are answered 413 before the page runs\n"
         "  --body-buffer BYTES     bodies larger than this (256k) are kept in an unlinked file\n"
         "                          in the data folder while they arrive, not in memory\n"
         "  --body-timeout SEC      a body that sends nothing for this long is dropped (60)\n"
         "  --connection-timeout SEC  a connection that sends nothing for this long, between\n"
         "                          requests or inside one, is closed (30)\n"
         "  --max-connections N     open connections served at once (1024); the ones over it\n"
         "                          are answered 503 and closed\n"
         "  --compress on|off       gzip text replies over 1k for clients that accept it (on)\n"
         "  --workers N             threads that run pages (default: 4 per processor, at least 8)\n"
         "  --io-threads N          threads that read and write connections (2)\n"
         "  --header NAME:VALUE     sends NAME with every reply that does not set it itself\n"
         "                          (repeatable); \"NAME:\" drops it. By default replies carry\n"
         "                          X-Content-Type-Options: nosniff, Referrer-Policy:\n"
         "                          same-origin and X-Frame-Options: SAMEORIGIN\n"
         "  --secure-cookies        the session cookie carries Secure (a site served over\n"
         "                          HTTPS); \"secure-cookies = yes\" in a config file\n"
         "  --config FILE           reads \"name = value\" lines with the option names above\n"
         "                          (without \"--\"); options on the command line win;\n"
         "                          after a \"[section]\" line (\"[dsn]\", \"[mail]\", "
         "\"[http]\")\n"
         "                          the lines are settings of the objects pages create\n"
         "  [mail] smtp-server HOST:PORT  where CDO.Message sends when its Configuration\n"
         "                          names no smtpserver; with it smtp-user and smtp-password\n"
         "                          (basic logon), smtp-ssl yes|no (TLS: from the start on port\n"
         "                          465, else STARTTLS), smtp-timeout SEC (connect, 30) and from\n"
         "                          (the From of a message that sets none)\n"
         "  [http] allow HOST[:PORT] ...  the hosts MSXML2.ServerXMLHTTP may reach, also after\n"
         "                          a redirect; \"*\" or no key: any host\n"
         "  --version               prints the release of this program\n"
         "  --help                  this text\n"
         "\n"
         "On start it prints \"mirelda-host: serving DIR at http://ADDR:PORT/\" to standard\n"
         "output. It logs one line per request and every page error to standard error, and on\n"
         "SIGINT or SIGTERM finishes the requests in flight and exits 0. SIGHUP reads the config\n"
         "file again: its [sections] apply to pages that start afterwards; options that need a\n"
         "restart are named in the log; a file that no longer parses changes nothing.\n";
}

HostOptions ParseHostOptions(int argc, const char* const* argv) {
  std::vector<Setting> command_line;
  std::optional<std::filesystem::path> config;
  HostOptions options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return options;
    }
    if (arg == "--version") {
      options.version = true;
      return options;
    }
    if (arg.rfind("--", 0) != 0) throw std::invalid_argument("unexpected argument " + arg);
    std::string name = arg.substr(2);
    std::string value;
    size_t eq = name.find('=');
    if (eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
    } else if (name == "secure-cookies") {
      value = "yes";  // a switch: it takes no value of its own on the command line
    } else {
      if (i + 1 >= argc) throw std::invalid_argument("--" + name + " needs a value");
      value = argv[++i];
    }
    if (name == "config") {
      config = value;
    } else {
      command_line.emplace_back(name, value);
    }
  }
  if (config) {
    for (const Setting& s : ReadConfigFile(*config, options)) Apply(s, options);
  }
  for (const Setting& s : command_line) Apply(s, options);
  if (options.site.empty() && !options.check) {
    throw std::invalid_argument("--site DIR is required");
  }
  return options;
}

}  // namespace mirelda::host
