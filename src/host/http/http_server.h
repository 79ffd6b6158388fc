// The HTTP side of the host on libmicrohttpd, in one of two threadings. By default a few I/O
// threads read requests and write replies over keep-alive connections; a request for a page
// waits, its connection suspended, until a worker of the page pool has run the page, so a slow
// page holds up no other connection; only a page that has proved quick many times in a row runs
// on the I/O thread itself, and one caught slow there goes back to the workers. Static files are
// sent by the I/O threads straight from the file. With a thread per connection, each connection's
// own thread reads, runs its pages and writes: a page costs no hand-over between threads, a new
// connection costs a thread start, and an open connection holds a thread while it waits.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <semaphore>
#include <string>

#include "host/http/access_log.h"
#include "host/http/compressed_files.h"
#include "host/http/error_pages.h"
#include "host/http/in_flight.h"
#include "host/http/quick_pages.h"
#include "host/http/reply.h"
#include "host/http/request_body.h"
#include "host/http/site.h"
#include "host/http/trusted_proxy.h"
#include "host/http/worker_pool.h"
#include "host/page/page_runner.h"

struct MHD_Daemon;
struct MHD_Connection;
struct MHD_Response;

namespace mirelda::host {

struct ServerSettings {
  std::string address = "127.0.0.1";
  uint16_t port = 8080;  // 0: any free port
  uint64_t max_body = uint64_t{64} << 20;
  uint64_t body_buffer = uint64_t{256} << 10;  // larger bodies go to a file in spool_folder
  std::filesystem::path spool_folder = "var";
  std::chrono::seconds body_timeout{60};  // silence a body may keep before it is dropped
  // Silence after which a connection is closed, between requests or inside one.
  std::chrono::seconds connection_timeout{30};
  // Connections served at once; a few more are let in to be answered 503, past those the
  // listener refuses them.
  unsigned max_connections = 1024;
  bool compress = true;  // gzip for text replies the client accepts it for
  unsigned io_threads = 2;
  // Page workers; with a thread per connection, the most pages that run at once.
  unsigned workers = 8;
  bool thread_per_connection = false;
  // With the I/O threads: a page that has been quick many times in a row runs on the I/O thread
  // that read its request, without a hand-over (see QuickPages).
  bool quick_pages = true;
  // Sent with every reply, pages and static files alike, unless the reply names them itself.
  Headers standing_headers = DefaultStandingHeaders();
  ErrorPages error_pages;          // the site's own 404 page
  TrustedProxies trusted_proxies;  // whose X-Forwarded-For and X-Forwarded-Proto count
  std::string health_path;         // "": none; else answered by HealthReply
  std::filesystem::path registry;  // the registration store the health answer loads
};

class HttpServer {
 public:
  HttpServer(ServerSettings settings, const Site& site, PageRunner& pages, AccessLog& log);
  // Stops as Shutdown does.
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Starts listening; throws Error when the address cannot be used.
  void Start();
  // The port it listens on (the chosen one when settings asked for 0).
  uint16_t port() const { return port_; }

  // Stops taking connections, waits up to grace for the requests in flight to be answered, then
  // closes every connection. Returns false when requests were still running at the end of grace.
  bool Shutdown(std::chrono::milliseconds grace);

  // Internals used by the server library's callbacks.
  struct Exchange;
  // False once shutdown has begun: a newcomer is closed unanswered.
  bool Accepting() const { return !stopping_; }
  // A connection opens: false when it is over max_connections.
  bool AdmitConnection();
  void DropConnection();
  void* BeginRequest(const char* uri);
  int Handle(::MHD_Connection* connection, Exchange& exchange, const char* method,
             const char* version, const char* upload_data, size_t* upload_data_size);
  void EndRequest(Exchange* exchange);

 private:
  // The one place a reply's headers are put on the wire; takes the response over.
  int Send(::MHD_Connection* connection, Exchange& exchange, int status, ::MHD_Response* response,
           const HeaderList& headers, size_t bytes);
  int Queue(::MHD_Connection* connection, Exchange& exchange, const Reply& reply);
  void RestoreIdleTimeout(::MHD_Connection* connection, Exchange& exchange);
  int ServeStatic(::MHD_Connection* connection, Exchange& exchange);
  // The request's client as the trusted proxies tell it, when the peer is one.
  void FindClient(::MHD_Connection* connection, Exchange& exchange);
  // A 404 with the site's own page: a file read now, or a page that replaces the target.
  void NotFound(Exchange& exchange);
  int StartPage(::MHD_Connection* connection, Exchange& exchange);
  // Runs the page of exchange on this thread and makes its reply; never throws.
  Reply RunPage(Exchange& exchange, std::shared_ptr<RequestData> data, bool gzip);

  ServerSettings settings_;
  const Site& site_;
  PageRunner& pages_;
  AccessLog& log_;
  CompressedFiles compressed_;
  std::unique_ptr<WorkerPool> workers_;                      // the default threading's
  std::unique_ptr<std::counting_semaphore<>> page_permits_;  // a thread per connection's
  QuickPages quick_pages_;  // the default threading's, when pages may run in place
  MHD_Daemon* daemon_ = nullptr;
  uint16_t port_ = 0;
  InFlight in_flight_;
  std::atomic<bool> stopping_{false};  // shutdown has begun
  std::atomic<long> connections_{0};   // open connections, over the cap or not
};

}  // namespace mirelda::host
