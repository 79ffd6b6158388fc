// Text between the UTF-8 that pages work in and the charsets that mail parts and HTTP replies
// name ("utf-8", "gb2312", "iso-8859-1"), through iconv. Safe to use from any thread.
#pragma once

#include <string>
#include <string_view>

namespace mirelda::data {

// True for the names of UTF-8 ("utf-8", "UTF8", any case).
bool IsUtf8Charset(std::string_view charset);

// The bytes of charset as UTF-8. A sequence that is not valid in the charset becomes U+FFFD, so
// the result is always valid UTF-8; a charset iconv does not know is read as UTF-8, since a reply
// must still be readable when its server names something odd.
std::string DecodeCharset(std::string_view bytes, std::string_view charset);

// UTF-8 text as bytes of charset. Raises Error Invalid argument (-2147024809) for a charset
// iconv does not know, or for text the charset cannot hold: a mail must not go out with
// characters silently lost.
std::string EncodeCharset(std::string_view utf8, std::string_view charset);

}  // namespace mirelda::data
