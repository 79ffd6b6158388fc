// The errno table as each component sees it: the numbers pages saw before the table was shared.
#include "platform/errno_error.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace mirelda::platform {
namespace {

// The rows each component answers with, as its call site declares them.
constexpr ErrnoNumbers kUploadStore{};
constexpr ErrnoNumbers kFileSystemObject{kNotFoundRow | kDeniedRow | kExistsRow,
                                         errc::kPermissionDenied};
constexpr ErrnoNumbers kRegistrationStore{kNotFoundRow | kDeniedRow, errc::kUnspecified};
constexpr ErrnoNumbers kJetFile{kDeniedRow, errc::kUnspecified};

TEST(ErrnoError, EachComponentKeepsItsNumbers) {
  struct Case {
    int err;
    int32_t upload, file_system, registration, jet;
  };
  constexpr int32_t kU = errc::kUnspecified;
  const Case cases[] = {
      {ENOENT, 76, 76, 76, kU}, {ENOTDIR, 76, 76, 76, kU}, {EACCES, 70, 70, 70, 70},
      {EPERM, 70, 70, 70, 70},  {EROFS, 70, 70, 70, 70},   {EEXIST, 58, 58, kU, kU},
      {ENOSPC, 61, 70, kU, kU}, {EDQUOT, 61, 70, kU, kU},  {ENAMETOOLONG, 52, 70, kU, kU},
      {EISDIR, 75, 70, kU, kU}, {EIO, 57, 70, kU, kU},     {EMFILE, 57, 70, kU, kU},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("errno ") + std::to_string(c.err));
    EXPECT_EQ(LookUpErrno(c.err, kUploadStore).number, c.upload);
    EXPECT_EQ(LookUpErrno(c.err, kFileSystemObject).number, c.file_system);
    EXPECT_EQ(LookUpErrno(c.err, kRegistrationStore).number, c.registration);
    EXPECT_EQ(LookUpErrno(c.err, kJetFile).number, c.jet);
  }
}

TEST(ErrnoError, DescriptionsNameTheFailureAndThePathWhenGiven) {
  struct Case {
    int err;
    const char* path;
    const char* description;
  };
  const Case cases[] = {
      {ENOSPC, "", "Disk full"},
      {EISDIR, "", "Path/File access error"},
      {ENAMETOOLONG, "", "Bad file name or number"},
      {EIO, "", "Device I/O error"},
      {ENOENT, "", "Path not found"},
      {ENOENT, "C:\\data\\a.txt", "Path not found: C:\\data\\a.txt (No such file or directory)"},
  };
  for (const Case& c : cases) {
    Error e = ErrnoError(c.err, c.path);
    EXPECT_EQ(e.description(), c.description);
  }
  EXPECT_EQ(ErrnoError(EACCES, "x", {}, "Jet").source(), "Jet");
}

}  // namespace
}  // namespace mirelda::platform
