// One request on its way through the server: what was read of it, where it goes and what was
// sent. Lives from the request's first line to the library's word that it is complete.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "host/http/http_server.h"
#include "host/http/reply.h"
#include "host/http/request_body.h"
#include "host/http/request_id.h"
#include "host/http/site.h"

namespace mirelda::host {

struct HttpServer::Exchange {
  std::string raw_uri;
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
  bool headers_seen = false;
  bool dispatched = false;
  std::string method;
  std::string protocol;
  std::string remote_address;  // the client's, as far as trusted proxies tell
  uint16_t remote_port = 0;
  bool https = false;  // as a trusted proxy tells
  std::string request_id = NewRequestId();
  std::string referer;
  std::string user_agent;
  int page_status = 0;  // the status a successful page is sent with (404 for the 404 page)
  std::string path;     // raw path of raw_uri
  std::string query;    // raw query of raw_uri
  SiteTarget target;
  uint64_t received = 0;              // body bytes, kept or not
  bool body_timed = false;            // the connection waits body_timeout, not the idle timeout
  std::unique_ptr<RequestBody> body;  // made for pages only
  std::unique_ptr<Reply> reply;       // made by a worker
  int status = 0;
  size_t bytes = 0;
};

}  // namespace mirelda::host
