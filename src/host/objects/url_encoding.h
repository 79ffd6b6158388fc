// Percent-encoding of URLs, query strings, form posts and cookie values. Decoding works on bytes:
// the caller decodes the result with the code page.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mirelda::host {

// Replaces "%XX" by its byte and, when plus_is_blank, "+" by a blank. A "%" that is not followed
// by two hex digits stays as it is.
std::string PercentDecode(std::string_view text, bool plus_is_blank);

// True when text has a "%" not followed by two hex digits, or a "%00" (the NUL byte never names
// a file).
bool HasBadPercentEncoding(std::string_view text);

// Splits "a=1&b=2" into percent-decoded name/value byte pairs, in order. Empty pieces are skipped;
// a piece without "=" is a name with an empty value.
std::vector<std::pair<std::string, std::string>> ParseUrlEncodedPairs(std::string_view text);

// Percent-encodes bytes: letters, digits and "-_.*" stay, a blank becomes "+", any other byte
// "%XX".
std::string UrlEncodeBytes(std::string_view bytes);

// Percent-encodes the bytes of a URL that must not appear raw in a header: controls, blanks,
// quotes and bytes from 0x80 up. Everything else, reserved characters included, stays.
std::string EscapeUrlForHeader(std::string_view url);

}  // namespace mirelda::host
