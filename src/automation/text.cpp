#include "mirelda/text.h"

namespace mirelda::text {
namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Byte length of the code point that starts at s[i]; malformed bytes count as one each, so every
// input has a well-defined length.
size_t CodePointSize(std::string_view s, size_t i) {
  size_t n = 1;
  while (i + n < s.size() && IsContinuation(static_cast<unsigned char>(s[i + n])) && n < 4) ++n;
  return n;
}

}  // namespace

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
  for (size_t i = 0; i < s.size(); i += CodePointSize(s, i)) ++n;
  return n;
}

std::string_view First(std::string_view s) {
  if (s.empty()) return {};
  return s.substr(0, CodePointSize(s, 0));
}

std::string_view Last(std::string_view s) {
  if (s.empty()) return {};
  size_t i = s.size() - 1;
  size_t steps = 0;
  while (i > 0 && IsContinuation(static_cast<unsigned char>(s[i])) && steps < 3) {
    --i;
    ++steps;
  }
  return s.substr(i);
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

std::string FromUtf16(std::span<const uint16_t> units) {
  std::string out;
  out.reserve(units.size());
  auto put = [&out](uint32_t c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  };
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t u = units[i];
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] < 0xE000) {
      put(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00u));
      ++i;
    } else {
      put(u >= 0xD800 && u < 0xE000 ? 0xFFFD : u);
    }
  }
  return out;
}

}  // namespace mirelda::text
