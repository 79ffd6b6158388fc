// Turns the bytes a browser posts into text with the host's code page. A double-byte page (936,
// the default) pairs bytes as the upload format expects: a byte below 128 is one character, a
// byte of 128 or more takes the next byte with it and the pair is converted as one character, "?"
// when the page has no character for it. Code page 65001 decodes UTF-8.
//
// Decoders are built once per process and code page and are then read-only: safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mirelda::upload {

class TextDecoder {
 public:
  // The decoder of a code page. Raises Error (Invalid procedure call, 5) for a code page that the
  // system's converter does not know.
  static const TextDecoder& ForCodePage(int32_t code_page);

  int32_t code_page() const { return code_page_; }

  // UTF-8 text of bytes.
  std::string Decode(std::string_view bytes) const;

  // True when the ASCII byte at offset begins a character of the decoded text, that is when it
  // is not taken as the second byte of a pair. O(length of the run of high bytes before it).
  bool StartsCharacter(std::string_view bytes, size_t offset) const;

 private:
  TextDecoder(int32_t code_page, std::vector<char32_t> pairs);

  int32_t code_page_;
  // For a double-byte page: the character of each pair (first - 128) * 256 + second, 0 when the
  // page has none. Empty for UTF-8.
  std::vector<char32_t> pairs_;
};

}  // namespace mirelda::upload
