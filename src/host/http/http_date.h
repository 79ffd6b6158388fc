// Dates in HTTP headers: the RFC 1123 form in GMT ("Sun, 06 Nov 1994 08:49:37 GMT") that cookie
// expiry, Last-Modified and Date carry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mirelda::host {

// The RFC 1123 text of a point in time given as seconds since the Unix epoch.
std::string FormatHttpDate(int64_t unix_seconds);

// Seconds since the Unix epoch of an RFC 1123 date; nullopt when the text is not one.
std::optional<int64_t> ParseHttpDate(std::string_view text);

}  // namespace mirelda::host
