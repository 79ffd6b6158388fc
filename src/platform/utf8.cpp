#include "platform/utf8.h"

#include <utf8.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace mirelda::platform::utf8 {
namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

bool IsScalarValue(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

// How many bytes from the lead onwards could still begin a well-formed sequence. The second
// byte's range depends on the lead, so that overlong forms, surrogates and values past U+10FFFF
// are cut off as early as possible; later bytes need only be continuations.
size_t WellFormedPrefix(std::string_view s) {
  auto lead = static_cast<unsigned char>(s[0]);
  size_t length = LeadSize(lead);
  if (length == 1) return 1;
  unsigned char low = 0x80, high = 0xBF;
  if (lead == 0xE0) low = 0xA0;
  if (lead == 0xED) high = 0x9F;
  if (lead == 0xF0) low = 0x90;
  if (lead == 0xF4) high = 0x8F;
  size_t n = 1;
  while (n < length && n < s.size()) {
    auto c = static_cast<unsigned char>(s[n]);
    if (n == 1 ? (c < low || c > high) : !IsContinuation(c)) break;
    ++n;
  }
  return n;
}

}  // namespace

Decoded DecodeNext(std::string_view text, size_t at, Malformed malformed) {
  auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return {lead, 1, true};
  // No sequence is longer than four bytes, so a window of four decides the first one.
  std::string_view window = text.substr(at, 4);
  if (::utf8::find_invalid(window.begin(), window.end()) != window.begin()) {
    auto it = window.begin();
    char32_t c = ::utf8::unchecked::next(it);
    return {c, static_cast<size_t>(it - window.begin()), true};
  }
  size_t size = malformed == Malformed::kMaximalPrefix ? WellFormedPrefix(window) : 1;
  return {lead, size, false};
}

bool IsValid(std::string_view text) { return ::utf8::is_valid(text.begin(), text.end()); }

bool IsAscii(std::string_view text) {
  // Eight bytes at a time and 64 between checks: a byte-wise loop that stops at the first high
  // byte cannot be vectorised, and pages pass every written text through here.
  constexpr uint64_t kHighBits = 0x8080808080808080u;
  const char* p = text.data();
  size_t n = text.size();
  for (; n >= 64; p += 64, n -= 64) {
    uint64_t any = 0;
    for (size_t i = 0; i < 64; i += 8) {
      uint64_t word;
      std::memcpy(&word, p + i, 8);
      any |= word;
    }
    if (any & kHighBits) return false;
  }
  unsigned char any = 0;
  for (size_t i = 0; i < n; ++i) any |= static_cast<unsigned char>(p[i]);
  return any < 0x80;
}

size_t LeadSize(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 1;
}

size_t LooseSize(std::string_view text, size_t at) {
  size_t n = 1;
  while (n < 4 && at + n < text.size() && IsContinuation(static_cast<unsigned char>(text[at + n]))) {
    ++n;
  }
  return n;
}

size_t LooseLastStart(std::string_view text) {
  size_t i = text.size() - 1;
  for (int steps = 0; steps < 3 && i > 0 && IsContinuation(static_cast<unsigned char>(text[i]));
       ++steps) {
    --i;
  }
  return i;
}

void Append(char32_t code_point, std::string& out) {
  ::utf8::unchecked::append(IsScalarValue(code_point) ? code_point : kReplacement,
                          std::back_inserter(out));
}

std::string Encode(char32_t code_point) {
  std::string out;
  Append(code_point, out);
  return out;
}

std::string FromUtf16(std::span<const uint16_t> units) {
  std::string out;
  out.reserve(units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t u = units[i];
    bool high = u >= 0xD800 && u < 0xDC00;
    if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
      Append(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00u), out);
      ++i;
    } else {
      Append(u, out);  // a lone half is no scalar value, so it comes out as U+FFFD
    }
  }
  return out;
}

std::vector<uint16_t> ToUtf16(std::string_view text) {
  std::vector<uint16_t> units;
  units.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    Decoded d = DecodeNext(text, i);
    if (d.code_point >= 0x10000) {
      char32_t c = d.code_point - 0x10000;
      units.push_back(static_cast<uint16_t>(0xD800 + (c >> 10)));
      units.push_back(static_cast<uint16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      units.push_back(static_cast<uint16_t>(d.code_point));
    }
    i += d.size;
  }
  return units;
}

}  // namespace mirelda::platform::utf8
