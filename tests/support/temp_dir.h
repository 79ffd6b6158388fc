// A fresh folder under the system temporary folder, removed with everything in it at the end.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace mirelda::testing {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mirelda-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// The build folder, where the libraries and tools of this build are.
inline std::filesystem::path BuildDir() {
  const char* dir = std::getenv("MIRELDA_BUILD_DIR");
  return dir ? std::filesystem::path(dir) : std::filesystem::current_path();
}

}  // namespace mirelda::testing
