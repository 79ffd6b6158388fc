#include "host/page/page_source.h"

#include <sys/stat.h>

namespace mirelda::host {

SourceLocation PageSource::Locate(const Segment& segment, int line_offset, int column) const {
  SourceLocation where;
  where.file = segment.file < files.size() ? files[segment.file] : url_path;
  where.line = static_cast<int>(segment.line) + line_offset;
  where.column =
      line_offset == 0 && column > 0 ? static_cast<int>(segment.column) + column - 1 : column;
  return where;
}

bool PageSource::IsCurrent() const {
  for (const FileStamp& d : dependencies) {
    struct stat st {};
    if (::stat(d.path.c_str(), &st) != 0) return false;
    int64_t mtime = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (mtime != d.mtime_ns || st.st_size != d.size) return false;
  }
  return true;
}

}  // namespace mirelda::host
