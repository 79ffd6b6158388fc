// The settings a page may give a FileSystem before Upload, and the settings a run of Upload uses:
// each stored setting, when set, overrides Upload's argument, which overrides the default.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mirelda::upload {

inline constexpr int32_t kDefaultSizeLimit = 100000;
inline constexpr int16_t kKeepExisting = 1;
inline constexpr int16_t kOverwriteExisting = 2;
inline constexpr int32_t kMemoryOnly = 2;
inline constexpr std::string_view kDefaultFolder = "c:\\";

// What one run of Upload works with.
struct EffectiveSettings {
  int64_t size_limit = kDefaultSizeLimit;
  int16_t overwrite_mode = kKeepExisting;
  std::string folder;
  bool store_files = true;
  std::string new_file_name;

  bool overwrites() const { return overwrite_mode == kOverwriteExisting; }
};

class UploadSettings {
 public:
  // Each setter stores the unset value (0 or empty) for a value it cannot use, never failing.
  void SetMaxSize(int32_t lngNewMaxSize) { MaxSize = lngNewMaxSize; }
  // Kept when the second character is ":" (a drive path) or when it is a POSIX absolute path.
  void SetPath(std::string varNewPath);
  // Kept when 1 or 2.
  void SetOverWrite(int16_t lngNewOverWrite);
  // 2 keeps files in memory only; anything else writes them.
  void SetUpToFile(int32_t lngReal) { UpToFile = lngReal == kMemoryOnly ? kMemoryOnly : 1; }
  void SetNewFileName(std::string strNewFileName) { NewFileName = std::move(strNewFileName); }

  int32_t max_size() const { return MaxSize; }
  const std::string& path() const { return Path; }
  int16_t overwrite() const { return OverWrite; }
  int32_t up_to_file() const { return UpToFile; }
  const std::string& new_file_name() const { return NewFileName; }

  // The settings of one run, from the stored settings and Upload's arguments.
  EffectiveSettings Resolve(int32_t lngMaxSize, const std::string& ServerPath,
                            int16_t lngOverWrite) const;

 private:
  int32_t MaxSize = 0;
  std::string Path;
  int16_t OverWrite = 0;
  int32_t UpToFile = 0;
  std::string NewFileName;
};

// A folder counts as absolute when it holds a ":" anywhere (a drive) or is a POSIX absolute path.
bool IsAbsoluteFolder(std::string_view folder);

}  // namespace mirelda::upload
