// What the host sends back for a request: status, headers and body bytes.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mirelda::host {

struct Reply {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  void AddHeader(std::string name, std::string value) {
    headers.emplace_back(std::move(name), std::move(value));
  }
  // The value of the first header of that name (any letter case), or nullptr.
  const std::string* FindHeader(std::string_view name) const;
};

// The reason phrase of a status code ("Not Found"); "" for codes without one here.
const char* ReasonPhrase(int status);

// gzip for a page's reply: a text type of kCompressMinimum bytes or more that carries no
// Content-Encoding yet is compressed when the client takes gzip, and says Vary: Accept-Encoding
// either way so caches keep both forms apart.
void CompressReply(Reply& reply, bool client_takes_gzip);

// A small HTML page for a status the host answers itself (404, 413, ...).
Reply StatusReply(int status, const std::string& detail = {});

}  // namespace mirelda::host
