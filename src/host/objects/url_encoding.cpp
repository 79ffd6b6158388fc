#include "host/objects/url_encoding.h"

#include "platform/percent_encoding.h"

namespace mirelda::host {
using platform::HexValue;

std::string PercentDecode(std::string_view text, bool plus_is_blank) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%' && i + 2 < text.size()) {
      int hi = HexValue(text[i + 1]);
      int lo = HexValue(text[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    out += (plus_is_blank && c == '+') ? ' ' : c;
  }
  return out;
}

bool HasBadPercentEncoding(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    if (i + 2 >= text.size()) return true;
    int hi = HexValue(text[i + 1]);
    int lo = HexValue(text[i + 2]);
    if (hi < 0 || lo < 0 || (hi == 0 && lo == 0)) return true;
    i += 2;
  }
  return false;
}

std::vector<std::pair<std::string, std::string>> ParseUrlEncodedPairs(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> pairs;
  while (!text.empty()) {
    size_t amp = text.find('&');
    std::string_view piece = text.substr(0, amp);
    text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
    if (piece.empty()) continue;
    size_t eq = piece.find('=');
    std::string_view name = piece.substr(0, eq);
    std::string_view value =
        eq == std::string_view::npos ? std::string_view() : piece.substr(eq + 1);
    pairs.emplace_back(PercentDecode(name, true), PercentDecode(value, true));
  }
  return pairs;
}

std::string UrlEncodeBytes(std::string_view bytes) {
  return platform::PercentEncode(bytes, platform::IsFormSafe, true);
}

namespace {

bool KeepsInHeader(unsigned char c) {
  return c > 0x20 && c < 0x7F && c != '"' && c != '<' && c != '>' && c != '\\' && c != '^' &&
         c != '`' && c != '{' && c != '|' && c != '}';
}

}  // namespace

std::string EscapeUrlForHeader(std::string_view url) {
  return platform::PercentEncode(url, KeepsInHeader);
}

}  // namespace mirelda::host
