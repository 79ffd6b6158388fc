// What the host sends back for a request: status, headers and body bytes.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mirelda::host {

using Headers = std::vector<std::pair<std::string, std::string>>;

struct Reply {
  int status = 200;
  Headers headers;
  std::string body;

  void AddHeader(std::string name, std::string value) {
    headers.emplace_back(std::move(name), std::move(value));
  }
  // The value of the first header of that name (any letter case), or nullptr.
  const std::string* FindHeader(std::string_view name) const;
};

// The headers every response carries unless it sets the same header itself: nosniff, a
// same-origin referrer policy and no framing by other sites. The host's options change or drop
// them.
Headers DefaultStandingHeaders();

// own followed by each standing header that own does not name (names compare without regard
// to case), so that a page's Response.AddHeader wins over the host's default.
Headers WithStandingHeaders(const Headers& own, const Headers& standing);

// The reason phrase of a status code ("Not Found"); "" for codes without one here.
const char* ReasonPhrase(int status);

// gzip for a page's reply: a text type of kCompressMinimum bytes or more that carries no
// Content-Encoding yet is compressed when the client takes gzip, and says Vary: Accept-Encoding
// either way so caches keep both forms apart.
void CompressReply(Reply& reply, bool client_takes_gzip);

// A small HTML page for a status the host answers itself (404, 413, ...).
Reply StatusReply(int status, const std::string& detail = {});

}  // namespace mirelda::host
