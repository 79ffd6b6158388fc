// Which Content-Type a static file is sent with, by the extension of its name: the system's
// mime.types list (Debian's media-types package), with a built-in table for what the list lacks
// or for a system without one. Immutable once made; safe to share between threads.
#pragma once

#include <filesystem>
#include <string>
#include <unordered_map>

namespace mirelda::host {

// Where Debian keeps the list.
inline const std::filesystem::path kSystemMediaTypes = "/etc/mime.types";

class MediaTypes {
 public:
  // The built-in table alone.
  MediaTypes();

  // The built-in table with the "type/subtype ext ext ..." lines of a mime.types file over it.
  // A text type the table knows keeps the charset the table gives it. Lines that are not of that
  // form are passed over. Throws Error (its number from the errno table) when the file cannot be
  // read, except that a missing kSystemMediaTypes leaves the built-in table alone.
  static MediaTypes Load(const std::filesystem::path& file);

  // The Content-Type of a file by its extension, in any letter case; application/octet-stream
  // for one nobody knows.
  std::string Of(const std::filesystem::path& file) const;

 private:
  std::unordered_map<std::string, std::string> by_extension_;  // "css": "text/css; charset=utf-8"
};

}  // namespace mirelda::host
