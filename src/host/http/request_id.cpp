#include "host/http/request_id.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <random>

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
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(id));
  return text;
}

}  // namespace mirelda::host
