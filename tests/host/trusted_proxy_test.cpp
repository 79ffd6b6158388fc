// Which peers' forwarding headers count, and which client they name.
#include "host/http/trusted_proxy.h"

#include <gtest/gtest.h>

#include "mirelda/error.h"

namespace mirelda::host {
namespace {

TEST(TrustedProxies, PeersInsideTheGivenNetworks) {
  TrustedProxies proxies({"127.0.0.1", "10.1.0.0/16", "2001:db8::/32", "::1", "192.168.7.9/32"});
  for (const char* address : {"127.0.0.1", "10.1.200.3", "2001:db8:ffff::1", "::1", "[::1]",
                              "::ffff:127.0.0.1",  // a v4 peer of a dual-stack socket
                              "192.168.7.9"}) {
    EXPECT_TRUE(proxies.Trusts(address)) << address;
  }
  for (const char* address :
       {"127.0.0.2", "10.2.0.1", "2001:db9::1", "::ffff:10.2.0.1", "192.168.7.8", "", "unknown"}) {
    EXPECT_FALSE(proxies.Trusts(address)) << address;
  }
  // A v4 network never takes in a v6 address that merely shares leading bits.
  EXPECT_FALSE(TrustedProxies({"0.0.0.0/0"}).Trusts("2001:db8::1"));
  EXPECT_TRUE(TrustedProxies({"0.0.0.0/0"}).Trusts("203.0.113.5"));
  EXPECT_TRUE(TrustedProxies({"::/0"}).Trusts("203.0.113.5"));
}

TEST(TrustedProxies, BadEntriesAreRefused) {
  for (const char* entry : {"", "localhost", "10.0.0.0/33", "::1/129", "10.0.0.0/", "1.2.3.4/x",
                            "1.2.3", "10.0.0.0/-1"}) {
    EXPECT_THROW(TrustedProxies({entry}), mirelda::Error) << entry;
  }
}

TEST(TrustedProxies, TheClientIsTheRightMostUntrustedHop) {
  TrustedProxies proxies({"127.0.0.1", "10.0.0.0/8"});
  struct Case {
    const char* peer;
    const char* forwarded_for;
    const char* forwarded_proto;
    const char* address;
    std::optional<bool> https;
  };
  for (const Case& c : std::vector<Case>{
           {"127.0.0.1", "203.0.113.7", "https", "203.0.113.7", true},
           {"127.0.0.1", "203.0.113.7", "http", "203.0.113.7", false},
           {"127.0.0.1", "", "", "127.0.0.1", std::nullopt},
           // A client that sends its own X-Forwarded-For only adds to the left of the truth.
           {"127.0.0.1", "1.1.1.1, 203.0.113.7", "HTTPS", "203.0.113.7", true},
           {"127.0.0.1", "198.51.100.2,10.0.0.5, 10.9.9.9", "", "198.51.100.2", std::nullopt},
           {"127.0.0.1", "10.0.0.5", "", "10.0.0.5", std::nullopt},  // all trusted: the first
           {"127.0.0.1", "garbage, 203.0.113.7", "", "203.0.113.7", std::nullopt},
           {"127.0.0.1", "203.0.113.7, garbage", "", "127.0.0.1", std::nullopt},
           {"127.0.0.1", "2001:db8::7", "", "2001:db8::7", std::nullopt},
           {"127.0.0.1", "[2001:db8::7]", "", "2001:db8::7", std::nullopt},
           {"127.0.0.1", "203.0.113.7", "http, https", "203.0.113.7", true},
           // From anyone else the headers say nothing.
           {"192.0.2.1", "203.0.113.7", "https", "192.0.2.1", std::nullopt},
       }) {
    TrustedProxies::Client client = proxies.Resolve(c.peer, c.forwarded_for, c.forwarded_proto);
    EXPECT_EQ(client.address, c.address) << c.peer << " " << c.forwarded_for;
    EXPECT_EQ(client.https, c.https) << c.peer << " " << c.forwarded_proto;
  }
}

}  // namespace
}  // namespace mirelda::host
