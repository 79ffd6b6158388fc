// Static files as the server sends them: conditional requests, single ranges, and gzip from
// the cache of compressed files.
#include <microhttpd.h>
#include <sys/stat.h>

#include <memory>
#include <optional>
#include <string>

#include "host/http/byte_range.h"
#include "host/http/content_encoding.h"
#include "host/http/entity_tag.h"
#include "host/http/exchange.h"
#include "host/http/http_date.h"
#include "host/http/http_server.h"

namespace mirelda::host {

namespace {

// A reply body held by a shared string is sent from it without a copy; the response keeps the
// string alive until the library is done with it.
struct MHD_Response* ResponseOfShared(std::shared_ptr<const std::string> body, uint64_t offset,
                                      uint64_t length) {
  auto* keeper = new std::shared_ptr<const std::string>(std::move(body));
  struct MHD_Response* response = MHD_create_response_from_buffer_with_free_callback_cls(
      static_cast<size_t>(length), const_cast<char*>((*keeper)->data() + offset),
      [](void* cls) { delete static_cast<std::shared_ptr<const std::string>*>(cls); }, keeper);
  if (!response) delete keeper;
  return response;
}

}  // namespace

int HttpServer::ServeStatic(struct MHD_Connection* connection, Exchange& exchange) {
  auto header = [connection](const char* name) {
    const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
    return value ? std::string_view(value) : std::string_view();
  };
  // What the site opened and checked is what is sent: a small file's content as it read it, a
  // larger one from its descriptor. The reply that takes the descriptor over releases it;
  // anything else leaves it to close with the exchange.
  const SiteTarget& target = exchange.target;
  std::shared_ptr<platform::FileDescriptor> opened = target.opened;
  if (!target.content && (!opened || !opened->valid())) {
    SiteTarget page = settings_.error_pages.Find(404);
    std::optional<Reply> own;
    if (page.kind == SiteTarget::Kind::kStaticFile)
      own = settings_.error_pages.FileReply(page, 404);
    return Queue(connection, exchange, own ? *own : StatusReply(404));
  }
  const struct stat& st = target.status;
  auto size = static_cast<uint64_t>(st.st_size);
  int64_t modified = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  std::string type = site_.ContentType(target.file);
  bool compressible = settings_.compress && size >= kCompressMinimum && IsCompressibleType(type);
  EntityTags tags = EntityTagsOf(size, modified);
  ByteRange range;
  if (RangeStillApplies(header(MHD_HTTP_HEADER_IF_RANGE), tags, st.st_mtim.tv_sec)) {
    range = ParseByteRange(header(MHD_HTTP_HEADER_RANGE), size);
  }
  // A range counts in the file's own bytes, so a part is always sent uncompressed.
  bool gzip = compressible && range.kind == ByteRange::Kind::kWhole &&
              size <= CompressedFiles::kMaxFile &&
              AcceptsGzip(header(MHD_HTTP_HEADER_ACCEPT_ENCODING));

  // The gzip form is found (or made) before a 304 too, so that the tag and length it answers
  // with are those of the very body a 200 would carry.
  std::shared_ptr<const std::string> packed;
  if (gzip) {
    packed = target.content ? compressed_.Get(target.file.string(), *target.content, modified)
                            : compressed_.Get(target.file.string(), opened->get(), size, modified);
  }

  Reply reply;
  reply.AddHeader("Last-Modified", FormatHttpDate(st.st_mtim.tv_sec));
  if (compressible) reply.AddHeader("Vary", "Accept-Encoding");
  reply.AddHeader("Accept-Ranges", "bytes");
  if (NotModified(header(MHD_HTTP_HEADER_IF_NONE_MATCH), header(MHD_HTTP_HEADER_IF_MODIFIED_SINCE),
                  tags, st.st_mtim.tv_sec)) {
    reply.AddHeader("ETag", packed ? tags.gzip : tags.identity);
    // The library states a length on every 304, and a 304 may state only the length of the body
    // it stands for; so the response is made that long, and the library sends no body for it.
    struct MHD_Response* response = MHD_create_response_from_callback(
        packed ? packed->size() : size, 4096,
        [](void*, uint64_t, char*, size_t) -> ssize_t { return MHD_CONTENT_READER_END_WITH_ERROR; },
        nullptr, nullptr);
    return Send(connection, exchange, 304, response, reply.headers, 0);
  }
  reply.AddHeader("Content-Type", type);
  if (range.kind == ByteRange::Kind::kUnsatisfiable) {
    Reply refused = StatusReply(416);
    refused.AddHeader("Content-Range", "bytes */" + std::to_string(size));
    refused.AddHeader("Accept-Ranges", "bytes");
    return Queue(connection, exchange, refused);
  }
  if (range.kind == ByteRange::Kind::kPart) {
    uint64_t length = range.last - range.first + 1;
    reply.AddHeader("ETag", tags.identity);
    reply.AddHeader("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                         std::to_string(range.last) + "/" + std::to_string(size));
    struct MHD_Response* response =
        target.content
            ? ResponseOfShared(target.content, range.first, length)
            : MHD_create_response_from_fd_at_offset64(length, opened->get(), range.first);
    if (response && opened) opened->Release();
    return Send(connection, exchange, 206, response, reply.headers, length);
  }
  if (packed) {
    reply.AddHeader("ETag", tags.gzip);
    reply.AddHeader("Content-Encoding", "gzip");
    return Send(connection, exchange, 200, ResponseOfShared(packed, 0, packed->size()),
                reply.headers, packed->size());
  }
  reply.AddHeader("ETag", tags.identity);
  struct MHD_Response* response = target.content ? ResponseOfShared(target.content, 0, size)
                                                 : MHD_create_response_from_fd(size, opened->get());
  if (response && opened) opened->Release();
  return Send(connection, exchange, 200, response, reply.headers, size);
}

}  // namespace mirelda::host
