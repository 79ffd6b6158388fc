#include "script/vbscript/builtins/text_units.h"

#include <cstdint>

namespace mirelda::script::vbscript {
namespace {

// Length of the valid UTF-8 sequence at text[i], or 1 for a byte that starts none.
size_t SequenceLength(std::string_view text, size_t i) {
  auto byte = static_cast<unsigned char>(text[i]);
  size_t length = byte < 0x80 ? 1 : (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3
                                    : (byte >> 3) == 0x1E ? 4 : 1;
  if (length == 1 || i + length > text.size()) return 1;
  for (size_t k = 1; k < length; ++k) {
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

size_t CharCount(std::string_view text) {
  if (IsAscii(text)) return text.size();
  size_t count = 0;
  for (size_t i = 0; i < text.size(); i += SequenceLength(text, i)) ++count;
  return count;
}

size_t ByteOffset(std::string_view text, size_t chars) {
  if (IsAscii(text)) return chars < text.size() ? chars : text.size();
  size_t i = 0;
  for (; i < text.size() && chars > 0; --chars) i += SequenceLength(text, i);
  return i;
}

size_t CharIndex(std::string_view text, size_t byte_offset) {
  return CharCount(text.substr(0, byte_offset));
}

std::string FoldCase(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

std::string EncodeCodePoint(uint32_t cp) {
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

uint32_t FirstCodePoint(std::string_view text) {
  size_t length = SequenceLength(text, 0);
  auto lead = static_cast<unsigned char>(text[0]);
  if (length == 1) return lead;
  uint32_t cp = lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[k]) & 0x3F);
  return cp;
}

}  // namespace mirelda::script::vbscript
