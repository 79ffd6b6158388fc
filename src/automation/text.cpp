#include "mirelda/text.h"

#include "platform/utf8.h"

namespace mirelda::text {

// Malformed bytes are stepped over loosely, so that every input has a well-defined length.
using platform::utf8::LooseSize;

std::string LTrim(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && s[b] == ' ') ++b;
  return std::string(s.substr(b));
}

std::string RTrim(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && s[e - 1] == ' ') --e;
  return std::string(s.substr(0, e));
}

std::string Trim(std::string_view s) { return RTrim(LTrim(s)); }

size_t Length(std::string_view s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); i += LooseSize(s, i)) ++n;
  return n;
}

std::string_view First(std::string_view s) {
  if (s.empty()) return {};
  return s.substr(0, LooseSize(s, 0));
}

std::string_view Last(std::string_view s) {
  if (s.empty()) return {};
  return s.substr(platform::utf8::LooseLastStart(s));
}

std::string_view AfterFirst(std::string_view s) { return s.substr(First(s).size()); }

std::vector<std::string> Split(std::string_view s, std::string_view separator) {
  std::vector<std::string> parts;
  if (s.empty()) return parts;
  if (separator.empty()) {
    parts.emplace_back(s);
    return parts;
  }
  size_t start = 0;
  while (true) {
    size_t at = s.find(separator, start);
    if (at == std::string_view::npos) {
      parts.emplace_back(s.substr(start));
      return parts;
    }
    parts.emplace_back(s.substr(start, at - start));
    start = at + separator.size();
  }
}

bool Contains(std::string_view haystack, std::string_view needle) {
  return haystack.find(needle) != std::string_view::npos;
}

std::string EscapeHtml(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string ToUpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string ToLowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string FromUtf16(std::span<const uint16_t> units) { return platform::utf8::FromUtf16(units); }

}  // namespace mirelda::text
