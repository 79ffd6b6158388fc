#include "script/vbscript/builtins/text_units.h"

#include "platform/utf8.h"

namespace mirelda::script::vbscript {
namespace {

// Bytes of the character at text[i]; a byte that starts no well-formed sequence stands alone.
size_t SequenceLength(std::string_view text, size_t i) {
  return platform::utf8::DecodeNext(text, i).size;
}

}  // namespace

size_t UnitCount(std::string_view text) {
  if (platform::utf8::IsAscii(text)) return text.size();
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
  if (platform::utf8::IsAscii(text)) return units < text.size() ? units : text.size();
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
  if (platform::utf8::IsAscii(text)) {
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
      out.append(platform::utf8::kReplacementText);  // one half of a pair inside the range
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

std::string EncodeCodePoint(uint32_t cp) { return platform::utf8::Encode(cp); }

uint32_t FirstUnit(std::string_view text) {
  // A malformed first byte passes as its own value.
  char32_t cp = platform::utf8::DecodeNext(text, 0).code_point;
  if (cp >= 0x10000) return 0xD800 + ((cp - 0x10000) >> 10);
  return cp;
}

std::vector<uint16_t> Utf16Units(std::string_view text) { return platform::utf8::ToUtf16(text); }

}  // namespace mirelda::script::vbscript
