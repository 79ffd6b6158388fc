// The whole of a file as the tests compare it.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace mirelda::testing {

// The whole of a file, "" when there is none.
inline std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace mirelda::testing
