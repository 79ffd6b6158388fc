// mirelda-host behind a real nginx on loopback: with the proxy trusted, pages and the access log
// see the client nginx saw and the scheme it was reached by; without it, the proxy's address;
// and the same headers sent straight from a peer that is not trusted change nothing.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>

#include "host/host_process.h"
#include "support/temp_dir.h"

namespace mirelda::testing {
namespace {

namespace fs = std::filesystem;

// A connection to 127.0.0.1:port from the local address from (any 127.x.y.z is this machine),
// so that the peer the server sees is not the loopback address the proxy uses.
int ConnectFrom(const char* from, int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  ::inet_pton(AF_INET, from, &local.sin_addr);
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_port = htons(static_cast<uint16_t>(port));
  remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      ::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  return fd;
}

// The body of the reply to GET target, sent from the address from with extra header lines;
// "<status N>" for a status other than 200.
std::string GetFrom(const char* from, int port, const std::string& target,
                    const std::string& headers = "") {
  int fd = ConnectFrom(from, port);
  if (fd < 0) return "<no connection>";
  std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers +
                        "Connection: close\r\n\r\n";
  ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string reply;
  char buffer[4096];
  for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, n);
  ::close(fd);
  if (reply.rfind("HTTP/1.1 200", 0) != 0) return "<status " + reply.substr(9, 3) + ">";
  size_t body = reply.find("\r\n\r\n");
  return body == std::string::npos ? reply : reply.substr(body + 4);
}

int FreePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(fd);
  return ntohs(address.sin_port);
}

// nginx in the foreground, with a prefix of its own, passing everything to the host on
// upstream_port as a TLS front would: the client's address appended to X-Forwarded-For and
// X-Forwarded-Proto https.
class Nginx {
 public:
  Nginx(const fs::path& prefix, int upstream_port) : port_(FreePort()) {
    fs::create_directories(prefix / "logs");
    std::string p = prefix.string();
    WriteFile(prefix / "nginx.conf",
              "worker_processes 1;\nmaster_process off;\ndaemon off;\npid " + p +
                  "/nginx.pid;\nerror_log " + p + "/logs/error.log;\n"
                  "events { worker_connections 64; }\nhttp {\n  access_log off;\n"
                  "  client_body_temp_path " + p + "/body;\n  proxy_temp_path " + p +
                  "/proxy;\n  fastcgi_temp_path " + p + "/fastcgi;\n  uwsgi_temp_path " + p +
                  "/uwsgi;\n  scgi_temp_path " + p + "/scgi;\n  server {\n    listen 127.0.0.1:" +
                  std::to_string(port_) + ";\n    location / {\n      proxy_pass http://127.0.0.1:" +
                  std::to_string(upstream_port) +
                  ";\n      proxy_set_header X-Forwarded-For $proxy_add_x_forwarded_for;\n"
                  "      proxy_set_header X-Forwarded-Proto https;\n    }\n  }\n}\n");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::execl("/usr/sbin/nginx", "nginx", "-p", p.c_str(), "-c", (p + "/nginx.conf").c_str(),
              "-e", (p + "/logs/error.log").c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    // Ready once it takes connections.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      int fd = ConnectFrom("127.0.0.1", port_);
      if (fd >= 0) {
        ::close(fd);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    throw std::runtime_error("nginx did not start");
  }
  ~Nginx() {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  Nginx(const Nginx&) = delete;
  Nginx& operator=(const Nginx&) = delete;
  int port() const { return port_; }

 private:
  int port_;
  pid_t pid_ = 0;
};

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(BehindNginx, ForwardedHeadersCountOnlyFromATrustedProxy) {
  const std::string spoof = "X-Forwarded-For: 203.0.113.7\r\nX-Forwarded-Proto: https\r\n";
  struct Case {
    bool trusted;
    const char* via_proxy;        // REMOTE_ADDR HTTPS of a request through nginx
    const char* spoofed_proxy;    // the same with the client's own forwarding headers
    const char* spoofed_direct;   // those headers sent straight to the host from 127.0.0.2
  };
  for (const Case& c : std::vector<Case>{
           {true, "127.0.0.2 on", "127.0.0.2 on", "127.0.0.2 off"},
           {false, "127.0.0.1 off", "127.0.0.1 off", "127.0.0.2 off"},
       }) {
    TempDir dir;
    WriteFile(dir / "site" / "client.asp",
              "<%= Request.ServerVariables(\"REMOTE_ADDR\") & \" \" & "
              "Request.ServerVariables(\"HTTPS\") %>");
    std::vector<std::string> args = {"--access-log", (dir / "access.log").string()};
    if (c.trusted) args.insert(args.end(), {"--trusted-proxy", "127.0.0.1"});
    HostProcess host(dir.path(), dir / "site", args, false);
    Nginx nginx(dir / "nginx", host.port());
    EXPECT_EQ(GetFrom("127.0.0.2", nginx.port(), "/client.asp"), c.via_proxy);
    EXPECT_EQ(GetFrom("127.0.0.2", nginx.port(), "/client.asp", spoof), c.spoofed_proxy);
    EXPECT_EQ(GetFrom("127.0.0.2", host.port(), "/client.asp", spoof), c.spoofed_direct);
    EXPECT_EQ(host.Stop(), 0) << host.Log();
    // The access log names the same clients as the pages, one line per request.
    std::string access = ReadFile(dir / "access.log");
    std::string first(c.via_proxy, std::string_view(c.via_proxy).find(' '));
    EXPECT_EQ(access.rfind(first + " - - [", 0), 0u) << access;
    EXPECT_NE(access.find("\n127.0.0.2 - - ["), std::string::npos) << access;
    EXPECT_EQ(access.find("203.0.113.7"), std::string::npos) << access;
  }
}

// A proxy named by its network: the chain of trusted hops is walked back to the first other one.
TEST(BehindNginx, TrustedNetworksAndChains) {
  TempDir dir;
  WriteFile(dir / "site" / "client.asp", "<%= Request.ServerVariables(\"REMOTE_ADDR\") %>");
  HostProcess host(dir.path(), dir / "site", {"--trusted-proxy", "127.0.0.0/24"}, false);
  Nginx nginx(dir / "nginx", host.port());
  // The client at 127.0.0.9 is itself in the trusted network: the hop before it is believed.
  EXPECT_EQ(GetFrom("127.0.0.9", nginx.port(), "/client.asp",
                    "X-Forwarded-For: 198.51.100.4\r\n"),
            "198.51.100.4");
  EXPECT_EQ(GetFrom("127.0.1.9", nginx.port(), "/client.asp",
                    "X-Forwarded-For: 198.51.100.4\r\n"),
            "127.0.1.9");
  EXPECT_EQ(GetFrom("127.0.1.9", host.port(), "/client.asp",
                    "X-Forwarded-For: 198.51.100.4\r\n"),
            "127.0.1.9");
}

}  // namespace
}  // namespace mirelda::testing
