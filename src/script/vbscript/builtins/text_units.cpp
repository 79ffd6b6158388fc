#include "script/vbscript/builtins/text_units.h"

namespace mirelda::script::vbscript {
namespace {

// Length of the valid UTF-8 sequence at text[i], or 1 for a byte that starts none (overlong
// forms, surrogates and values past U+10FFFF included).
size_t SequenceLength(std::string_view text, size_t i) {
  auto byte = static_cast<unsigned char>(text[i]);
  if (byte < 0x80) return 1;
  size_t length = (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3 : (byte >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || i + length > text.size()) return 1;
  uint32_t cp = byte & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 1;
    cp = (cp << 6) | (next & 0x3F);
  }
  static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kSmallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 1;
  return length;
}

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

}  // namespace

size_t UnitCount(std::string_view text) {
  if (IsAscii(text)) return text.size();
  size_t count = 0;
  for (size_t i = 0; i < text.size();) {
    size_t length = SequenceLength(text, i);
    count += length == 4 ? 2 : 1;
    i += length;
  }
  return count;
}

size_t UnitIndex(std::string_view text, size_t byte_offset) {
  return UnitCount(text.substr(0, byte_offset));
}

size_t ByteOffset(std::string_view text, size_t units) {
  if (IsAscii(text)) return units < text.size() ? units : text.size();
  size_t i = 0;
  size_t seen = 0;
  while (i < text.size() && seen < units) {
    size_t length = SequenceLength(text, i);
    seen += length == 4 ? 2 : 1;
    i += length;
  }
  return i;
}

std::string UnitSlice(std::string_view text, size_t start, size_t count) {
  if (IsAscii(text)) {
    if (start >= text.size()) return {};
    return std::string(text.substr(start, count));
  }
  std::string out;
  size_t unit = 0;
  size_t end = count > SIZE_MAX - start ? SIZE_MAX : start + count;
  for (size_t i = 0; i < text.size() && unit < end;) {
    size_t length = SequenceLength(text, i);
    size_t width = length == 4 ? 2 : 1;
    if (unit >= start && unit + width <= end) {
      out.append(text.substr(i, length));
    } else if (unit + width > start) {
      out.append(kReplacement);  // one half of a pair inside the range
    }
    unit += width;
    i += length;
  }
  return out;
}

std::string ReverseCharacters(std::string_view text) {
  std::string out(text.size(), '\0');
  size_t end = text.size();
  for (size_t i = 0; i < text.size();) {
    size_t length = SequenceLength(text, i);
    end -= length;
    text.copy(out.data() + end, length, i);
    i += length;
  }
  return out;
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

uint32_t FirstUnit(std::string_view text) {
  size_t length = SequenceLength(text, 0);
  auto lead = static_cast<unsigned char>(text[0]);
  if (length == 1) return lead;
  uint32_t cp = lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[k]) & 0x3F);
  if (cp >= 0x10000) return 0xD800 + ((cp - 0x10000) >> 10);
  return cp;
}

std::vector<uint16_t> Utf16Units(std::string_view text) {
  std::vector<uint16_t> units;
  units.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    size_t length = SequenceLength(text, i);
    std::string_view piece = text.substr(i, length);
    uint32_t first = FirstUnit(piece);
    units.push_back(static_cast<uint16_t>(first));
    if (first >= 0xD800 && first < 0xDC00 && length == 4) {
      uint32_t cp = (static_cast<unsigned char>(piece[0]) & 0x07u) << 18 |
                    (static_cast<unsigned char>(piece[1]) & 0x3Fu) << 12 |
                    (static_cast<unsigned char>(piece[2]) & 0x3Fu) << 6 |
                    (static_cast<unsigned char>(piece[3]) & 0x3Fu);
      units.push_back(static_cast<uint16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    }
    i += length;
  }
  return units;
}

}  // namespace mirelda::script::vbscript
