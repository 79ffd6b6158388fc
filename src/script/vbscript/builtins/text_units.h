// Page text is UTF-8, but the language counts in UTF-16 units: a character outside the Basic
// Multilingual Plane is two of them, as Len and Mid see it. Positions and lengths given to and
// returned by the string functions are in those units, converted here to byte offsets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mirelda::script::vbscript {

// Number of UTF-16 units in text (a byte that starts no valid sequence counts as one).
size_t UnitCount(std::string_view text);
// Unit index of a byte offset that starts a character.
size_t UnitIndex(std::string_view text, size_t byte_offset);
// Byte offset of the first character that starts at or after unit number units (0-based); the
// text's size when it has fewer.
size_t ByteOffset(std::string_view text, size_t units);
// The units [start, start + count) of text as UTF-8 (count may run past the end). Half of a pair
// that the range cuts becomes U+FFFD, which keeps the result one unit long there.
std::string UnitSlice(std::string_view text, size_t start, size_t count);
// The text with its characters in reverse order.
std::string ReverseCharacters(std::string_view text);
// ASCII letters folded to lower case; other bytes kept, so offsets stay the same.
std::string FoldCase(std::string_view text);
// The UTF-8 form of a code point (U+FFFD for one that has none).
std::string EncodeCodePoint(uint32_t code_point);
// The first UTF-16 unit of text (a lead surrogate for a character beyond the plane), or the
// first byte when it starts no valid sequence. Text must not be empty.
uint32_t FirstUnit(std::string_view text);
// The UTF-16 units of text (a byte that starts no valid sequence is a unit of its own).
std::vector<uint16_t> Utf16Units(std::string_view text);

}  // namespace mirelda::script::vbscript
