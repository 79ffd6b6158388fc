#include "host/http/content_encoding.h"

#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "host/http/header_text.h"
#include "mirelda/text.h"

namespace mirelda::host {
namespace {

// Both compressors count their input in 32 bits, so a larger reply is fed to them in parts:
// takes the next part off the front of what is left.
std::string_view TakePart(std::string_view& left) {
  std::string_view part = left.substr(0, size_t{1} << 30);
  left.remove_prefix(part.size());
  return part;
}

// The q value of one Accept-Encoding item ("gzip;q=0.5"); 1 when it names none.
double Quality(std::string_view parameters) {
  while (!parameters.empty()) {
    size_t semi = parameters.find(';');
    std::string_view p = TrimHeaderSpace(parameters.substr(0, semi));
    parameters = semi == std::string_view::npos ? std::string_view() : parameters.substr(semi + 1);
    if (p.size() > 2 && (p[0] == 'q' || p[0] == 'Q') && p[1] == '=') {
      std::string value(p.substr(2));
      return std::strtod(value.c_str(), nullptr);
    }
  }
  return 1;
}

}  // namespace

bool IsCompressibleType(std::string_view content_type) {
  std::string type =
      text::ToLowerAscii(TrimHeaderSpace(content_type.substr(0, content_type.find(';'))));
  if (type.rfind("text/", 0) == 0) return true;
  for (std::string_view t : {"application/json", "application/javascript", "application/xml",
                             "image/svg+xml", "application/xhtml+xml"}) {
    if (type == t) return true;
  }
  return type.size() > 5 && (type.ends_with("+json") || type.ends_with("+xml"));
}

bool AcceptsGzip(std::string_view accept_encoding) {
  std::optional<double> gzip, any;
  while (!accept_encoding.empty()) {
    size_t comma = accept_encoding.find(',');
    std::string_view item = TrimHeaderSpace(accept_encoding.substr(0, comma));
    accept_encoding =
        comma == std::string_view::npos ? std::string_view() : accept_encoding.substr(comma + 1);
    size_t semi = item.find(';');
    std::string_view coding = TrimHeaderSpace(item.substr(0, semi));
    double q = semi == std::string_view::npos ? 1 : Quality(item.substr(semi + 1));
    if (text::EqualsIgnoreCase(coding, "gzip") || text::EqualsIgnoreCase(coding, "x-gzip")) {
      gzip = q;
    } else if (coding == "*") {
      any = q;
    }
  }
  if (gzip) return *gzip > 0;
  return any && *any > 0;
}

std::optional<std::string> GzipForReply(std::string_view bytes) {
  // ISA-L's fastest level compresses a page in about half the time of zlib's, and smaller. Its
  // stream and level buffer (some 170 KiB) are made once per thread and set up afresh for each
  // reply: setting up clears only what the level's hash needs.
  struct Compressor {
    isal_zstream stream;
    std::vector<uint8_t> level_buffer = std::vector<uint8_t>(ISAL_DEF_LVL1_DEFAULT);
  };
  thread_local std::unique_ptr<Compressor> compressor;
  if (!compressor) compressor = std::make_unique<Compressor>();
  isal_zstream& stream = compressor->stream;
  isal_deflate_init(&stream);
  stream.level = 1;
  stream.level_buf = compressor->level_buffer.data();
  stream.level_buf_size = static_cast<uint32_t>(compressor->level_buffer.size());
  stream.gzip_flag = IGZIP_GZIP;
  stream.flush = NO_FLUSH;
  stream.end_of_stream = bytes.empty() ? 1 : 0;
  std::string out;
  // Output goes through a scratch piece and only what was written is kept: a page compresses to
  // a small fraction of itself.
  uint8_t piece[16384];
  do {
    if (stream.avail_in == 0 && !bytes.empty()) {
      std::string_view part = TakePart(bytes);
      stream.next_in = reinterpret_cast<uint8_t*>(const_cast<char*>(part.data()));
      stream.avail_in = static_cast<uint32_t>(part.size());
      stream.end_of_stream = bytes.empty() ? 1 : 0;
    }
    stream.next_out = piece;
    stream.avail_out = sizeof piece;
    if (isal_deflate(&stream) != COMP_OK) return std::nullopt;
    out.append(reinterpret_cast<const char*>(piece), sizeof piece - stream.avail_out);
  } while (stream.internal_state.state != ZSTATE_END);
  return out;
}

std::optional<std::string> GzipToKeep(std::string_view bytes) {
  z_stream stream{};
  // 15 + 16: the full window, and zlib writes the gzip header and trailer.
  if (deflateInit2(&stream, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    return std::nullopt;
  }
  std::string out;
  char piece[16384];
  int result = Z_OK;
  while (result == Z_OK) {
    if (stream.avail_in == 0 && !bytes.empty()) {
      std::string_view part = TakePart(bytes);
      stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(part.data()));
      stream.avail_in = static_cast<uInt>(part.size());
    }
    stream.next_out = reinterpret_cast<Bytef*>(piece);
    stream.avail_out = sizeof piece;
    result = deflate(&stream, bytes.empty() ? Z_FINISH : Z_NO_FLUSH);
    out.append(piece, sizeof piece - stream.avail_out);
  }
  deflateEnd(&stream);
  if (result != Z_STREAM_END) return std::nullopt;
  return out;
}

}  // namespace mirelda::host
