// One server-side HTTP exchange through libcurl: http and https only, HTTP/1.1, redirects
// followed as the platform's request object follows them (at most 10; 301, 302 and 303 turn a
// POST into a GET, 307 and 308 repeat the method and body; credentials only to the first
// host), and every host reached, the first and each redirect's, checked against the host's
// allow-list before any connection is made.
//
// The allow-list is the "allow" key of the "[http]" settings: host names or "host:port"
// entries separated by blanks, matched without regard to case; "*", an empty value or no key
// at all allow every host.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mirelda::data {

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

// Milliseconds; 0 is no limit. Receiving (and sending) count the time without any progress,
// not the whole transfer, so a long download that keeps moving is never cut.
struct HttpTimeouts {
  long resolve_ms = 0;
  long connect_ms = 60000;
  long send_ms = 30000;
  long receive_ms = 30000;
};

struct HttpExchange {
  std::string method;
  std::string url;
  std::string user, password;
  HttpHeaders headers;
  std::optional<std::string> body;
  HttpTimeouts timeouts;
};

struct HttpResult {
  long status = 0;
  std::string reason;
  HttpHeaders headers;  // of the last response, in the order received
  std::string body;
};

// The largest response body kept; a larger one fails the exchange rather than exhausting memory.
inline constexpr size_t kLargestResponse = 64u << 20;

// Raises Error: The URL is invalid (-2147012891) when it cannot be parsed or is not absolute,
// The URL does not use a recognized protocol (-2147012890) for a scheme other than http or
// https, Access is denied (-2147024891) for a host the allow-list does not name.
void CheckHttpUrl(const std::string& url);

// Performs the exchange. Raises Error with the HTTP stack's numbers: timed out (-2147012894),
// name not resolved (-2147012889), cannot connect (-2147012867), connection reset
// (-2147012866), security failure (-2147012721), redirect failed (-2147012740), and those of
// CheckHttpUrl for every host reached.
HttpResult PerformHttp(const HttpExchange& exchange);

}  // namespace mirelda::data
