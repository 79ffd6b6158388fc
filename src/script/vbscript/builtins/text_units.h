// Page text is UTF-8, but the language counts characters: positions and lengths given to and
// returned by the string functions are in characters, converted here to byte offsets.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mirelda::script::vbscript {

// Number of characters in text (a byte that starts no valid sequence counts as one).
size_t CharCount(std::string_view text);
// Byte offset of character number chars (0-based); the text's size when it has fewer.
size_t ByteOffset(std::string_view text, size_t chars);
// Character number of a byte offset that starts a character.
size_t CharIndex(std::string_view text, size_t byte_offset);
// ASCII letters folded to lower case; other bytes kept, so offsets stay the same.
std::string FoldCase(std::string_view text);
// The UTF-8 form of a code point (U+FFFD for one that has none).
std::string EncodeCodePoint(uint32_t code_point);
// The code point of the first character, or the first byte when it starts no valid sequence.
uint32_t FirstCodePoint(std::string_view text);

}  // namespace mirelda::script::vbscript
