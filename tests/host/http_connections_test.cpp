// How mirelda-host treats connections themselves: silent ones are closed after
// --connection-timeout, and the ones over --max-connections are answered 503 (or refused) while
// the host goes on serving the others.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "host/running_host.h"

namespace mirelda::testing {
namespace {

using Clock = std::chrono::steady_clock;

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
  bool ClosedBy(Clock::time_point deadline) {
    Read("", deadline);
    return closed_;
  }
  // Reads until text has arrived, the server closes, or the deadline; true when text is there.
  bool Await(const std::string& text, Clock::time_point deadline) {
    Read(text, deadline);
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
  void Read(const std::string& until, Clock::time_point deadline) {
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

const std::map<std::string, std::string> kSite = {
    {"hello.asp", "<% Response.Write(\"hello\"); %>"},
    {"hello.txt", "static hello"},
    {"ends.asp",
     "<% var v = Request.ServerVariables, n = Request.QueryString(\"n\");\n"
     "   Response.Write(\"[\" + n + \"]\" + [v(\"REMOTE_ADDR\"), v(\"REMOTE_PORT\"),\n"
     "     v(\"LOCAL_ADDR\"), v(\"SERVER_PORT\")].join(\"|\") + \"#\" + n); %>"},
};

TEST(HttpConnections, SilentConnectionsAreClosedAfterTheTimeout) {
  RunningHost host(kSite, {"--connection-timeout", "1"});
  struct Row {
    const char* what;
    std::string sent;
  };
  const std::vector<Row> rows = {
      {"nothing sent", ""},
      {"half a request line", "GET /hello.asp HT"},
      {"headers never ended", "GET /hello.asp HTTP/1.1\r\nHost: x\r\n"},
      {"idle after a reply", "GET /hello.txt HTTP/1.1\r\nHost: x\r\n\r\n"},
  };
  std::vector<std::unique_ptr<RawConnection>> open;
  for (const Row& row : rows) {
    for (int i = 0; i < 20; ++i) {
      open.push_back(std::make_unique<RawConnection>(host.port()));
      ASSERT_TRUE(open.back()->connected()) << row.what;
      if (!row.sent.empty()) open.back()->Send(row.sent);
    }
  }
  // Loose on purpose: the point is that they close at all, long before the default 30 s.
  auto deadline = Clock::now() + std::chrono::seconds(20);
  for (size_t i = 0; i < open.size(); ++i) {
    EXPECT_TRUE(open[i]->ClosedBy(deadline)) << rows[i / 20].what;
  }
  EXPECT_NE(open.back()->received().find("static hello"), std::string::npos);
  EXPECT_EQ(host.Get("/hello.asp").body, "hello");
}

// A connection's ends are read once when it opens: every request on it sees its own, and a
// second connection sees its own port.
TEST(HttpConnections, EveryRequestSeesTheEndsOfItsOwnConnection) {
  RunningHost host(kSite);
  RawConnection first(host.port());
  RawConnection second(host.port());
  ASSERT_TRUE(first.connected() && second.connected());
  auto ends = [&](RawConnection& c, int n) {
    std::string mark = std::to_string(n);
    c.Send("GET /ends.asp?n=" + mark + " HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_TRUE(c.Await("#" + mark, Clock::now() + std::chrono::seconds(10))) << c.received();
    size_t from = c.received().find("[" + mark + "]");
    size_t to = c.received().find("#" + mark);
    if (from == std::string::npos || to == std::string::npos || to < from) return std::string();
    from += mark.size() + 2;
    return c.received().substr(from, to - from);
  };
  std::string server = "|127.0.0.1|" + std::to_string(host.port());
  for (int n : {1, 2}) {
    EXPECT_EQ(ends(first, n), "127.0.0.1|" + std::to_string(first.local_port()) + server);
  }
  EXPECT_EQ(ends(second, 3), "127.0.0.1|" + std::to_string(second.local_port()) + server);
  EXPECT_EQ(ends(first, 4), "127.0.0.1|" + std::to_string(first.local_port()) + server);
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
    ASSERT_TRUE(c->Await("hello", Clock::now() + std::chrono::seconds(10))) << c->received();
    EXPECT_EQ(c->received().rfind("HTTP/1.1 200", 0), 0u) << c->received();
  }
  for (const char* target : {"/hello.asp", "/hello.txt", "/missing.asp"}) {
    RawConnection extra(host.port());
    if (!extra.connected()) continue;  // refused by the listener: as good as a 503
    extra.Send(std::string("GET ") + target + " HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(extra.ClosedBy(Clock::now() + std::chrono::seconds(10))) << target;
    if (!extra.received().empty()) {
      EXPECT_EQ(extra.received().rfind("HTTP/1.1 503", 0), 0u) << extra.received();
      EXPECT_NE(extra.received().find("Server: Mirelda\r\n"), std::string::npos);
    }
  }
  // The held connections are still served, and once they go new ones are served again.
  held[0]->Send("GET /hello.txt HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  EXPECT_TRUE(held[0]->Await("static hello", Clock::now() + std::chrono::seconds(10)));
  held.clear();
  int status = 0;
  auto until = Clock::now() + std::chrono::seconds(10);
  while (status != 200 && Clock::now() < until) {
    status = host.Get("/hello.asp").status;
    if (status != 200) ::usleep(50000);
  }
  EXPECT_EQ(status, 200);
}

}  // namespace
}  // namespace mirelda::testing
