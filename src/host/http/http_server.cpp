#include "host/http/http_server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>
#include <utility>

#include "host/http/content_encoding.h"
#include "host/http/exchange.h"
#include "host/http/health_check.h"
#include "host/objects/url_encoding.h"
#include "mirelda/error.h"
#include "mirelda/text.h"
#include "platform/errno_error.h"

namespace mirelda::host {

namespace {

// How long shutdown waits, after its grace, for pages being stopped at their time limit.
constexpr std::chrono::seconds kPagesStopWithin{30};
// What a connection's socket says of its two ends, read once when it opens: every request on a
// keep-alive connection shares them. Kept as the connection's socket context.
struct Peer {
  std::string remote_address;
  uint16_t remote_port = 0;
  std::string local_address;
  uint16_t local_port = 0;
  bool over_cap = false;  // came in over the cap: answered 503
};
// Each connection's buffer for headers and body reads. The library clears it between the requests
// of a keep-alive connection, so its size is paid on every request. Above 32 KiB the library maps
// every connection's buffer afresh and unmaps it at the close, whose page faults and flushes of
// other cores' address caches cost more than the whole request of a client that does not keep its
// connection (about 400 us against 50 us here). 32 KiB still holds twice the headers that common
// servers take (16 KiB) and reads a body in pieces of over 16 KiB.
constexpr size_t kConnectionMemory = 32 * 1024;

std::string AddressText(const struct sockaddr* address, uint16_t* port) {
  char text[INET6_ADDRSTRLEN] = {};
  if (!address) return "";
  if (address->sa_family == AF_INET) {
    const auto* in = reinterpret_cast<const struct sockaddr_in*>(address);
    ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    *port = ntohs(in->sin_port);
  } else if (address->sa_family == AF_INET6) {
    const auto* in6 = reinterpret_cast<const struct sockaddr_in6*>(address);
    ::inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
    *port = ntohs(in6->sin6_port);
  }
  return text;
}

void DescribePeer(struct MHD_Connection* connection, Peer& peer) {
  const union MHD_ConnectionInfo* client =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  peer.remote_address = AddressText(client ? client->client_addr : nullptr, &peer.remote_port);
  const union MHD_ConnectionInfo* socket =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
  if (!socket) return;
  struct sockaddr_storage local {};
  socklen_t size = sizeof local;
  if (::getsockname(socket->connect_fd, reinterpret_cast<struct sockaddr*>(&local), &size) == 0) {
    peer.local_address = AddressText(reinterpret_cast<struct sockaddr*>(&local), &peer.local_port);
  }
}

const Peer* PeerOf(struct MHD_Connection* connection) {
  const union MHD_ConnectionInfo* context =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
  return context ? static_cast<const Peer*>(context->socket_context) : nullptr;
}

// The callbacks are called from C: nothing may be thrown through them.
MHD_Result OnAccept(void* cls, const struct sockaddr*, socklen_t) {
  return static_cast<HttpServer*>(cls)->Accepting() ? MHD_YES : MHD_NO;
}

void* OnUri(void* cls, const char* uri, struct MHD_Connection*) {
  try {
    return static_cast<HttpServer*>(cls)->BeginRequest(uri);
  } catch (...) {
    return nullptr;
  }
}

MHD_Result OnRequest(void* cls, struct MHD_Connection* connection, const char*, const char* method,
                     const char* version, const char* upload_data, size_t* upload_data_size,
                     void** con_cls) {
  try {
    auto* server = static_cast<HttpServer*>(cls);
    if (!*con_cls) *con_cls = server->BeginRequest("");
    auto* exchange = static_cast<HttpServer::Exchange*>(*con_cls);
    return server->Handle(connection, *exchange, method, version, upload_data, upload_data_size)
               ? MHD_YES
               : MHD_NO;
  } catch (...) {
    return MHD_NO;  // closes the connection
  }
}

void OnCompleted(void* cls, struct MHD_Connection*, void** con_cls,
                 enum MHD_RequestTerminationCode) {
  auto* exchange = static_cast<HttpServer::Exchange*>(*con_cls);
  *con_cls = nullptr;
  if (!exchange) return;
  try {
    static_cast<HttpServer*>(cls)->EndRequest(exchange);
  } catch (...) {
    // Only the log line can fail here; the exchange is gone either way.
  }
}

void OnConnection(void* cls, struct MHD_Connection* connection, void** socket_context,
                  enum MHD_ConnectionNotificationCode code) {
  auto* server = static_cast<HttpServer*>(cls);
  if (code == MHD_CONNECTION_NOTIFY_STARTED) {
    bool admitted = server->AdmitConnection();
    Peer* peer = new (std::nothrow) Peer;
    if (!peer) return;  // its requests are answered 503
    *socket_context = peer;
    peer->over_cap = !admitted;
    try {
      DescribePeer(connection, *peer);
    } catch (...) {
      // Unnamed ends leave the addresses empty; the requests are served all the same.
    }
  } else {
    delete static_cast<Peer*>(*socket_context);
    *socket_context = nullptr;
    server->DropConnection();
  }
}

void OnLibraryMessage(void* cls, const char* format, va_list args) {
  char buffer[512];
  std::vsnprintf(buffer, sizeof buffer, format, args);
  std::string line = buffer;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  static_cast<AccessLog*>(cls)->Line("http: " + line);
}

MHD_Result CollectHeader(void* cls, enum MHD_ValueKind, const char* key, const char* value) {
  static_cast<HeaderList*>(cls)->emplace_back(key ? key : "", value ? value : "");
  return MHD_YES;
}

// The value of every header of one name, joined with commas as one list.
std::string JoinedHeader(struct MHD_Connection* connection, std::string_view name) {
  HeaderList headers;
  MHD_get_connection_values(connection, MHD_HEADER_KIND, &CollectHeader, &headers);
  std::string joined;
  for (const auto& [key, value] : headers) {
    if (!text::EqualsIgnoreCase(key, name)) continue;
    if (!joined.empty()) joined += ",";
    joined += value;
  }
  return joined;
}

// Every connection is a descriptor, and pages open files and databases beside them: the soft
// limit is raised to fit, as far as the hard one lets it.
void AllowDescriptors(unsigned connections) {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
  rlim_t wanted = std::min<rlim_t>(limit.rlim_max, rlim_t{connections} + 256);
  if (limit.rlim_cur >= wanted) return;
  limit.rlim_cur = wanted;
  ::setrlimit(RLIMIT_NOFILE, &limit);
}

// "/a/b?x=1" into path and query; an absolute-form URI loses its scheme and authority.
void SplitUri(std::string_view uri, std::string* path, std::string* query) {
  for (std::string_view scheme : {"http://", "https://"}) {
    if (uri.size() > scheme.size() &&
        text::EqualsIgnoreCase(uri.substr(0, scheme.size()), scheme)) {
      size_t slash = uri.find('/', scheme.size());
      uri = slash == std::string_view::npos ? std::string_view("/") : uri.substr(slash);
    }
  }
  size_t mark = uri.find('?');
  *path = std::string(uri.substr(0, mark));
  *query = mark == std::string_view::npos ? std::string() : std::string(uri.substr(mark + 1));
  size_t hash = query->find('#');
  if (hash != std::string::npos) query->resize(hash);
}

}  // namespace

HttpServer::HttpServer(ServerSettings settings, const Site& site, PageRunner& pages, AccessLog& log)
    : settings_(std::move(settings)), site_(site), pages_(pages), log_(log) {}

HttpServer::~HttpServer() { Shutdown(std::chrono::seconds(5)); }

void HttpServer::Start() {
  struct sockaddr_storage address {};
  auto* in = reinterpret_cast<struct sockaddr_in*>(&address);
  auto* in6 = reinterpret_cast<struct sockaddr_in6*>(&address);
  // With a thread per connection a page runs on its connection's thread, so no connection is
  // ever suspended; poll, since select cannot watch descriptors past 1023.
  unsigned flags = settings_.thread_per_connection
                       ? MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_THREAD_PER_CONNECTION |
                             MHD_USE_POLL | MHD_USE_ITC | MHD_USE_ERROR_LOG
                       : MHD_USE_AUTO_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ITC |
                             MHD_USE_ERROR_LOG;
  if (::inet_pton(AF_INET, settings_.address.c_str(), &in->sin_addr) == 1) {
    in->sin_family = AF_INET;
    in->sin_port = htons(settings_.port);
  } else if (::inet_pton(AF_INET6, settings_.address.c_str(), &in6->sin6_addr) == 1) {
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(settings_.port);
    flags |= MHD_USE_IPv6;
  } else {
    throw Error(errc::kInvalidProcedureCall,
                "the listen address " + settings_.address + " is not an IPv4 or IPv6 address");
  }
  // The listener refuses what lies past the slack, so a flood costs no more than that.
  unsigned slack = std::max(16u, settings_.max_connections / 8);
  unsigned hard_limit = settings_.max_connections + slack;
  AllowDescriptors(hard_limit);
  auto timeout = static_cast<unsigned int>(settings_.connection_timeout.count());
  // Connections with threads of their own have no shared I/O threads: the pool's size is not
  // named at all (a size of none draws a warning).
  MHD_OptionItem io_pool[] = {
      {MHD_OPTION_THREAD_POOL_SIZE, static_cast<intptr_t>(settings_.io_threads), nullptr},
      {MHD_OPTION_END, 0, nullptr}};
  if (settings_.thread_per_connection) {
    io_pool[0] = io_pool[1];
    page_permits_ = std::make_unique<std::counting_semaphore<>>(settings_.workers);
  } else {
    workers_ = std::make_unique<WorkerPool>(settings_.workers);
  }
  daemon_ = MHD_start_daemon(
      flags, settings_.port, &OnAccept, this, &OnRequest, this, MHD_OPTION_EXTERNAL_LOGGER,
      &OnLibraryMessage, &log_, MHD_OPTION_SOCK_ADDR, reinterpret_cast<struct sockaddr*>(&address),
      MHD_OPTION_URI_LOG_CALLBACK, &OnUri, this, MHD_OPTION_NOTIFY_COMPLETED, &OnCompleted, this,
      MHD_OPTION_ARRAY, io_pool, MHD_OPTION_CONNECTION_TIMEOUT, timeout,
      MHD_OPTION_CONNECTION_LIMIT, hard_limit, MHD_OPTION_NOTIFY_CONNECTION, &OnConnection, this,
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemory, MHD_OPTION_END);
  if (!daemon_) {
    int err = errno;  // before the workers stop, which may change it
    workers_.reset();
    throw Error(platform::LookUpErrno(err).number, "cannot listen on " + settings_.address + ":" +
                                                       std::to_string(settings_.port) + ": " +
                                                       std::strerror(err));
  }
  const union MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
  port_ = info ? info->port : settings_.port;
}

bool HttpServer::Shutdown(std::chrono::milliseconds grace) {
  if (!daemon_) return true;
  // Replies from now on close their connections, so clients that keep theirs alive leave too.
  stopping_ = true;
  // Newcomers are turned away from now on by the accept check, which closes them unanswered.
  // The listener itself is left to the library: quiescing it races the daemon's threads, which
  // take it out of their epoll sets too, and the library aborts the process when its own removal
  // then fails.
  bool finished = in_flight_.WaitForNone(std::chrono::steady_clock::now() + grace);
  // Pages still running must finish before the connections they hold can be closed. Past their
  // time limit they are being stopped; one that still does not end keeps the server open. A
  // request that comes on an open connection meanwhile must not start another: a connection still
  // held by a page when the library stops is fatal to the process.
  in_flight_.ClosePages();
  if (!in_flight_.WaitForNoPages(std::chrono::steady_clock::now() + kPagesStopWithin)) {
    log_.Line("shutdown: pages still run after their time limit; their connections stay open");
    return false;
  }
  MHD_stop_daemon(daemon_);
  daemon_ = nullptr;
  workers_.reset();
  return finished;
}

bool HttpServer::AdmitConnection() {
  return connections_.fetch_add(1) < static_cast<long>(settings_.max_connections);
}

void HttpServer::DropConnection() { --connections_; }

void* HttpServer::BeginRequest(const char* uri) {
  auto* exchange = new Exchange;
  exchange->raw_uri = uri ? uri : "";
  in_flight_.BeginRequest();
  return exchange;
}

void HttpServer::EndRequest(Exchange* exchange) {
  std::unique_ptr<Exchange> owned(exchange);
  AccessEntry entry;
  entry.remote_address = exchange->remote_address;
  entry.method = exchange->method;
  entry.uri = exchange->raw_uri;
  entry.protocol = exchange->protocol;
  entry.status = exchange->status;
  entry.bytes = exchange->bytes;
  entry.referer = exchange->referer;
  entry.user_agent = exchange->user_agent;
  entry.request_id = exchange->request_id;
  entry.elapsed = std::chrono::steady_clock::now() - exchange->started;
  log_.Request(entry);
  // An idle server has nothing to gather for: the lines go out now.
  if (in_flight_.EndRequest()) log_.Flush();
}

int HttpServer::Send(struct MHD_Connection* connection, Exchange& exchange, int status,
                     struct MHD_Response* response, const HeaderList& headers, size_t bytes) {
  if (!response) return 0;
  RestoreIdleTimeout(connection, exchange);
  for (const auto& [name, value] : WithStandingHeaders(headers, settings_.standing_headers)) {
    MHD_add_response_header(response, name.c_str(), value.c_str());
  }
  MHD_add_response_header(response, "Server", "Mirelda");
  if (stopping_) MHD_add_response_header(response, "Connection", "close");
  MHD_add_response_header(response, "X-Request-Id", exchange.request_id.c_str());
  exchange.status = status;
  exchange.bytes = bytes;
  MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(status), response);
  MHD_destroy_response(response);
  return queued == MHD_YES;
}

int HttpServer::Queue(struct MHD_Connection* connection, Exchange& exchange, const Reply& reply) {
  struct MHD_Response* response = MHD_create_response_from_buffer(
      reply.body.size(), const_cast<char*>(reply.body.data()), MHD_RESPMEM_MUST_COPY);
  return Send(connection, exchange, reply.status, response, reply.headers, reply.body.size());
}

void HttpServer::RestoreIdleTimeout(struct MHD_Connection* connection, Exchange& exchange) {
  if (!exchange.body_timed) return;
  MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT,
                            static_cast<unsigned>(settings_.connection_timeout.count()));
  exchange.body_timed = false;
}

int HttpServer::StartPage(struct MHD_Connection* connection, Exchange& exchange) {
  auto data = std::make_shared<RequestData>();
  data->method = exchange.method;
  data->path = exchange.target.url_path;
  data->raw_query = exchange.query;
  data->protocol = exchange.protocol;
  if (exchange.body) {
    try {
      data->body = exchange.body->Finish();
    } catch (const std::exception& e) {
      log_.Line(std::string("request body of ") + exchange.target.url_path + ": " + e.what());
      return Queue(connection, exchange, StatusReply(500));
    }
    exchange.body.reset();
  }
  MHD_get_connection_values(connection, MHD_HEADER_KIND, &CollectHeader, &data->headers);
  data->remote_address = exchange.remote_address;
  data->remote_port = exchange.remote_port;
  data->https = exchange.https;
  data->request_id = exchange.request_id;
  if (const Peer* peer = PeerOf(connection)) {
    data->local_address = peer->local_address;
    data->local_port = peer->local_port;
  }
  if (!in_flight_.BeginPage()) return Queue(connection, exchange, StatusReply(503));
  exchange.dispatched = true;
  bool gzip = settings_.compress && AcceptsGzip(data->Header("Accept-Encoding"));
  if (page_permits_) {
    // The connection's own thread runs the page: there is nothing to hand over or wake.
    Reply reply;
    {
      page_permits_->acquire();
      struct Release {
        std::counting_semaphore<>& permits;
        ~Release() { permits.release(); }
      } release{*page_permits_};
      reply = RunPage(exchange, std::move(data), gzip);
    }
    int queued = Queue(connection, exchange, reply);
    in_flight_.EndPage();
    return queued;
  }
  // A request with a body may take as long as its body is large, whatever the page's record.
  if (settings_.quick_pages && exchange.received == 0 &&
      quick_pages_.RunsInPlace(exchange.target.url_path)) {
    QuickPages::Timer timer(true);
    Reply reply = RunPage(exchange, std::move(data), gzip);
    quick_pages_.Record(exchange.target.url_path, timer.Stop());
    int queued = Queue(connection, exchange, reply);
    in_flight_.EndPage();
    return queued;
  }
  MHD_suspend_connection(connection);
  Exchange* job_exchange = &exchange;
  workers_->Submit([this, connection, job_exchange, gzip, data = std::move(data)]() mutable {
    std::optional<QuickPages::Timer> timer;
    if (settings_.quick_pages) timer.emplace(false);
    job_exchange->reply = std::make_unique<Reply>(RunPage(*job_exchange, std::move(data), gzip));
    if (timer) quick_pages_.Record(job_exchange->target.url_path, timer->Stop());
    MHD_resume_connection(connection);
    in_flight_.EndPage();
  });
  return 1;
}

Reply HttpServer::RunPage(Exchange& exchange, std::shared_ptr<RequestData> data, bool gzip) {
  try {
    Reply reply = pages_.Run(std::move(data), exchange.target);
    if (exchange.page_status && reply.status < 300) reply.status = exchange.page_status;
    if (settings_.compress) CompressReply(reply, gzip);
    return reply;
  } catch (const std::exception& e) {
    log_.Line("page " + exchange.target.url_path + " failed: " + e.what());
  } catch (...) {
    // Whatever escaped a page must not take its thread, or the connection it holds, with it.
    log_.Line("page " + exchange.target.url_path + " failed");
  }
  return StatusReply(500);
}

void HttpServer::FindClient(struct MHD_Connection* connection, Exchange& exchange) {
  auto header = [connection](const char* name) {
    const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
    return value ? std::string(value) : std::string();
  };
  exchange.referer = header(MHD_HTTP_HEADER_REFERER);
  exchange.user_agent = header(MHD_HTTP_HEADER_USER_AGENT);
  if (settings_.trusted_proxies.empty() ||
      !settings_.trusted_proxies.Trusts(exchange.remote_address)) {
    return;
  }
  TrustedProxies::Client client = settings_.trusted_proxies.Resolve(
      exchange.remote_address, JoinedHeader(connection, "X-Forwarded-For"),
      JoinedHeader(connection, "X-Forwarded-Proto"));
  if (client.address != exchange.remote_address) exchange.remote_port = 0;
  exchange.remote_address = client.address;
  if (client.https) exchange.https = *client.https;
}

void HttpServer::NotFound(Exchange& exchange) {
  SiteTarget page = settings_.error_pages.Find(404);
  if (page.kind == SiteTarget::Kind::kPage) {
    exchange.target = page;
    exchange.page_status = 404;
  } else if (page.kind == SiteTarget::Kind::kStaticFile) {
    std::optional<Reply> own = settings_.error_pages.FileReply(page, 404);
    if (own) exchange.reply = std::make_unique<Reply>(std::move(*own));
  }
}

int HttpServer::Handle(::MHD_Connection* connection, Exchange& exchange, const char* method,
                       const char* version, const char* upload_data, size_t* upload_data_size) {
  if (!exchange.headers_seen) {
    // The headers are in. Replies wait for the end of the request (a reply queued before the
    // library has seen the whole request would close a keep-alive connection), except 413,
    // which must not wait for a body it refuses.
    exchange.headers_seen = true;
    exchange.method = method ? method : "";
    const Peer* peer = PeerOf(connection);
    if (!peer || peer->over_cap) {
      Reply busy = StatusReply(503, "The server has too many connections open.");
      busy.AddHeader("Connection", "close");
      busy.AddHeader("Retry-After", "1");
      return Queue(connection, exchange, busy);
    }
    exchange.protocol = version ? version : "";
    exchange.remote_address = peer->remote_address;
    exchange.remote_port = peer->remote_port;
    FindClient(connection, exchange);
    uint64_t declared_body = 0;
    SplitUri(exchange.raw_uri, &exchange.path, &exchange.query);
    if (!settings_.health_path.empty() && exchange.path == settings_.health_path) {
      exchange.reply =
          std::make_unique<Reply>(HealthReply(settings_.registry, settings_.spool_folder));
      return 1;
    }
    const char* length =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
    if (length) {
      char* end = nullptr;
      errno = 0;
      unsigned long long declared = std::strtoull(length, &end, 10);
      if (errno != 0 || declared > settings_.max_body) {
        return Queue(connection, exchange,
                     StatusReply(413, "The request body is larger than this server takes."));
      }
      declared_body = declared;
    }
    const char* chunked =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING);
    if (declared_body > 0 || chunked) {
      // A body that stops arriving holds a file; it is dropped after this much silence.
      MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT,
                                static_cast<unsigned>(settings_.body_timeout.count()));
      exchange.body_timed = true;
    }
    exchange.target = site_.Resolve(exchange.path);
    if (exchange.target.kind == SiteTarget::Kind::kNotFound) NotFound(exchange);
    if (exchange.target.kind == SiteTarget::Kind::kPage) {
      exchange.body = std::make_unique<RequestBody>(settings_.body_buffer, settings_.spool_folder);
      try {
        exchange.body->Expect(declared_body);
      } catch (const std::exception& e) {
        log_.Line(e.what());
        return Queue(connection, exchange, StatusReply(503));
      }
    }
    switch (exchange.target.kind) {
      case SiteTarget::Kind::kBadRequest:
        exchange.reply = std::make_unique<Reply>(StatusReply(400));
        break;
      case SiteTarget::Kind::kNotFound:
        if (!exchange.reply) exchange.reply = std::make_unique<Reply>(StatusReply(404));
        break;
      case SiteTarget::Kind::kFolder: {
        exchange.reply = std::make_unique<Reply>(StatusReply(301));
        std::string location = EscapeUrlForHeader(exchange.target.url_path);
        if (!exchange.query.empty()) location += "?" + EscapeUrlForHeader(exchange.query);
        exchange.reply->AddHeader("Location", location);
        break;
      }
      case SiteTarget::Kind::kStaticFile:
        if (exchange.method != "GET" && exchange.method != "HEAD") {
          exchange.reply = std::make_unique<Reply>(StatusReply(405));
          exchange.reply->AddHeader("Allow", "GET, HEAD");
        }
        break;
      case SiteTarget::Kind::kPage:
        if (exchange.method != "GET" && exchange.method != "HEAD" && exchange.method != "POST") {
          exchange.reply = std::make_unique<Reply>(StatusReply(405));
          exchange.reply->AddHeader("Allow", "GET, HEAD, POST");
        }
        break;
    }
    return 1;
  }
  if (*upload_data_size > 0) {
    // A body without a declared length is measured as it arrives; past the limit the connection
    // is closed, as no reply can be sent before the body has been read.
    exchange.received += *upload_data_size;
    if (exchange.received > settings_.max_body) return 0;
    // Only pages read bodies; anything else sent to other targets is dropped as it comes.
    if (exchange.body && !exchange.reply) {
      try {
        exchange.body->Append(upload_data, *upload_data_size);
      } catch (const std::exception& e) {
        log_.Line(e.what());
        return 0;
      }
    }
    *upload_data_size = 0;
    return 1;
  }
  if (exchange.reply) return Queue(connection, exchange, *exchange.reply);
  if (exchange.target.kind == SiteTarget::Kind::kStaticFile)
    return ServeStatic(connection, exchange);
  if (exchange.dispatched) return 1;
  return StartPage(connection, exchange);
}

}  // namespace mirelda::host
