#include "host/http/reply.h"

#include <algorithm>

#include "host/http/content_encoding.h"
#include "mirelda/text.h"

namespace mirelda::host {

Headers DefaultStandingHeaders() {
  return {{"X-Content-Type-Options", "nosniff"},
          {"Referrer-Policy", "same-origin"},
          {"X-Frame-Options", "SAMEORIGIN"}};
}

Headers WithStandingHeaders(const Headers& own, const Headers& standing) {
  Headers all = own;
  // A plain loop variable: clang 14 cannot capture a structured binding in a lambda.
  for (const auto& header : standing) {
    bool named = std::any_of(own.begin(), own.end(), [&](const auto& mine) {
      return text::EqualsIgnoreCase(mine.first, header.first);
    });
    if (!named) all.push_back(header);
  }
  return all;
}

const char* ReasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 206:
      return "Partial Content";
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
    case 416:
      return "Range Not Satisfiable";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "";
  }
}

const std::string* Reply::FindHeader(std::string_view name) const {
  for (const auto& [k, v] : headers) {
    if (text::EqualsIgnoreCase(k, name)) return &v;
  }
  return nullptr;
}

void CompressReply(Reply& reply, bool client_takes_gzip) {
  const std::string* type = reply.FindHeader("Content-Type");
  if (reply.body.size() < kCompressMinimum || !type || !IsCompressibleType(*type) ||
      reply.FindHeader("Content-Encoding")) {
    return;
  }
  reply.AddHeader("Vary", "Accept-Encoding");
  if (!client_takes_gzip) return;
  // Pages are compressed anew for every request, so as fast as compressing goes.
  std::optional<std::string> gzip = GzipForReply(reply.body);
  if (!gzip) return;
  reply.body = std::move(*gzip);
  reply.AddHeader("Content-Encoding", "gzip");
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
