#include "upload/upload_settings.h"

#include "mirelda/text.h"

namespace mirelda::upload {
namespace {

// "/srv/files", but not "//server/share" nor "/\server\share", which name network shares.
bool IsPosixAbsolute(std::string_view path) {
  return !path.empty() && path[0] == '/' &&
         (path.size() == 1 || (path[1] != '/' && path[1] != '\\'));
}

}  // namespace

void UploadSettings::SetPath(std::string varNewPath) {
  bool drive = text::First(text::AfterFirst(varNewPath)) == ":";
  Path = drive || IsPosixAbsolute(varNewPath) ? std::move(varNewPath) : std::string();
}

void UploadSettings::SetOverWrite(int16_t lngNewOverWrite) {
  OverWrite = lngNewOverWrite == kKeepExisting || lngNewOverWrite == kOverwriteExisting
                  ? lngNewOverWrite
                  : int16_t{0};
}

EffectiveSettings UploadSettings::Resolve(int32_t lngMaxSize, const std::string& ServerPath,
                                          int16_t lngOverWrite) const {
  EffectiveSettings out;
  if (MaxSize != 0) {
    out.size_limit = MaxSize;
  } else if (lngMaxSize != 0) {
    out.size_limit = lngMaxSize;
  }
  if (OverWrite != 0) {
    out.overwrite_mode = OverWrite;
  } else if (lngOverWrite != 0) {
    out.overwrite_mode = lngOverWrite;
  }
  if (text::Length(Path) > 2) {
    out.folder = Path;
  } else if (text::Length(ServerPath) >= 2) {
    out.folder = ServerPath;
  } else {
    out.folder = kDefaultFolder;
  }
  out.store_files = UpToFile != kMemoryOnly;
  out.new_file_name = NewFileName;
  return out;
}

bool IsAbsoluteFolder(std::string_view folder) {
  return folder.find(':') != std::string_view::npos || IsPosixAbsolute(folder);
}

}  // namespace mirelda::upload
