// The one table from a POSIX errno to the page-visible Error a file operation raises.
//
// Components grew their own numbers before this table and pages may rely on them, so a caller
// says which rows of the table it answers with and what every other errno becomes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "mirelda/error.h"

namespace mirelda::platform {

// Rows of the table, as bits.
enum ErrnoRow : unsigned {
  kNotFoundRow = 1u << 0,  // ENOENT, ENOTDIR -> 76 Path not found
  kDeniedRow = 1u << 1,    // EACCES, EPERM, EROFS -> 70 Permission denied
  kExistsRow = 1u << 2,    // EEXIST -> 58 File already exists
  kDiskFullRow = 1u << 3,  // ENOSPC, EDQUOT -> 61 Disk full
  kBadNameRow = 1u << 4,   // ENAMETOOLONG -> 52 Bad file name or number
  kFolderRow = 1u << 5,    // EISDIR -> 75 Path/File access error
  kAllRows = (1u << 6) - 1,
};

// Run-time error numbers of file operations that mirelda/error.h does not name.
inline constexpr int32_t kBadFileName = 52;
inline constexpr int32_t kDeviceError = 57;
inline constexpr int32_t kDiskFull = 61;
inline constexpr int32_t kPathFileAccess = 75;

struct ErrnoNumbers {
  unsigned rows = kAllRows;
  // What an errno outside the chosen rows becomes.
  int32_t fallback = kDeviceError;
};

struct ErrnoEntry {
  int32_t number;
  std::string description;  // the number's standard text
};

ErrnoEntry LookUpErrno(int err, const ErrnoNumbers& numbers = {});

// The Error for err. Its description is the standard text, followed by ": <path> (<system
// text>)" when a path is given; pages see it, so callers pass the page's path, never a host one.
Error ErrnoError(int err, std::string_view path = {}, const ErrnoNumbers& numbers = {},
                 std::string source = {});

}  // namespace mirelda::platform
