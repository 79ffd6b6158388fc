#include "data/jet_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string>

#include "data/sqlite_handles.h"
#include "mirelda/error.h"
#include "platform/errno_error.h"
#include "platform/file_descriptor.h"

namespace mirelda::data {
namespace {

constexpr std::string_view kSqliteMagic{"SQLite format 3\0", 16};
constexpr size_t kHeaderSize = 100;
constexpr size_t kApplicationIdOffset = 68;

// The Jet engine's own numbers: a refused write is Permission denied, all else unspecified.
constexpr platform::ErrnoNumbers kJetNumbers{platform::kDeniedRow, errc::kUnspecified};

int32_t JetNumber(int err) { return platform::LookUpErrno(err, kJetNumbers).number; }

[[noreturn]] void Unrecognised(std::string_view page_path) {
  throw Error(errc::kUnspecified, "Unrecognized database format '" + std::string(page_path) + "'.",
              "Jet");
}

// A file the calling step creates beside its target and removes unless it was handed over.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::filesystem::path& beside, std::string_view page_path) {
    std::string pattern =
        (beside.parent_path() / ("." + beside.filename().string() + ".tmp-XXXXXX")).string();
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
      int err = errno;
      throw Error(JetNumber(err),
                  "Cannot write beside '" + std::string(page_path) + "': " + std::strerror(err),
                  "Jet");
    }
    ::close(fd);
    path_ = pattern;
  }
  ~TemporaryFile() { ::unlink(path_.c_str()); }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

void RequireFolder(const std::filesystem::path& path, std::string_view page_path) {
  std::error_code ec;
  if (!std::filesystem::is_directory(path.parent_path(), ec)) {
    throw Error(errc::kUnspecified,
                "'" + std::string(page_path) + "' is not a valid path: its folder does not exist.",
                "Jet");
  }
}

void RequireAbsent(const std::filesystem::path& path, std::string_view page_path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0) {
    throw Error(errc::kDatabaseExists, "Database already exists: '" + std::string(page_path) + "'.",
                "Jet");
  }
}

// Gives the finished file its final name without replacing anything that appeared there in the
// meantime.
void Publish(const TemporaryFile& temporary, const std::filesystem::path& path,
             std::string_view page_path) {
  if (::link(temporary.path().c_str(), path.c_str()) == 0) return;
  int err = errno;
  if (err == EEXIST) RequireAbsent(path, page_path);
  throw Error(JetNumber(err),
              "Cannot create '" + std::string(page_path) + "': " + std::strerror(err), "Jet");
}

void Mark(const std::filesystem::path& path, std::string_view page_path, JetFormat format) {
  SqliteDatabase db = OpenSqlite(path, SQLITE_OPEN_READWRITE, page_path);
  std::string pragma = "PRAGMA application_id = " + std::to_string(FormatMark(format));
  SqliteExec(db.get(), pragma.c_str());
}

}  // namespace

uint32_t FormatMark(JetFormat format) {
  return format == JetFormat::kJet35 ? kJet35Mark : kJet40Mark;
}

JetFormat InspectJetFile(const std::filesystem::path& path, std::string_view page_path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == EACCES) {
      throw Error(errc::kUnspecified,
                  "Cannot open the file '" + std::string(page_path) + "': permission denied.",
                  "Jet");
    }
    throw Error(errc::kUnspecified, "Could not find file '" + std::string(page_path) + "'.", "Jet");
  }
  if (S_ISDIR(st.st_mode)) {
    throw Error(errc::kUnspecified,
                "'" + std::string(page_path) + "' is a folder, not a database file.", "Jet");
  }
  if (!S_ISREG(st.st_mode)) Unrecognised(page_path);
  std::array<unsigned char, kHeaderSize> header{};
  platform::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) {
    throw Error(errc::kUnspecified,
                "Cannot open the file '" + std::string(page_path) + "': " + std::strerror(errno),
                "Jet");
  }
  ssize_t n = ::pread(fd.get(), header.data(), header.size(), 0);
  if (n != static_cast<ssize_t>(header.size()) ||
      std::memcmp(header.data(), kSqliteMagic.data(), kSqliteMagic.size()) != 0) {
    Unrecognised(page_path);
  }
  uint32_t mark = 0;
  for (size_t i = 0; i < 4; ++i) mark = mark << 8 | header[kApplicationIdOffset + i];
  if (mark == kJet35Mark) return JetFormat::kJet35;
  if (mark == kJet40Mark) return JetFormat::kJet40;
  Unrecognised(page_path);
}

void CreateJetFile(const std::filesystem::path& path, std::string_view page_path,
                   JetFormat format) {
  RequireFolder(path, page_path);
  RequireAbsent(path, page_path);
  TemporaryFile temporary(path, page_path);
  // Setting the mark writes the header, so the new file is a complete, empty database.
  Mark(temporary.path(), page_path, format);
  Publish(temporary, path, page_path);
}

void CompactJetFile(const std::filesystem::path& source, std::string_view source_page,
                    const std::filesystem::path& destination, std::string_view destination_page,
                    JetFormat format) {
  InspectJetFile(source, source_page);
  RequireFolder(destination, destination_page);
  RequireAbsent(destination, destination_page);
  TemporaryFile temporary(destination, destination_page);
  {
    SqliteDatabase db = OpenSqlite(source, SQLITE_OPEN_READONLY, source_page);
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db.get(), "VACUUM INTO ?1", -1, &raw, nullptr) != SQLITE_OK) {
      throw SqliteError(db.get());
    }
    SqliteStatement vacuum(raw);
    std::string target = temporary.path().string();
    sqlite3_bind_text(vacuum.get(), 1, target.data(), static_cast<int>(target.size()),
                      SQLITE_TRANSIENT);
    if (sqlite3_step(vacuum.get()) != SQLITE_DONE) throw SqliteError(db.get());
  }
  Mark(temporary.path(), destination_page, format);
  Publish(temporary, destination, destination_page);
}

}  // namespace mirelda::data
