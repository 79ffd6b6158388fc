// How mirelda-host treats connections themselves: silent ones are closed after
// --connection-timeout, and the ones over --max-connections are answered 503 (or refused) while
// the host goes on serving the others.
#include "host/running_host.h"

namespace mirelda::testing {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A bare loopback socket, so a test can hold a connection open without the client closing it.
class RawConnection {
 public:
  explicit RawConnection(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ =
        fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawConnection() {
    if (fd_ >= 0) ::close(fd_);
  }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  bool connected() const { return connected_; }
  void Send(const std::string& raw) {
    if (::send(fd_, raw.data(), raw.size(), MSG_NOSIGNAL) < 0) closed_ = true;
  }

  // Reads what arrives until the deadline; true once the server has closed the connection.
  bool Closed(Clock::time_point deadline = Clock::now() + 10s) {
    Read("", deadline);
    return closed_;
  }
  // Reads until text has arrived, the server closes, or ten seconds; true when text is there.
  bool Await(const std::string& text) {
    Read(text);
    return received_.find(text) != std::string::npos;
  }
  const std::string& received() const { return received_; }
  int local_port() const {
    sockaddr_in local{};
    socklen_t size = sizeof local;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &size);
    return ntohs(local.sin_port);
  }

 private:
  // An empty until reads to the end of the stream.
  void Read(const std::string& until, Clock::time_point deadline = Clock::now() + 10s) {
    while (!closed_ && (until.empty() || received_.find(until) == std::string::npos)) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char chunk[4096];
      ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
      if (n > 0) received_.append(chunk, static_cast<size_t>(n));
      if (n <= 0) closed_ = true;
    }
  }

  int fd_ = -1;
  bool connected_ = false;
  bool closed_ = false;
  std::string received_;
};

const Files kSite = {
    {"hello.asp", "<% Response.Write(\"hello\"); %>"},
    {"hello.txt", "static hello"},
    {"ends.asp",
     "<% var v = Request.ServerVariables, n = Request.QueryString(\"n\");\n"
     "   Response.Write(\"[\" + n + \"]\" + [v(\"REMOTE_ADDR\"), v(\"REMOTE_PORT\"),\n"
     "     v(\"LOCAL_ADDR\"), v(\"SERVER_PORT\")].join(\"|\") + \"#\" + n); %>"},
};

// Silent connections close after --connection-timeout (2 s: the pauses between the requests below
// stay well inside it). A connection's ends are read once when it opens: every request on it sees
// its own, and a second connection sees its own port.
TEST(HttpConnections, SilentConnectionsCloseAfterTheTimeoutAndRequestsSeeTheirOwnEnds) {
  RunningHost host(kSite, {"--connection-timeout", "2"});
  RawConnection first(host.port()), second(host.port());
  ASSERT_TRUE(first.connected() && second.connected());
  for (auto [c, n] : std::vector<std::pair<RawConnection*, int>>{
           {&first, 1}, {&first, 2}, {&second, 3}, {&first, 4}}) {
    std::string mark = std::to_string(n);
    c->Send("GET /ends.asp?n=" + mark + " HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(c->Await("#" + mark)) << c->received();
    size_t from = c->received().find("[" + mark + "]") + mark.size() + 2;
    EXPECT_EQ(c->received().substr(from, c->received().find("#" + mark) - from),
              "127.0.0.1|" + std::to_string(c->local_port()) + "|127.0.0.1|" +
                  std::to_string(host.port()));
  }
  const std::pair<const char*, std::string> rows[] = {
      {"nothing sent", ""},
      {"half a request line", "GET /hello.asp HT"},
      {"headers never ended", "GET /hello.asp HTTP/1.1\r\nHost: x\r\n"},
      {"idle after a reply", "GET /hello.txt HTTP/1.1\r\nHost: x\r\n\r\n"},
  };
  std::vector<std::unique_ptr<RawConnection>> open;
  for (const auto& [what, sent] : rows) {
    for (int i = 0; i < 20; ++i) {
      open.push_back(std::make_unique<RawConnection>(host.port()));
      ASSERT_TRUE(open.back()->connected()) << what;
      if (!sent.empty()) open.back()->Send(sent);
    }
  }
  // Loose on purpose: the point is that they close at all, long before the default 30 s.
  auto deadline = Clock::now() + 20s;
  for (size_t i = 0; i < open.size(); ++i) {
    EXPECT_TRUE(open[i]->Closed(deadline)) << rows[i / 20].first;
  }
  EXPECT_NE(open.back()->received().find("static hello"), std::string::npos);
  EXPECT_EQ(host.Get("/hello.asp").body, "hello");
}

TEST(HttpConnections, ConnectionsOverTheCapAreTurnedAwayAndTheRestServed) {
  RunningHost host(kSite, {"--max-connections", "4"});
  std::vector<std::unique_ptr<RawConnection>> held;
  for (int i = 0; i < 4; ++i) {
    held.push_back(std::make_unique<RawConnection>(host.port()));
    held.back()->Send("GET /hello.asp HTTP/1.1\r\nHost: x\r\n\r\n");
  }
  // Each held connection has been answered and stays open for more.
  for (auto& c : held) {
    ASSERT_TRUE(c->Await("hello")) << c->received();
    EXPECT_EQ(c->received().rfind("HTTP/1.1 200", 0), 0u) << c->received();
  }
  for (const char* target : {"/hello.asp", "/hello.txt", "/missing.asp"}) {
    RawConnection extra(host.port());
    if (!extra.connected()) continue;  // refused by the listener: as good as a 503
    extra.Send(std::string("GET ") + target + " HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(extra.Closed()) << target;
    if (!extra.received().empty()) {
      EXPECT_EQ(extra.received().rfind("HTTP/1.1 503", 0), 0u) << extra.received();
      EXPECT_NE(extra.received().find("Server: Mirelda\r\n"), std::string::npos);
    }
  }
  // The held connections are still served, and once they go new ones are served again.
  held[0]->Send("GET /hello.txt HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  EXPECT_TRUE(held[0]->Await("static hello"));
  held.clear();
  EXPECT_EQ(host.GetUntil("/hello.asp", [](const HttpReply& r) { return r.status == 200; }).status,
            200);
}

}  // namespace
}  // namespace mirelda::testing
