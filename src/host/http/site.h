// The site folder as the browser sees it: which URL path names which file, which files are pages,
// and which are never served (page sources and includes, database files, hidden files, anything
// outside the folder). Safe to use from any thread.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

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
  std::shared_ptr<platform::FileDescriptor> opened;
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
  // The static file at url_path opened beneath the folder, if it is one that may be sent.
  std::shared_ptr<platform::FileDescriptor> OpenStatic(const std::string& url_path) const;

  std::filesystem::path root_;  // canonical
  // The folder itself, which every static file is opened beneath.
  platform::FileDescriptor root_fd_;
  MediaTypes types_;
};

}  // namespace mirelda::host
