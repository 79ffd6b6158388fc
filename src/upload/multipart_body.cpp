#include "upload/multipart_body.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "mirelda/error.h"
#include "platform/errno_error.h"
#include "platform/read_at.h"
#include "upload/marker_scan.h"

namespace mirelda::upload {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kHeaderEnd = "\r\n\r\n";
constexpr std::string_view kNameCount = "; name=";
constexpr std::string_view kNameStart = "; name=\"";
constexpr std::string_view kQuote = "\"";
constexpr std::string_view kFilePartMark = "; filename=";
constexpr std::string_view kFileNameStart = "filename=\"";
constexpr std::string_view kFileNameStrip = "filename=";
// The part header right after a field name's closing quote that tells a file part.
constexpr size_t kFileProbeLength = 15;
// A field part's value starts right after CR LF CR LF that follows the name's closing quote.
constexpr size_t kFieldValueOffset = 4;
// A body mapped from a file is searched through the map this much at a time, and each stretch
// searched lets go of its pages, so a search through a large upload does not leave it resident.
constexpr size_t kWindow = size_t{4} << 20;
// A form holds at most a few hundred parts; a list this long of boundary offsets is already
// a body that repeats its boundary on purpose.
constexpr size_t kMostNotedBoundaries = 4096;

Error Malformed(const std::string& what) {
  return Error(errc::kInvalidProcedureCall,
               "Invalid procedure call or argument: the posted form is not laid out as "
               "multipart/form-data (" +
                   what + ")");
}

Error Missing(const char* what, size_t from) {
  return Malformed(std::string(what) + " after byte " + std::to_string(from));
}

std::string RemoveAll(std::string text, std::string_view piece) {
  size_t at = 0;
  while ((at = text.find(piece, at)) != std::string::npos) text.erase(at, piece.size());
  return text;
}

}  // namespace

size_t FindBytes(std::string_view haystack, std::string_view needle, size_t from) {
  if (from > haystack.size()) return std::string_view::npos;
  if (needle.empty()) return from;
  // memmem must not see the null data of an empty body.
  if (haystack.size() - from < needle.size()) return std::string_view::npos;
  const void* hit =
      ::memmem(haystack.data() + from, haystack.size() - from, needle.data(), needle.size());
  if (!hit) return std::string_view::npos;
  return static_cast<size_t>(static_cast<const char*>(hit) - haystack.data());
}

std::string CutFolderPart(std::string_view client_name) {
  size_t cut = client_name.find_last_of("\\/:");
  return std::string(cut == std::string_view::npos ? client_name : client_name.substr(cut + 1));
}

MultipartBody::MultipartBody(ByteArray body, const TextDecoder& decoder)
    : body_(std::move(body)),
      bytes_(body_.view()),
      map_(MappedFile::Containing(body_.data(), body_.size())),
      decoder_(decoder) {
  size_t line_end = FindBytes(bytes_, kLineEnd, 0);
  if (line_end == std::string_view::npos) throw Malformed("no line break after the boundary");
  boundary_ = bytes_.substr(0, line_end);
  next_ = line_end + 1;
}

int32_t MultipartBody::CountParts() {
  // The boundaries are noted on the way, so cutting the parts needs no second pass over the
  // contents. Past kMostNotedBoundaries (only a body made to repeat its boundary gets there)
  // the cuts search again instead of holding an ever longer list.
  boundaries_.clear();
  bool noting = boundary_.size() >= 2;
  const std::string_view markers[] = {kNameCount, boundary_};
  std::span<const std::string_view> looked_for(markers, noting ? 2 : 1);
  size_t count = 0;
  auto note = [&](size_t marker, size_t at) {
    if (marker == 0) {
      if (decoder_.StartsCharacter(bytes_, at)) ++count;
    } else if (boundaries_.size() < kMostNotedBoundaries) {
      boundaries_.push_back(at);
    } else {
      noting = false;
    }
  };
  if (!map_) {
    ScanForMarkers(bytes_, 0, bytes_.size(), looked_for, note);
  } else {
    // A mapped body is copied out a stretch at a time and searched in the copy: the pages of a
    // spool file written a moment ago are slow to map on first touch, and reading them with
    // pread takes about a third of the time. Each copy runs on by the longest marker less one
    // byte, so a marker across two stretches is found in the first.
    size_t reach = std::max(kNameCount.size(), boundary_.size()) - 1;
    std::string stretch(std::min(kReadStretch + reach, bytes_.size()), '\0');
    for (size_t from = 0; from < bytes_.size(); from += kReadStretch) {
      size_t length = std::min(kReadStretch + reach, bytes_.size() - from);
      if (int err = platform::ReadAt(map_->fd(), from, stretch.data(), length)) {
        throw platform::ErrnoError(err);
      }
      bool named = false;
      ScanForMarkers(std::string_view(stretch.data(), length), 0, kReadStretch, looked_for,
                     [&](size_t marker, size_t at) {
                       named = named || marker == 0;
                       note(marker, from + at);
                     });
      // A name is checked in the map itself, which may have read a few of its pages in.
      if (named) map_->Release(body_.data() + from, length);
    }
  }
  boundaries_noted_ = noting;
  // A body of at most 2 GiB holds fewer markers than an int32_t counts.
  return static_cast<int32_t>(count);
}

size_t MultipartBody::FindBoundary(size_t from) const {
  constexpr const char* kWhat = "no boundary";
  if (!boundaries_noted_) return Find(boundary_, from, kWhat);
  auto at = std::lower_bound(boundaries_.begin(), boundaries_.end(), from);
  if (at == boundaries_.end()) throw Missing(kWhat, from);
  return *at;
}

size_t MultipartBody::Search(std::string_view marker, size_t from) const {
  if (!map_) return FindBytes(bytes_, marker, from);
  while (from <= bytes_.size()) {
    // Windows overlap by the marker's length, so a marker across two is found in the first.
    size_t span = std::min(bytes_.size() - from, kWindow + marker.size());
    size_t at = FindBytes(bytes_.substr(0, from + span), marker, from);
    if (at != std::string_view::npos || from + span == bytes_.size()) return at;
    map_->Release(body_.data() + from, kWindow);
    from += kWindow;
  }
  return std::string_view::npos;
}

size_t MultipartBody::Find(std::string_view marker, size_t from, const char* what) const {
  size_t at = Search(marker, from);
  if (at == std::string_view::npos) throw Missing(what, from);
  return at;
}

size_t MultipartBody::ContentEnd(size_t content_start) const {
  size_t closing = FindBoundary(content_start);
  if (closing < content_start + kLineEnd.size()) {
    throw Malformed("a part ends before its content at byte " + std::to_string(content_start));
  }
  return closing - kLineEnd.size();
}

UploadPart MultipartBody::NextPart(int64_t size_limit, PendingFailure& pending) {
  UploadPart part;
  size_t name_start = Find(kNameStart, next_, "no field name");
  size_t name_quote = Find(kQuote, name_start + kNameStart.size(), "no closing quote of a name");
  size_t after_name = name_quote + 1;
  part.form_name = RemoveAll(
      RemoveAll(decoder_.Decode(bytes_.substr(name_start, after_name - name_start)), kNameCount),
      kQuote);

  part.is_file =
      bytes_.substr(after_name, kFileProbeLength).find(kFilePartMark) != std::string_view::npos;
  size_t content_start;
  size_t content_end;
  if (part.is_file) {
    size_t file_start = Find(kFileNameStart, after_name, "no file name");
    size_t file_quote = Search(kQuote, file_start + kFileNameStart.size());
    if (file_quote == std::string_view::npos) {
      // Without its closing quote the name has no end; the run stops here as a malformed body,
      // and that failure replaces this one.
      pending.Set(FileNameMissingMessage());
      throw Malformed("no closing quote of a file name after byte " + std::to_string(file_start));
    }
    std::string raw_name =
        RemoveAll(RemoveAll(decoder_.Decode(bytes_.substr(file_start, file_quote - file_start)),
                            kFileNameStrip),
                  kQuote);
    part.file_name = CutFolderPart(raw_name);

    content_start = Find(kHeaderEnd, file_quote, "no end of a part header") + kHeaderEnd.size();
    content_end = ContentEnd(content_start);
    size_t size = content_end - content_start;
    part.size = static_cast<int32_t>(size);
    if (static_cast<int64_t>(size) > size_limit) {
      pending.Set(FileTooLargeMessage(part.file_name));
      part.over_limit = true;
      part.value = ByteArray();
    } else {
      part.value = body_.Slice(content_start, size);
    }
  } else {
    content_start = after_name + kFieldValueOffset;
    content_end = ContentEnd(content_start);
    part.size = static_cast<int32_t>(content_end - content_start);
    part.value = decoder_.Decode(bytes_.substr(content_start, content_end - content_start));
  }
  // The next search starts inside the boundary line that closed this part.
  next_ = content_end + boundary_.size();
  return part;
}

}  // namespace mirelda::upload
