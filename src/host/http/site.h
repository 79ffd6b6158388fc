// The site folder as the browser sees it: which URL path names which file, which files are pages,
// and which are never served (page sources and includes, database files, hidden files, anything
// outside the folder). Safe to use from any thread.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/http/found_files.h"
#include "host/http/media_types.h"
#include "host/http/open_beneath.h"

namespace mirelda::host {

struct SiteTarget {
  enum class Kind {
    kPage,        // a script page to run
    kStaticFile,  // a file to send as it is
    kFolder,      // a folder named without its final "/": redirect to url_path
    kNotFound,    // missing, or not served
    kBadRequest,  // a malformed or climbing path
  };
  Kind kind = Kind::kNotFound;
  std::string url_path;        // the decoded path ("/app/index.asp"); for kFolder, with its "/"
  std::filesystem::path file;  // host path of the page or file
  // For kStaticFile, the file as it was found beneath the site folder and checked: it is sent
  // from this descriptor, so a name swapped for a link meanwhile changes nothing.
  // A small file is read whole when it is checked and closed at once (content, opened null), so
  // its reply goes out in one write with the header.
  std::shared_ptr<platform::FileDescriptor> opened;
  std::shared_ptr<const std::string> content;
  struct stat status {};  // for kStaticFile, the file's status when it was opened
};

class Site {
 public:
  // root must be an existing folder; Error (its number from the errno table) when it cannot be
  // opened. types names the Content-Type of static files.
  explicit Site(const std::filesystem::path& root, MediaTypes types = MediaTypes());
  Site(const Site&) = delete;
  Site& operator=(const Site&) = delete;

  const std::filesystem::path& root() const { return root_; }

  // What the raw (still percent-encoded) path of a request URL names. A folder's default
  // document is default.asp, index.asp, index.html or index.htm, the first that exists.
  SiteTarget Resolve(std::string_view raw_path) const;
  // The same for a path already decoded ("/app/page.asp"), as pages name other pages.
  SiteTarget ResolveDecoded(std::string_view decoded) const;

  // The Content-Type of a static file by its extension.
  std::string ContentType(const std::filesystem::path& file) const { return types_.Of(file); }

 private:
  SiteTarget ResolveFile(const std::string& url_path, const std::filesystem::path& file) const;
  // The regular file fd, opened beneath the folder, as a kStaticFile target; kNotFound when it is
  // a database, which is never sent whatever its name.
  SiteTarget CheckStatic(const std::string& url_path, const std::filesystem::path& file,
                         platform::FileDescriptor fd, const struct stat& st) const;
  // The common case in one walk: a file or a page named directly; nullopt where the walk beneath
  // the folder cannot tell and the path is looked up step by step instead.
  std::optional<SiteTarget> ResolveDirect(const std::string& url_path,
                                          const std::filesystem::path& file) const;

  std::filesystem::path root_;  // canonical
  // The folder itself, which every static file is opened beneath.
  platform::FileDescriptor root_fd_;
  MediaTypes types_;
  mutable FoundFiles found_;
};

}  // namespace mirelda::host
