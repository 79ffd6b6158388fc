#include "platform/percent_encoding.h"

namespace mirelda::platform {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendPercentByte(std::string& out, unsigned char c) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out += '%';
  out += kDigits[c >> 4];
  out += kDigits[c & 0x0F];
}

std::string PercentEncode(std::string_view bytes, KeepsByte keep, bool blank_as_plus) {
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    auto c = static_cast<unsigned char>(ch);
    if (blank_as_plus && c == ' ') {
      out += '+';
    } else if (keep(c)) {
      out += ch;
    } else {
      AppendPercentByte(out, c);
    }
  }
  return out;
}

bool IsFormSafe(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.' || c == '*';
}

}  // namespace mirelda::platform
