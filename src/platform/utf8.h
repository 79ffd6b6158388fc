// The one home of UTF-8 handling: stepping through text a character at a time, encoding code
// points and converting to and from UTF-16. Built on utfcpp; what each function does with
// malformed bytes is part of its contract, since the callers' formats differ on it. All
// functions are pure and safe on any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mirelda::platform::utf8 {

inline constexpr char32_t kReplacement = 0xFFFD;
inline constexpr std::string_view kReplacementText = "\xEF\xBF\xBD";

// How many bytes a malformed sequence covers when text is stepped through.
enum class Malformed {
  kOneByte,        // each byte alone: a character may start at the very next byte
  kMaximalPrefix,  // the longest start of a well-formed sequence, as Unicode advises for U+FFFD
};

struct Decoded {
  char32_t code_point;  // the character, or the value of the first byte when malformed
  size_t size;          // bytes covered, at least 1
  bool valid;
};

// The character that starts at text[at]; at must be below text.size(). Overlong forms, UTF-16
// surrogate halves, values past U+10FFFF and sequences cut short are malformed.
Decoded DecodeNext(std::string_view text, size_t at, Malformed malformed = Malformed::kOneByte);

// Whether the whole text is well-formed UTF-8.
bool IsValid(std::string_view text);
// Whether every byte is below 0x80: such text reads the same in UTF-8 and in every code page the
// host serves, so callers skip conversion and character stepping for it.
bool IsAscii(std::string_view text);

// The length a lead byte announces for a well-formed sequence (C2..DF 2, E0..EF 3, F0..F4 4), 1
// for a byte that leads none, whatever follows it.
size_t LeadSize(unsigned char lead);

// Loose stepping, for counting and slicing text that may be malformed without ever looking at
// the code points: the byte at text[at] with up to three continuation bytes after it.
size_t LooseSize(std::string_view text, size_t at);
// Where the last loosely stepped character of a non-empty text starts: up to three continuation
// bytes back from the end.
size_t LooseLastStart(std::string_view text);

// Appends the UTF-8 form of a code point; U+FFFD for a surrogate half or a value past U+10FFFF.
void Append(char32_t code_point, std::string& out);
std::string Encode(char32_t code_point);

// UTF-16 to UTF-8; a surrogate half without its partner becomes U+FFFD.
std::string FromUtf16(std::span<const uint16_t> units);
// UTF-8 to UTF-16; each malformed byte becomes the unit of its own value, as if it were Latin-1.
std::vector<uint16_t> ToUtf16(std::string_view text);

}  // namespace mirelda::platform::utf8
