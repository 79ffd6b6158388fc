#include "host/http/request_id.h"

#include <atomic>
#include <cstdint>
#include <random>
#include <string>

namespace mirelda::host {
namespace {

// splitmix64's finaliser is a bijection, so distinct counter values give distinct ids, and the
// random start keeps the ids of two runs of the host apart.
uint64_t Mix(uint64_t x) {
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

uint64_t RandomStart() {
  std::random_device device;
  return (uint64_t{device()} << 32) ^ device();
}

}  // namespace

std::string NewRequestId() {
  static const uint64_t start = RandomStart();
  static std::atomic<uint64_t> counter{0};
  uint64_t id = Mix(start + counter.fetch_add(1, std::memory_order_relaxed));
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, id >>= 4) text[static_cast<size_t>(i)] = kHex[id & 0xF];
  return text;
}

}  // namespace mirelda::host
