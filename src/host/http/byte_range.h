// The one byte range of a Range header ("bytes=0-99", "bytes=500-", "bytes=-200") against a file
// of known size. Several ranges in one header are answered with the whole file.
#pragma once

#include <cstdint>
#include <string_view>

namespace mirelda::host {

struct ByteRange {
  enum class Kind { kWhole, kPart, kUnsatisfiable };
  Kind kind = Kind::kWhole;
  uint64_t first = 0;  // for kPart: [first, last]
  uint64_t last = 0;
};

// kWhole for no header, an unknown unit, a malformed value or a list of ranges; kUnsatisfiable
// when the range starts at or past the end (or asks for a suffix of 0 bytes).
ByteRange ParseByteRange(std::string_view header, uint64_t size);

}  // namespace mirelda::host
