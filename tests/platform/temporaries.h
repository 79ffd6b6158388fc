// What the atomic replacement may leave behind in a folder, for the tests that check it leaves
// nothing.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace mirelda::testing {

// The files of folder that carry a temporary's ".tmp-" mark.
inline size_t Temporaries(const std::filesystem::path& folder) {
  size_t count = 0;
  for (const std::filesystem::directory_entry& e : std::filesystem::directory_iterator(folder)) {
    if (e.path().filename().string().find(".tmp-") != std::string::npos) ++count;
  }
  return count;
}

}  // namespace mirelda::testing
