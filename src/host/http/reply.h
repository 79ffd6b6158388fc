// What the host sends back for a request: status, headers and body bytes.
#pragma once

#include <string>
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
};

// The reason phrase of a status code ("Not Found"); "" for codes without one here.
const char* ReasonPhrase(int status);

// A small HTML page for a status the host answers itself (404, 413, ...).
Reply StatusReply(int status, const std::string& detail = {});

}  // namespace mirelda::host
