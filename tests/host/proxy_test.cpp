// mirelda-host behind a real nginx on loopback: with the proxy trusted, pages and the access log
// see the client nginx saw and the scheme it was reached by; without it, the proxy's address;
// and the same headers sent straight from a peer that is not trusted change nothing.
#include <gtest/gtest.h>

#include "host/host_process.h"
#include "host/http_client.h"
#include "host/proxy_process.h"

namespace mirelda::testing {
namespace {

using Headers = std::vector<std::pair<std::string, std::string>>;

// The body of the reply to GET target sent from the local address from, "<status N>" for a
// status other than 200.
std::string GetFrom(const char* from, int port, const std::string& target,
                    const Headers& headers = {}) {
  HttpReply r = HttpRequest(port, "GET", target, headers, {}, from);
  return r.status == 200 ? r.body : "<status " + std::to_string(r.status) + ">";
}

TEST(BehindNginx, ForwardedHeadersCountOnlyFromATrustedProxy) {
  const Headers spoof = {{"X-Forwarded-For", "203.0.113.7"}, {"X-Forwarded-Proto", "https"}};
  struct Case {
    bool trusted;
    const char* via_proxy;       // REMOTE_ADDR HTTPS of a request through nginx
    const char* spoofed_proxy;   // the same with the client's own forwarding headers
    const char* spoofed_direct;  // those headers sent straight to the host from 127.0.0.2
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
    {
      // nginx goes first, taking its kept-alive connections with it, so that the host stops idle.
      ProxyProcess nginx(dir / "nginx", {host.port()});
      EXPECT_EQ(GetFrom("127.0.0.2", nginx.port(), "/client.asp"), c.via_proxy);
      EXPECT_EQ(GetFrom("127.0.0.2", nginx.port(), "/client.asp", spoof), c.spoofed_proxy);
      EXPECT_EQ(GetFrom("127.0.0.2", host.port(), "/client.asp", spoof), c.spoofed_direct);
    }
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
  ProxyProcess nginx(dir / "nginx", {host.port()});
  const Headers forwarded = {{"X-Forwarded-For", "198.51.100.4"}};
  // The client at 127.0.0.9 is itself in the trusted network: the hop before it is believed.
  EXPECT_EQ(GetFrom("127.0.0.9", nginx.port(), "/client.asp", forwarded), "198.51.100.4");
  EXPECT_EQ(GetFrom("127.0.1.9", nginx.port(), "/client.asp", forwarded), "127.0.1.9");
  EXPECT_EQ(GetFrom("127.0.1.9", host.port(), "/client.asp", forwarded), "127.0.1.9");
}

}  // namespace
}  // namespace mirelda::testing
