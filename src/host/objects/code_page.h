// Conversion between the UTF-8 text that pages and components work in and the bytes of a code
// page: what the browser sends is decoded with it, what the page writes is encoded with it.
// 936 (GBK, the double-byte Simplified Chinese page) is the default; 65001 is UTF-8; any other
// number that iconv knows as "CPnnn" works too. Safe to use from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mirelda::host {

inline constexpr int32_t kCodePageGbk = 936;
inline constexpr int32_t kCodePageUtf8 = 65001;

// True when the code page can be converted from and to.
bool IsSupportedCodePage(int32_t code_page);

// The charset name that Content-Type carries for a code page ("GBK", "utf-8", "windows-1252").
std::string CharsetName(int32_t code_page);

// Bytes of the code page to UTF-8. A byte sequence that is not valid in the code page becomes
// U+FFFD, so the result is always valid UTF-8. Raises Error (5) for an unsupported code page.
std::string DecodeFromCodePage(std::string_view bytes, int32_t code_page);

// Bytes of the code page to UTF-8, refusing what is not text in it: false, with *bad_offset at
// the first byte that belongs to no character, when the bytes are not valid in the code page.
// Raises Error (5) for an unsupported code page.
bool DecodeStrictly(std::string_view bytes, int32_t code_page, std::string* out,
                    size_t* bad_offset);

// What becomes of a character that the code page cannot hold.
enum class Unmappable {
  kCharacterReference,  // "&#8364;", as browsers write it into form posts: right inside HTML
  kQuestionMark,        // "?": for URLs and cookies, where a reference would be read literally
};

// UTF-8 to bytes of the code page. Malformed UTF-8 input becomes "?". Raises Error (5) for an
// unsupported code page.
std::string EncodeToCodePage(std::string_view utf8, int32_t code_page,
                             Unmappable unmappable = Unmappable::kCharacterReference);
// The same, appended to out: a page's body grows by each write without a copy in between.
void AppendInCodePage(std::string& out, std::string_view utf8, int32_t code_page,
                      Unmappable unmappable = Unmappable::kCharacterReference);

}  // namespace mirelda::host
