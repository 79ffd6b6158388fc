#include "host/http/site.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "host/http/read_whole.h"
#include "host/objects/url_encoding.h"
#include "mirelda/error.h"
#include "mirelda/text.h"
#include "platform/errno_error.h"

namespace mirelda::host {
namespace {

constexpr std::array<const char*, 4> kDefaultDocuments = {"default.asp", "index.asp", "index.html",
                                                          "index.htm"};

// Page sources and includes, and database files, by extension.
constexpr std::array<const char*, 13> kNeverServed = {
    ".asa", ".inc",    ".mdb",     ".ldb",  ".accdb",      ".laccdb", ".db",
    ".db3", ".sqlite", ".sqlite3", ".s3db", ".db-journal", ".db-wal"};

// The site folder's real path; a folder that is missing or unreadable is the runtime's Error with
// the library's own text, so the host reports it as before.
std::filesystem::path CanonicalRoot(const std::filesystem::path& root) {
  try {
    return std::filesystem::canonical(root);
  } catch (const std::filesystem::filesystem_error& e) {
    throw Error(platform::LookUpErrno(e.code().value()).number, e.what());
  }
}

std::string Extension(const std::filesystem::path& file) {
  return text::ToLowerAscii(file.extension().string());
}

// Static files are opened for reading, pages only found.
constexpr int kStaticFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
constexpr int kPageFlags = O_PATH | O_CLOEXEC;

// Files up to this size are read when they are checked and sent from memory.
constexpr size_t kReadWhole = 32 * 1024;

bool IsNeverServed(const std::string& ext) {
  for (const char* refused : kNeverServed) {
    if (ext == refused) return true;
  }
  return false;
}

// A SQLite database keeps its format name in its first 16 bytes, whatever the file is called.
bool IsSqliteHeader(std::string_view start) {
  return start.size() >= 16 && std::memcmp(start.data(), "SQLite format 3", 16) == 0;
}

bool IsSqliteFile(int fd) {
  char header[16] = {};
  return ::pread(fd, header, sizeof header, 0) == sizeof header &&
         IsSqliteHeader(std::string_view(header, sizeof header));
}

bool IsUnder(const std::filesystem::path& path, const std::filesystem::path& root) {
  auto rel = path.lexically_relative(root);
  return !rel.empty() && *rel.begin() != "..";
}

SiteTarget Target(SiteTarget::Kind kind, std::string url_path = {},
                  std::filesystem::path file = {}) {
  SiteTarget target;
  target.kind = kind;
  target.url_path = std::move(url_path);
  target.file = std::move(file);
  return target;
}

}  // namespace

Site::Site(const std::filesystem::path& root, MediaTypes types)
    : root_(CanonicalRoot(root)),
      root_fd_(::open(root_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)),
      types_(std::move(types)) {
  if (!root_fd_.valid()) {
    int err = errno;
    throw Error(platform::LookUpErrno(err).number,
                "cannot open the site folder " + root_.string() + ": " + std::strerror(err));
  }
}

SiteTarget Site::Resolve(std::string_view raw_path) const {
  SiteTarget bad = Target(SiteTarget::Kind::kBadRequest);
  if (raw_path.empty() || raw_path[0] != '/' || HasBadPercentEncoding(raw_path)) return bad;
  return ResolveDecoded(PercentDecode(raw_path, false));
}

SiteTarget Site::ResolveDecoded(std::string_view decoded) const {
  SiteTarget bad = Target(SiteTarget::Kind::kBadRequest);
  if (decoded.empty() || decoded[0] != '/' || decoded.find('\\') != std::string::npos ||
      decoded.find('\0') != std::string::npos) {
    return bad;
  }
  std::filesystem::path file;
  std::string url_path;
  bool hidden = false;
  if (decoded.find("//") == std::string_view::npos &&
      decoded.find("/.") == std::string_view::npos) {
    // Already in its plain form, as nearly every request's path is.
    url_path = decoded.substr(0, decoded.size() - (decoded.back() == '/' ? 1 : 0));
    file = url_path.empty() ? root_ : root_ / std::string_view(url_path).substr(1);
  } else {
    file = root_;
    for (const std::string& part : text::Split(decoded, "/")) {
      if (part.empty() || part == ".") continue;
      if (part == "..") return bad;
      if (part[0] == '.') hidden = true;
      file /= part;
      url_path += "/" + part;
    }
  }
  if (hidden) return Target(SiteTarget::Kind::kNotFound, url_path);
  if (decoded.back() != '/' && !url_path.empty()) {
    if (std::optional<SiteTarget> direct = ResolveDirect(url_path, file)) return std::move(*direct);
  }
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return Target(SiteTarget::Kind::kNotFound, url_path);
  if (S_ISDIR(st.st_mode)) {
    if (decoded.back() != '/') return Target(SiteTarget::Kind::kFolder, url_path + "/");
    for (const char* name : kDefaultDocuments) {
      std::filesystem::path candidate = file / name;
      if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        return ResolveFile(url_path + "/" + name, candidate);
      }
    }
    return Target(SiteTarget::Kind::kNotFound, url_path + "/");
  }
  return ResolveFile(url_path, file);
}

std::optional<SiteTarget> Site::ResolveDirect(const std::string& url_path,
                                              const std::filesystem::path& file) const {
  std::string ext = Extension(file);
  bool page = ext == ".asp";
  // A folder may carry a refused extension; the step-by-step lookup sorts that out.
  if (!page && IsNeverServed(ext)) return std::nullopt;
  if (std::optional<FoundFiles::File> kept = found_.Find(root_fd_.get(), url_path)) {
    if (page) return Target(SiteTarget::Kind::kPage, url_path, file);
    SiteTarget target = Target(SiteTarget::Kind::kStaticFile, url_path, file);
    target.content = std::move(kept->content);
    target.status = kept->status;
    return target;
  }
  platform::FileDescriptor fd = OpenBeneath(root_fd_.get(), std::string_view(url_path).substr(1),
                                            page ? kPageFlags : kStaticFlags);
  struct stat st {};
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0) return std::nullopt;
  if (S_ISDIR(st.st_mode)) return Target(SiteTarget::Kind::kFolder, url_path + "/");
  if (!S_ISREG(st.st_mode)) return std::nullopt;
  if (page) {
    found_.Keep(url_path, nullptr, st);
    return Target(SiteTarget::Kind::kPage, url_path, file);
  }
  SiteTarget target = CheckStatic(url_path, file, std::move(fd), st);
  if (target.content) found_.Keep(url_path, target.content, target.status);
  return target;
}

SiteTarget Site::ResolveFile(const std::string& url_path, const std::filesystem::path& file) const {
  SiteTarget not_found = Target(SiteTarget::Kind::kNotFound, url_path);
  std::string ext = Extension(file);
  if (ext == ".asp") {
    SiteTarget page = Target(SiteTarget::Kind::kPage, url_path, file);
    // The kernel's walk beneath the site answers for most pages in one call. A link it does not
    // follow (an absolute one, or any link where the kernel cannot walk beneath a folder) is
    // judged by the page's real path instead: one inside the site serves, one outside does not.
    // (A walk that follows no links at all meets a linked folder as ENOTDIR.)
    platform::FileDescriptor beneath =
        OpenBeneath(root_fd_.get(), std::string_view(url_path).substr(1), kPageFlags);
    struct stat st {};
    if (beneath.valid()) {
      if (::fstat(beneath.get(), &st) != 0) return not_found;
      if (S_ISREG(st.st_mode)) return page;
      if (!S_ISLNK(st.st_mode)) return not_found;
    } else if (errno != EXDEV && errno != ELOOP && errno != ENOTDIR) {
      return not_found;
    }
    std::error_code ec;
    std::filesystem::path real = std::filesystem::canonical(file, ec);
    if (ec || !IsUnder(real, root_) || !std::filesystem::is_regular_file(real, ec)) {
      return not_found;
    }
    return page;
  }
  if (IsNeverServed(ext)) return not_found;
  // O_NONBLOCK: a FIFO put in the site must not hold the thread until a writer comes; for the
  // regular files that are sent it changes nothing.
  platform::FileDescriptor fd =
      OpenBeneath(root_fd_.get(), std::string_view(url_path).substr(1), kStaticFlags);
  struct stat st {};
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return not_found;
  return CheckStatic(url_path, file, std::move(fd), st);
}

SiteTarget Site::CheckStatic(const std::string& url_path, const std::filesystem::path& file,
                             platform::FileDescriptor fd, const struct stat& st) const {
  SiteTarget target = Target(SiteTarget::Kind::kStaticFile, url_path, file);
  target.status = st;
  auto size = static_cast<size_t>(st.st_size);
  if (size <= kReadWhole) {
    // A file that changed while it was read is sent from its descriptor, as a large one is.
    if (std::optional<std::string> content = ReadWhole(fd.get(), size)) {
      if (IsSqliteHeader(*content)) return Target(SiteTarget::Kind::kNotFound, url_path);
      target.content = std::make_shared<const std::string>(std::move(*content));
      return target;
    }
  }
  if (IsSqliteFile(fd.get())) return Target(SiteTarget::Kind::kNotFound, url_path);
  target.opened = std::make_shared<platform::FileDescriptor>(std::move(fd));
  return target;
}

}  // namespace mirelda::host
