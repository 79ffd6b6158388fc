// Escape and Unescape: the %XX and %uXXXX forms of text that script code on both sides of a page
// shares. Letters, digits and @*_+-./ stand as they are.
#include <cctype>

#include "mirelda/text.h"
#include "script/vbscript/builtins/arguments.h"
#include "script/vbscript/builtins/builtins.h"
#include "script/vbscript/builtins/text_units.h"

namespace mirelda::script::vbscript {
namespace {

bool Plain(uint16_t unit) {
  if (unit >= 0x80) return false;
  char c = static_cast<char>(unit);
  return std::isalnum(static_cast<unsigned char>(c)) ||
         std::string_view("@*_+-./").find(c) != std::string_view::npos;
}

Variant Escape(BuiltinCall& call) {
  Variant v = PlainValue(call.args[0]);
  if (v.is_null()) return v;
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (uint16_t unit : Utf16Units(v.ToText())) {
    if (Plain(unit)) {
      out += static_cast<char>(unit);
    } else if (unit < 0x100) {
      out += '%';
      out += kHex[unit >> 4];
      out += kHex[unit & 15];
    } else {
      out += "%u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 15];
    }
  }
  CheckTextSize(out.size(), call.memory_limit);
  return Variant(std::move(out));
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value of count hex digits at text[at], or -1 when they are not all there.
int HexRun(std::string_view text, size_t at, size_t count) {
  if (at + count > text.size()) return -1;
  int value = 0;
  for (size_t i = 0; i < count; ++i) {
    int d = HexDigit(text[at + i]);
    if (d < 0) return -1;
    value = value * 16 + d;
  }
  return value;
}

// A % that starts no valid escape stays as it is.
Variant Unescape(BuiltinCall& call) {
  Variant v = PlainValue(call.args[0]);
  if (v.is_null()) return v;
  std::vector<uint16_t> in = Utf16Units(v.ToText());
  std::string narrow;
  for (uint16_t unit : in) narrow += unit < 0x80 ? static_cast<char>(unit) : '\x7F';
  std::vector<uint16_t> out;
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '%') {
      int value = -1;
      if (i + 1 < in.size() && (in[i + 1] == 'u' || in[i + 1] == 'U')) {
        value = HexRun(narrow, i + 2, 4);
        if (value >= 0) {
          out.push_back(static_cast<uint16_t>(value));
          i += 5;
          continue;
        }
      }
      value = HexRun(narrow, i + 1, 2);
      if (value >= 0) {
        out.push_back(static_cast<uint16_t>(value));
        i += 2;
        continue;
      }
    }
    out.push_back(in[i]);
  }
  return Variant(text::FromUtf16(out));
}

constexpr Builtin kEscapes[] = {
    {"Escape", 1, 1, Escape},
    {"Unescape", 1, 1, Unescape},
};

}  // namespace

std::span<const Builtin> EscapeBuiltins() { return kEscapes; }

}  // namespace mirelda::script::vbscript
