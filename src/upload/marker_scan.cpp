#include "upload/marker_scan.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mirelda::upload {
namespace {

bool StartsAt(std::string_view data, size_t at, std::string_view marker) {
  return marker.size() <= data.size() - at &&
         std::memcmp(data.data() + at, marker.data(), marker.size()) == 0;
}

// Byte by byte: a stretch with a candidate, an end too short for a whole stretch, and marker
// sets the stretches do not take.
void ScanBytes(std::string_view data, size_t begin, size_t end,
               std::span<const std::string_view> markers,
               const std::function<void(size_t, size_t)>& found) {
  for (size_t at = begin; at < end; ++at) {
    for (size_t m = 0; m < markers.size(); ++m) {
      if (!markers[m].empty() && data[at] == markers[m][0] && StartsAt(data, at, markers[m])) {
        found(m, at);
      }
    }
  }
}

#if defined(__SSE2__)
// Thirty-two offsets at a time: an offset is a candidate when a marker's first and last bytes
// both match there, which random content gives once in 65536 offsets per marker; only a stretch
// with a candidate is looked at byte by byte. N is fixed so that the loop over the markers
// unrolls. Returns where the stretches stopped.
template <size_t N>
size_t ScanStretches(std::string_view data, size_t begin, size_t end,
                     std::span<const std::string_view> markers,
                     const std::function<void(size_t, size_t)>& found) {
  constexpr size_t kBlock = 16;
  constexpr size_t kStretch = 2 * kBlock;
  constexpr size_t kPrefetchAhead = 2048;
  __m128i first[N];
  __m128i last[N];
  size_t last_at[N];
  size_t longest = 0;
  for (size_t m = 0; m < N; ++m) {
    first[m] = _mm_set1_epi8(markers[m].front());
    last[m] = _mm_set1_epi8(markers[m].back());
    last_at[m] = markers[m].size() - 1;
    longest = std::max(longest, markers[m].size());
  }
  auto load = [](const char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
  size_t at = begin;
  // Every load, at an offset and at its markers' last bytes, stays inside data.
  for (; at + kStretch <= end && at + kStretch + longest - 1 <= data.size(); at += kStretch) {
    const char* p = data.data() + at;
    // The processor's own prefetching falls behind a scan this quick through a large body.
    __builtin_prefetch(data.data() + std::min(at + kPrefetchAhead, data.size() - 1));
    __m128i candidates = _mm_setzero_si128();
    for (size_t block = 0; block < kStretch; block += kBlock) {
      __m128i here = load(p + block);
      for (size_t m = 0; m < N; ++m) {
        __m128i ends = _mm_cmpeq_epi8(load(p + block + last_at[m]), last[m]);
        candidates = _mm_or_si128(candidates, _mm_and_si128(_mm_cmpeq_epi8(here, first[m]), ends));
      }
    }
    if (_mm_movemask_epi8(candidates) != 0) [[unlikely]] {
      ScanBytes(data, at, at + kStretch, markers, found);
    }
  }
  return at;
}
#endif

}  // namespace

void ScanForMarkers(std::string_view data, size_t begin, size_t end,
                    std::span<const std::string_view> markers,
                    const std::function<void(size_t, size_t)>& found) {
  end = std::min(end, data.size());
  if (begin >= end) return;
  size_t at = begin;
#if defined(__SSE2__)
  // Markers of one byte, and empty ones, take the byte-by-byte path.
  bool blockwise = std::all_of(markers.begin(), markers.end(),
                               [](std::string_view marker) { return marker.size() >= 2; });
  if (blockwise && markers.size() == 1) at = ScanStretches<1>(data, begin, end, markers, found);
  if (blockwise && markers.size() == 2) at = ScanStretches<2>(data, begin, end, markers, found);
#endif
  ScanBytes(data, at, end, markers, found);
}

}  // namespace mirelda::upload
