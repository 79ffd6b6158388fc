// Dates in HTTP headers. Replies carry the IMF-fixdate form in GMT ("Sun, 06 Nov 1994 08:49:37
// GMT") that cookie expiry, Last-Modified and Date use; a request's dates may also come in the two
// older forms HTTP still allows clients to send: RFC 850 ("Sunday, 06-Nov-94 08:49:37 GMT") and
// C's asctime ("Sun Nov  6 08:49:37 1994").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mirelda::host {

// The IMF-fixdate text of a point in time given as seconds since the Unix epoch.
std::string FormatHttpDate(int64_t unix_seconds);

// Seconds since the Unix epoch of a date in any of the three forms; nullopt when the text is none
// of them. A two-digit RFC 850 year more than 50 years ahead of now_year is taken to be in the past
// century.
std::optional<int64_t> ParseHttpDate(std::string_view text, int now_year);
// The same, measured against the current year.
std::optional<int64_t> ParseHttpDate(std::string_view text);

}  // namespace mirelda::host
