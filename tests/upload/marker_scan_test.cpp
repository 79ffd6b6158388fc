// The one-pass marker scan against a plain search of every offset, on bytes drawn from the
// markers' own letters so that partial matches, overlaps and matches across the scan's blocks
// and the stretch's ends all occur.
#include "upload/marker_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace mirelda::upload {
namespace {

using Hits = std::vector<std::pair<size_t, size_t>>;

Hits Scanned(std::string_view data, size_t begin, size_t end,
             const std::vector<std::string_view>& markers) {
  Hits hits;
  ScanForMarkers(data, begin, end, markers,
                 [&](size_t marker, size_t at) { hits.emplace_back(marker, at); });
  return hits;
}

Hits EveryOffset(std::string_view data, size_t begin, size_t end,
                 const std::vector<std::string_view>& markers) {
  Hits hits;
  for (size_t at = begin; at < std::min(end, data.size()); ++at) {
    for (size_t m = 0; m < markers.size(); ++m) {
      if (!markers[m].empty() && data.substr(at).starts_with(markers[m])) hits.emplace_back(m, at);
    }
  }
  return hits;
}

TEST(MarkerScan, FindsWhatASearchOfEveryOffsetFinds) {
  const std::vector<std::vector<std::string_view>> marker_sets = {
      {"; name=", "--B0und"},  // the pair a body is scanned for
      {"; name="},
      {"aa"},                   // overlaps itself
      {"; name=", ""},          // an empty marker is never found
      {"=", "--B0und"},         // a one-byte marker
      {"na", "me", "e=", ";"},  // more markers than one pass compares at once
      {"--B0und--B0und--B0und--B0und--B0und--B0und"},  // longer than a block and its stretch
  };
  std::mt19937 random(7);
  const std::string letters = "; name=-B0uda\r\n";
  for (size_t length : {0, 1, 15, 31, 32, 33, 64, 100, 2500, 9000}) {
    std::string data(length, ' ');
    for (char& c : data) c = letters[random() % letters.size()];
    // Whole markers, some straddling where the scan's blocks meet.
    for (size_t at = 13; at + 7 < length; at += 29)
      data.replace(at, 7, at % 2 ? "; name=" : "--B0und");
    for (const auto& markers : marker_sets) {
      for (auto [begin, end] :
           std::vector<std::pair<size_t, size_t>>{{0, length},
                                                  {0, length + 100},
                                                  {3, length / 2},
                                                  {length / 3, length - length / 5},
                                                  {length, length},
                                                  {length / 2, length / 2 + 1}}) {
        EXPECT_EQ(Scanned(data, begin, end, markers), EveryOffset(data, begin, end, markers))
            << "length " << length << ", " << markers.size() << " markers from " << markers[0]
            << ", [" << begin << ", " << end << ")";
      }
    }
  }
}

}  // namespace
}  // namespace mirelda::upload
