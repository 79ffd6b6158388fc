#include "host/http/reply.h"

#include <algorithm>

#include "mirelda/text.h"

namespace mirelda::host {

Headers DefaultStandingHeaders() {
  return {{"X-Content-Type-Options", "nosniff"},
          {"Referrer-Policy", "same-origin"},
          {"X-Frame-Options", "SAMEORIGIN"}};
}

Headers WithStandingHeaders(const Headers& own, const Headers& standing) {
  Headers all = own;
  for (const auto& [name, value] : standing) {
    bool named = std::any_of(own.begin(), own.end(), [&](const auto& header) {
      return text::EqualsIgnoreCase(header.first, name);
    });
    if (!named) all.emplace_back(name, value);
  }
  return all;
}

const char* ReasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Object moved";
    case 304:
      return "Not Modified";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 413:
      return "Content Too Large";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "";
  }
}

Reply StatusReply(int status, const std::string& detail) {
  Reply reply;
  reply.status = status;
  std::string title = std::to_string(status) + " " + ReasonPhrase(status);
  reply.body = "<!DOCTYPE html>\n<html><head><title>" + title + "</title></head><body><h1>" +
               title + "</h1>" + (detail.empty() ? "" : "<p>" + detail + "</p>") +
               "</body></html>\n";
  reply.AddHeader("Content-Type", "text/html; charset=utf-8");
  return reply;
}

}  // namespace mirelda::host
