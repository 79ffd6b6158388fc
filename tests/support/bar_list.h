// A field list written as the bootstrap writes it: pieces separated by "|", where "" is one empty
// piece.
#pragma once

#include <string>
#include <vector>

#include "mirelda/variant.h"

namespace mirelda::testing {

inline Variant BarList(const std::string& bars, int32_t lower = 0) {
  std::vector<Variant> items;
  size_t start = 0;
  while (true) {
    size_t bar = bars.find('|', start);
    items.emplace_back(bars.substr(start, bar == std::string::npos ? bar : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return Variant(VariantArray(std::move(items), lower));
}

}  // namespace mirelda::testing
