#include "host/http/content_encoding.h"

#include <libdeflate.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>

#include "host/http/header_text.h"
#include "mirelda/text.h"

namespace mirelda::host {
namespace {

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

std::optional<std::string> Gzip(std::string_view bytes, int level) {
  // One compressor per thread, reset between replies: making a fresh one allocates and clears
  // its tables each time, which costs more than compressing a page. The full 32 KiB window keeps
  // a page of up to about 64 KiB in one buffer: a smaller window is slid (copied and rehashed)
  // as the page passes it, which made a 20 KiB page cost half as much again. A reset clears only
  // the hash heads, so the smaller hash (6) is what keeps resets cheap.
  struct Compressor {
    z_stream stream{};
    int level = -2;
    ~Compressor() {
      if (level != -2) deflateEnd(&stream);
    }
  };
  thread_local Compressor compressor;
  z_stream& stream = compressor.stream;
  if (compressor.level != level) {
    if (compressor.level != -2) deflateEnd(&stream);
    compressor.level = -2;
    stream = z_stream{};
    // -15: the full window and a bare deflate stream; the gzip header and trailer are written
    // here, so that the trailer's CRC comes from libdeflate's carry-less-multiply code, which
    // takes a third of the time of zlib's table CRC (a fifth of compressing a page at level 1).
    if (deflateInit2(&stream, level, Z_DEFLATED, -15, 6, Z_DEFAULT_STRATEGY) != Z_OK) {
      return std::nullopt;
    }
    compressor.level = level;
  } else if (deflateReset(&stream) != Z_OK) {
    return std::nullopt;
  }
  // Magic, deflate, no flags, no time, no extra flags, operating system unknown (255).
  static constexpr char kHeader[10] = {'\x1f', '\x8b', 8, 0, 0, 0, 0, 0, 0, '\xff'};
  std::string out(kHeader, sizeof kHeader);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  // Deflate writes into a scratch piece and only what it wrote is kept: a page compresses to a
  // small fraction of itself, and an output buffer of its full bound would be cleared and
  // allocated for nothing.
  char piece[16384];
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(piece);
    stream.avail_out = sizeof piece;
    result = deflate(&stream, Z_FINISH);
    out.append(piece, sizeof piece - stream.avail_out);
  }
  if (result != Z_STREAM_END) return std::nullopt;
  // The trailer: CRC-32 of the bytes, then their length modulo 2^32, both little-endian.
  uint32_t crc = libdeflate_crc32(0, bytes.data(), bytes.size());
  uint32_t length = static_cast<uint32_t>(bytes.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(crc >> (8 * i)));
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(length >> (8 * i)));
  return out;
}

}  // namespace mirelda::host
