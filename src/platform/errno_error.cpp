#include "platform/errno_error.h"

#include <cerrno>
#include <cstring>

namespace mirelda::platform {
namespace {

struct Row {
  ErrnoRow row;
  int32_t number;
};

Row RowOf(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return {kNotFoundRow, errc::kPathNotFound};
    case EACCES:
    case EPERM:
    case EROFS:
      return {kDeniedRow, errc::kPermissionDenied};
    case EEXIST:
      return {kExistsRow, errc::kFileAlreadyExists};
    case ENOSPC:
    case EDQUOT:
      return {kDiskFullRow, kDiskFull};
    case ENAMETOOLONG:
      return {kBadNameRow, kBadFileName};
    case EISDIR:
      return {kFolderRow, kPathFileAccess};
    default:
      return {ErrnoRow{0}, 0};
  }
}

std::string Describe(int32_t number) {
  switch (number) {
    case kBadFileName:
      return "Bad file name or number";
    case kDeviceError:
      return "Device I/O error";
    case kDiskFull:
      return "Disk full";
    case kPathFileAccess:
      return "Path/File access error";
    default:
      return StandardDescription(number);
  }
}

}  // namespace

ErrnoEntry LookUpErrno(int err, const ErrnoNumbers& numbers) {
  Row row = RowOf(err);
  int32_t number = (row.row & numbers.rows) != 0 ? row.number : numbers.fallback;
  return {number, Describe(number)};
}

Error ErrnoError(int err, std::string_view path, const ErrnoNumbers& numbers, std::string source) {
  ErrnoEntry entry = LookUpErrno(err, numbers);
  std::string description = std::move(entry.description);
  if (!path.empty()) {
    description += ": " + std::string(path) + " (" + std::strerror(err) + ")";
  }
  return Error(entry.number, std::move(description), std::move(source));
}

}  // namespace mirelda::platform
