#include "host/http/media_types.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "mirelda/error.h"
#include "mirelda/text.h"
#include "platform/errno_error.h"

namespace mirelda::host {
namespace {

struct Known {
  const char* extension;
  const char* type;
};

constexpr Known kBuiltIn[] = {
    {"html", "text/html"},
    {"htm", "text/html"},
    {"css", "text/css; charset=utf-8"},
    {"js", "text/javascript; charset=utf-8"},
    {"mjs", "text/javascript; charset=utf-8"},
    {"json", "application/json"},
    {"txt", "text/plain; charset=utf-8"},
    {"xml", "application/xml"},
    {"svg", "image/svg+xml"},
    {"png", "image/png"},
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"gif", "image/gif"},
    {"webp", "image/webp"},
    {"ico", "image/x-icon"},
    {"bmp", "image/bmp"},
    {"pdf", "application/pdf"},
    {"zip", "application/zip"},
    {"woff", "font/woff"},
    {"woff2", "font/woff2"},
    {"ttf", "font/ttf"},
    {"wasm", "application/wasm"},
    {"mp3", "audio/mpeg"},
    {"mp4", "video/mp4"},
    {"csv", "text/csv; charset=utf-8"},
};

// RFC 9110's token characters: a type made of anything else could break the header it goes in.
bool IsToken(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!alnum && std::strchr("!#$%&'*+-.^_`|~", c) == nullptr) return false;
  }
  return true;
}

bool IsMediaType(std::string_view type) {
  size_t slash = type.find('/');
  return slash != std::string_view::npos && IsToken(type.substr(0, slash)) &&
         IsToken(type.substr(slash + 1));
}

// The built-in table's full Content-Type for a bare type ("text/css"), or the type itself.
std::string WithBuiltInParameters(const std::string& type) {
  for (const Known& k : kBuiltIn) {
    std::string_view full = k.type;
    if (full.substr(0, full.find(';')) == type) return std::string(full);
  }
  return type;
}

}  // namespace

MediaTypes::MediaTypes() {
  for (const Known& k : kBuiltIn) by_extension_[k.extension] = k.type;
}

MediaTypes MediaTypes::Load(const std::filesystem::path& file) {
  MediaTypes types;
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) {
    throw Error(platform::kPathFileAccess, "the media types file " + file.string() + " is a folder");
  }
  std::ifstream in(file);
  if (!in) {
    int error = errno;
    if (file == kSystemMediaTypes && error == ENOENT) return types;
    throw Error(platform::LookUpErrno(error).number,
                "cannot read the media types file " + file.string() + ": " + std::strerror(error));
  }
  std::string line;
  while (std::getline(in, line)) {
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    std::string type;
    if (!(words >> type)) continue;
    type = text::ToLowerAscii(type);
    if (!IsMediaType(type)) continue;
    std::string full = WithBuiltInParameters(type);
    for (std::string extension; words >> extension;) {
      if (IsToken(extension)) types.by_extension_[text::ToLowerAscii(extension)] = full;
    }
  }
  if (in.bad()) {
    throw Error(platform::kDeviceError, "cannot read the media types file " + file.string());
  }
  return types;
}

std::string MediaTypes::Of(const std::filesystem::path& file) const {
  std::string extension = file.extension().string();
  if (extension.size() > 1) {
    auto it = by_extension_.find(text::ToLowerAscii(extension.substr(1)));
    if (it != by_extension_.end()) return it->second;
  }
  return "application/octet-stream";
}

}  // namespace mirelda::host
