// Percent-encoding of bytes, the one encoder behind URLs, query strings, form values, cookie
// values and encoded header parameters. Each use says which bytes stay as they are.
#pragma once

#include <string>
#include <string_view>

namespace mirelda::platform {

// Whether a byte is written as it is.
using KeepsByte = bool (*)(unsigned char c);

// The value of a hex digit, or -1.
int HexValue(char c);

// Appends "%XX" (upper-case digits) for c.
void AppendPercentByte(std::string& out, unsigned char c);

// Every byte that keep refuses becomes "%XX"; with blank_as_plus a blank becomes "+" instead.
std::string PercentEncode(std::string_view bytes, KeepsByte keep, bool blank_as_plus = false);

// Letters, digits and "-_.*": what a form post and Server.URLEncode keep.
bool IsFormSafe(unsigned char c);

}  // namespace mirelda::platform
