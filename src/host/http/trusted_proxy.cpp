#include "host/http/trusted_proxy.h"

#include <arpa/inet.h>

#include <cstring>

#include "host/http/header_text.h"
#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::host {
namespace {

// The 16 bytes of an IPv6 address, an IPv4 one mapped (::ffff:a.b.c.d); false when text is
// neither. "[::1]" is taken as "::1". *v4 tells which it was.
bool ParseAddress(std::string_view text, std::array<uint8_t, 16>* bytes, bool* v4) {
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
    text = text.substr(1, text.size() - 2);
  }
  if (text.empty() || text.size() >= INET6_ADDRSTRLEN) return false;
  std::string s(text);
  bytes->fill(0);
  unsigned char v4_bytes[4];
  if (::inet_pton(AF_INET, s.c_str(), v4_bytes) == 1) {
    (*bytes)[10] = 0xFF;
    (*bytes)[11] = 0xFF;
    std::memcpy(bytes->data() + 12, v4_bytes, 4);
    *v4 = true;
    return true;
  }
  *v4 = false;
  return ::inet_pton(AF_INET6, s.c_str(), bytes->data()) == 1;
}

}  // namespace

TrustedProxies::TrustedProxies(const std::vector<std::string>& entries) {
  for (const std::string& entry : entries) {
    size_t slash = entry.find('/');
    Network network;
    bool v4 = false;
    if (!ParseAddress(std::string_view(entry).substr(0, slash), &network.bytes, &v4)) {
      throw Error(errc::kInvalidProcedureCall,
                  "--trusted-proxy takes ADDR[/PREFIX] with an IPv4 or IPv6 "
                  "address, not \"" +
                      entry + "\"");
    }
    network.prefix = 128;
    if (slash != std::string::npos) {
      std::string digits = entry.substr(slash + 1);
      int most = v4 ? 32 : 128;
      bool number = !digits.empty() && digits.size() <= 3 &&
                    digits.find_first_not_of("0123456789") == std::string::npos;
      int prefix = number ? std::stoi(digits) : -1;
      if (prefix < 0 || prefix > most) {
        throw Error(
            errc::kInvalidProcedureCall,
            "--trusted-proxy " + entry + ": the prefix must be 0 to " + std::to_string(most));
      }
      network.prefix = v4 ? prefix + 96 : prefix;
    }
    networks_.push_back(network);
  }
}

bool TrustedProxies::Trusts(std::string_view address) const {
  std::array<uint8_t, 16> bytes{};
  bool v4 = false;
  if (!ParseAddress(TrimHeaderSpace(address), &bytes, &v4)) return false;
  for (const Network& network : networks_) {
    // A v4 network is a mapped one of prefix 96 + n, so it matches mapped addresses only.
    int bits = network.prefix;
    bool inside = true;
    for (size_t i = 0; bits > 0 && inside; ++i, bits -= 8) {
      uint8_t mask = bits >= 8 ? 0xFF : static_cast<uint8_t>(0xFF << (8 - bits));
      inside = (bytes[i] & mask) == (network.bytes[i] & mask);
    }
    if (inside) return true;
  }
  return false;
}

TrustedProxies::Client TrustedProxies::Resolve(std::string_view peer,
                                               std::string_view forwarded_for,
                                               std::string_view forwarded_proto) const {
  Client client{std::string(peer), std::nullopt};
  if (!Trusts(peer)) return client;
  // From the right: each trusted hop vouches for the address before it.
  while (!forwarded_for.empty()) {
    size_t comma = forwarded_for.rfind(',');
    std::string_view hop = TrimHeaderSpace(
        comma == std::string_view::npos ? forwarded_for : forwarded_for.substr(comma + 1));
    forwarded_for =
        comma == std::string_view::npos ? std::string_view() : forwarded_for.substr(0, comma);
    std::array<uint8_t, 16> bytes{};
    bool v4 = false;
    // What a trusted hop wrote is an address; anything else came from further out.
    if (!ParseAddress(hop, &bytes, &v4)) break;
    if (hop.size() >= 2 && hop.front() == '[') hop = hop.substr(1, hop.size() - 2);
    client.address = std::string(hop);
    if (!Trusts(hop)) break;
  }
  std::string_view proto = forwarded_proto;
  size_t comma = proto.rfind(',');
  if (comma != std::string_view::npos) proto = proto.substr(comma + 1);
  proto = TrimHeaderSpace(proto);
  if (!proto.empty()) client.https = text::EqualsIgnoreCase(proto, "https");
  return client;
}

}  // namespace mirelda::host
