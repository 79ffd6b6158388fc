#include "host/options/option_setters.h"

#include <arpa/inet.h>

#include <algorithm>
#include <string_view>

#include "mirelda/text.h"

namespace mirelda::host {
namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A path of a URL as a request names it: from the root, no query, nothing that could split a
// line.
bool IsUrlPath(const std::string& path) {
  return !path.empty() && path[0] == '/' && path.find_first_of("?# ") == std::string::npos &&
         std::none_of(path.begin(), path.end(),
                      [](unsigned char c) { return c < 0x20 || c == 0x7f; });
}

}  // namespace

void SetListen(const OptionValue& v, HostOptions& o) {
  size_t colon = v.text.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    RefuseValue(v, "takes ADDRESS:PORT, not \"" + v.text + "\"");
  }
  std::string address = v.text.substr(0, colon);
  if (address.size() >= 2 && address.front() == '[' && address.back() == ']') {
    address = address.substr(1, address.size() - 2);
  }
  OptionValue port = v;
  port.text = v.text.substr(colon + 1);
  o.listen_port = static_cast<uint16_t>(ParseUnsigned(port, 65535));
  o.listen_address = address;
}

void SetDrive(const OptionValue& v, HostOptions& o) {
  size_t eq = v.text.find('=');
  std::string letter = v.text.substr(0, eq == std::string::npos ? 0 : eq);
  char c = letter.empty() ? 0 : letter[0];
  if (eq == std::string::npos || !IsLetter(c) || letter.size() > 2 ||
      (letter.size() == 2 && letter[1] != ':') || eq + 1 >= v.text.size()) {
    RefuseValue(v, "takes X:=FOLDER, not \"" + v.text + "\"");
  }
  OptionValue folder = v;
  folder.text = v.text.substr(eq + 1);
  o.drives.emplace_back(static_cast<char>(c & ~0x20), ParsePath(folder, "a folder"));
}

void SetSiteDrive(const OptionValue& v, HostOptions& o) {
  char c = v.text.empty() ? 0 : v.text[0];
  if (!IsLetter(c) || v.text.size() > 2 || (v.text.size() == 2 && v.text[1] != ':')) {
    RefuseValue(v, "takes a drive letter, not \"" + v.text + "\"");
  }
  o.site_drive = static_cast<char>(c & ~0x20);
}

// The name must be a header token and the value free of control characters, so no option can
// split a reply.
void SetHeader(const OptionValue& v, HostOptions& o) {
  size_t colon = v.text.find(':');
  std::string name = v.text.substr(0, colon == std::string::npos ? 0 : colon);
  bool token = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return IsLetter(c) || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
  });
  if (!token) RefuseValue(v, "takes NAME:VALUE, not \"" + v.text + "\"");
  std::string content = text::Trim(v.text.substr(colon + 1));
  for (unsigned char c : content) {
    if (c < 0x20 || c == 0x7f) RefuseValue(v, name + " has a control character in its value");
  }
  std::erase_if(o.headers,
                [&](const auto& header) { return text::EqualsIgnoreCase(header.first, name); });
  if (!content.empty()) o.headers.emplace_back(name, content);
}

// A later page for the same status replaces the earlier one, so the command line wins.
void SetErrorPage(const OptionValue& v, HostOptions& o) {
  size_t eq = v.text.find('=');
  bool status_digits = eq == 3 && std::all_of(v.text.begin(), v.text.begin() + 3,
                                              [](char c) { return c >= '0' && c <= '9'; });
  int status = status_digits ? std::stoi(v.text.substr(0, 3)) : 0;
  std::string path = eq == std::string::npos ? std::string() : v.text.substr(eq + 1);
  if (status < 400 || status > 599 || !IsUrlPath(path)) {
    RefuseValue(v,
                "takes STATUS=URLPATH with a status from 400 to 599 and a path from the "
                "site's root, not \"" +
                    v.text + "\"");
  }
  std::erase_if(o.error_pages, [&](const auto& page) { return page.first == status; });
  o.error_pages.emplace_back(status, path);
}

void SetTrustedProxy(const OptionValue& v, HostOptions& o) {
  size_t slash = v.text.find('/');
  std::string address = v.text.substr(0, slash);
  unsigned char bytes[16];
  int bits = 0;
  if (::inet_pton(AF_INET, address.c_str(), bytes) == 1) {
    bits = 32;
  } else if (::inet_pton(AF_INET6, address.c_str(), bytes) == 1) {
    bits = 128;
  } else {
    RefuseValue(v, "takes an IP address, optionally with /PREFIX, not \"" + v.text + "\"");
  }
  if (slash != std::string::npos) {
    OptionValue prefix = v;
    prefix.text = v.text.substr(slash + 1);
    ParseUnsigned(prefix, static_cast<uint64_t>(bits));
  }
  o.trusted_proxies.push_back(v.text);
}

void SetHealthPath(const OptionValue& v, HostOptions& o) {
  if (!v.text.empty() && !IsUrlPath(v.text)) {
    RefuseValue(v, "takes a path from the site's root such as /health, not \"" + v.text + "\"");
  }
  o.health_path = v.text;
}

}  // namespace mirelda::host
