// The proxies whose forwarding headers the host believes. Behind a reverse proxy every
// connection comes from the proxy; the proxy says who its client was in X-Forwarded-For (each
// proxy on the way appends the address of its peer) and how the client came in
// X-Forwarded-Proto. Anyone can send those headers, so they count only when the peer is one of
// the trusted proxies, and only as far back as the chain of trusted proxies goes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirelda::host {

class TrustedProxies {
 public:
  TrustedProxies() = default;
  // Each entry is "ADDR" or "ADDR/PREFIX", IPv4 or IPv6. Throws mirelda::Error (number 5) naming
  // the entry that is neither.
  explicit TrustedProxies(const std::vector<std::string>& entries);

  bool empty() const { return networks_.empty(); }
  // An IPv4-mapped IPv6 address counts as its IPv4 address.
  bool Trusts(std::string_view address) const;

  struct Client {
    std::string address;
    std::optional<bool> https;  // none: as the connection itself
  };
  // The client of a request from peer. forwarded_for is the X-Forwarded-For list (all its
  // headers joined with commas), forwarded_proto the X-Forwarded-Proto value; both empty when
  // absent. The client is the right-most address that is not itself a trusted proxy.
  Client Resolve(std::string_view peer, std::string_view forwarded_for,
                 std::string_view forwarded_proto) const;

 private:
  struct Network {
    std::array<uint8_t, 16> bytes{};  // IPv4 as IPv4-mapped IPv6
    int prefix = 128;
  };
  std::vector<Network> networks_;
};

}  // namespace mirelda::host
