// Text operations of the page language over UTF-8 strings. Lengths, positions and trimming count
// code points, not bytes; trimming removes the blank (U+0020) only.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mirelda/export.h"

namespace mirelda::text {

// UTF-8 text of UTF-16 units; half of a pair on its own becomes U+FFFD.
MIRELDA_API std::string FromUtf16(std::span<const uint16_t> units);

MIRELDA_API std::string Trim(std::string_view s);
MIRELDA_API std::string LTrim(std::string_view s);
MIRELDA_API std::string RTrim(std::string_view s);

// Number of code points.
MIRELDA_API size_t Length(std::string_view s);
// The first or last code point as text; empty for empty text.
MIRELDA_API std::string_view First(std::string_view s);
MIRELDA_API std::string_view Last(std::string_view s);
// Everything after the first code point.
MIRELDA_API std::string_view AfterFirst(std::string_view s);

// The page language's Split: empty text gives no parts; otherwise every piece, empty ones
// included (n separators give n + 1 parts).
MIRELDA_API std::vector<std::string> Split(std::string_view s, std::string_view separator);

// Case-sensitive substring test (the page language's InStr(...) > 0).
MIRELDA_API bool Contains(std::string_view haystack, std::string_view needle);

// Text escaped for HTML content and quoted attribute values: &, <, >, " and '.
MIRELDA_API std::string EscapeHtml(std::string_view s);

// ASCII letters only: the identifiers, keywords and flags compared this way are ASCII.
MIRELDA_API std::string ToUpperAscii(std::string_view s);
MIRELDA_API std::string ToLowerAscii(std::string_view s);
MIRELDA_API bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace mirelda::text
