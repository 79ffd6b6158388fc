// Cuts a multipart/form-data body into parts by searching for fixed byte markers, as browsers lay
// the body out: the boundary line first, then per part a header carrying `; name="..."` (and, for
// a file, `; filename="..."`), a blank line, the content, CR LF and the boundary line again.
//
// The part headers are not parsed: the cuts follow fixed offsets from the markers, so a field
// part with an extra header line keeps that line in its value. A body that is not laid out this
// way ends in Error (Invalid procedure call, 5) at the first search that finds nothing or cut that
// would end before it starts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "mirelda/mapped_file.h"
#include "mirelda/variant.h"
#include "upload/text_decoder.h"
#include "upload/upload_failure.h"
#include "upload/upload_results.h"

namespace mirelda::upload {

class MultipartBody {
 public:
  // Finds the boundary line: everything before the first CR LF. The body's storage is shared
  // with the file contents that NextPart hands out, not copied. Raises Error when there is no
  // CR LF.
  MultipartBody(ByteArray body, const TextDecoder& decoder);

  // The number of parts: how often `; name=` occurs in the body's decoded text, file contents
  // included. One pass over the bytes, which also notes where the boundary occurs for the cuts
  // that follow.
  int32_t CountParts();

  // The next part, searching on from where the previous one ended. A file over size_limit keeps
  // its real size and gets empty content; that, and a file name without its closing quote, are
  // recorded in pending. Raises Error for a body not laid out as expected.
  UploadPart NextPart(int64_t size_limit, PendingFailure& pending);

  std::string_view boundary() const { return boundary_; }

  // CountParts reads a mapped body this many bytes at a time.
  static constexpr size_t kReadStretch = size_t{256} << 10;

 private:
  // Offset of the first occurrence of marker at or after from, npos when there is none. Lets go
  // of the mapped pages it has read past.
  size_t Search(std::string_view marker, size_t from) const;
  // Offset of the first occurrence of marker at or after from; Error when there is none.
  size_t Find(std::string_view marker, size_t from, const char* what) const;
  // Offset of the first boundary at or after from, from the offsets CountParts noted or by a
  // search; Error when there is none.
  size_t FindBoundary(size_t from) const;
  // The boundary that closes a part's content begun at content_start, and the content's end two
  // bytes before it.
  size_t ContentEnd(size_t content_start) const;

  ByteArray body_;
  std::string_view bytes_;
  std::shared_ptr<const MappedFile> map_;  // set when the body is a mapped file
  const TextDecoder& decoder_;
  std::string_view boundary_;
  size_t next_ = 0;  // where the search for the next part starts
  // Every offset where the boundary starts, in order, when boundaries_noted_.
  std::vector<size_t> boundaries_;
  bool boundaries_noted_ = false;
};

// Offset of the first occurrence of needle in haystack at or after from; npos when none (an empty
// needle is found at from).
size_t FindBytes(std::string_view haystack, std::string_view needle, size_t from);

// The client's file name without its folder part: what follows the last "\", "/" or ":".
std::string CutFolderPart(std::string_view client_name);

}  // namespace mirelda::upload
