// Text in a named character set and back, through iconv: the charset names that streams take
// ("unicode", "utf-8", "gb2312", "iso-8859-1", ...) and the host's Windows code pages (936, 65001,
// any "CPnnn"). A codec belongs to one object on one thread; iconv descriptors are not shared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/iconv_converter.h"

namespace mirelda::data {

// The iconv name of a stream charset name (any letter case); nullopt for a name it does not know.
std::optional<std::string> CharsetIconvName(std::string_view charset);
// The iconv name of a Windows code page: 936 is GBK, 65001 UTF-8, others "CPnnn".
std::string CodePageIconvName(int32_t code_page);

// What becomes of a character that the charset cannot hold.
enum class Unmappable {
  kQuestionMark,  // "?", as streams write it
  kRefuse,        // Invalid procedure call (5): an ANSI text file must not lose characters
};

class CharsetCodec {
 public:
  // Raises Error (Invalid procedure call, 5) when the system's converter lacks the charset.
  explicit CharsetCodec(const std::string& iconv_name);
  CharsetCodec(const CharsetCodec&) = delete;
  CharsetCodec& operator=(const CharsetCodec&) = delete;

  // UTF-8 text as bytes of the charset; malformed UTF-8 counts as unmappable.
  std::string Encode(std::string_view utf8, Unmappable unmappable);
  // Decodes at most max_chars characters from the start of bytes, appending them to out as
  // UTF-8, and returns the number of bytes they took. A byte that begins no character (or an
  // incomplete one at the end) becomes U+FFFD on its own.
  size_t Decode(std::string_view bytes, size_t max_chars, std::string& out);

 private:
  platform::IconvConverter to_bytes_;
  platform::IconvConverter from_bytes_;
};

// The byte length of the UTF-8 character that starts with lead (1 for a stray byte).
size_t Utf8Length(unsigned char lead);

}  // namespace mirelda::data
