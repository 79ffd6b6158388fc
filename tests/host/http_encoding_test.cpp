// What mirelda-host puts on the wire for static files and pages: gzip when the client takes it
// and the type is worth it, entity tags and 304, single byte ranges, 206 and 416.
#include <gtest/gtest.h>
#include <zlib.h>

#include <sstream>

#include "host/running_host.h"

namespace mirelda::testing {
namespace {

std::string Gunzip(const std::string& packed) {
  z_stream stream{};
  if (inflateInit2(&stream, 15 + 16) != Z_OK) return "<inflateInit2 failed>";
  std::string out;
  char buffer[16384];
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  stream.avail_in = static_cast<uInt>(packed.size());
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    result = inflate(&stream, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - stream.avail_out);
  }
  inflateEnd(&stream);
  return result == Z_STREAM_END ? out : "<not a whole gzip stream>";
}

// Text that differs line by line: 20 KiB is sent from memory, 100 KiB from its file.
std::string BigText(size_t size = 20480) {
  std::string text;
  for (int i = 0; text.size() < size; ++i) text += "line " + std::to_string(i) + " of the text\n";
  text.resize(size);
  return text;
}

const std::string kBig = BigText();
// Numbers that repeat little, so that it compresses to several of the compressor's output pieces.
const std::string kLarge = [] {
  std::string text;
  for (uint32_t i = 0; text.size() < 102400; ++i) text += std::to_string(i * 2654435761u) + "\n";
  text.resize(102400);
  return text;
}();
const std::string kPage = std::string(4096, 'p') + std::string(4096, 'q');
using Headers = std::vector<std::pair<std::string, std::string>>;
const Headers kGzip = {{"Accept-Encoding", "gzip, deflate"}};

class WireEncoding : public SharedHostTest<WireEncoding> {
 protected:
  static void SetUpTestSuite() {
    host_.reset(new RunningHost(
        Files{{"big.txt", kBig},
              {"change.txt", kBig},
              {"large.txt", kLarge},
              {"small.txt", "short text"},
              {"pic.png", std::string(5000, '\x89')},
              {"big.asp", "<% Response.Write(\"" + std::string(4096, 'p') +
                              "\"); Response.Write(\"" + std::string(4096, 'q') + "\"); %>"}}));
  }
};

// Each row: a target and its request headers ("Name: value" lines), then the reply's status,
// Content-Encoding ("" for none), whether it says Vary: Accept-Encoding, its body after gunzip
// and its Content-Range. "{etag}", "{gzip-etag}" and "{date}" stand for the tags and Last-Modified
// of /big.txt.
TEST_F(WireEncoding, RepliesAsTheTableSays) {
  struct Row {
    const char* target;
    std::string headers;
    int status;
    const char* encoding;
    bool vary;
    std::string body;
    const char* content_range = "";
  };
  const std::string gzip = "Accept-Encoding: gzip, deflate";
  const Row rows[] = {
      {"/big.txt", gzip, 200, "gzip", true, kBig},
      {"/big.txt", "", 200, "", true, kBig},
      {"/big.txt", "Accept-Encoding: gzip;q=0, br", 200, "", true, kBig},
      {"/big.txt", "Accept-Encoding: *", 200, "gzip", true, kBig},
      {"/large.txt", gzip, 200, "gzip", true, kLarge},
      {"/large.txt", "", 200, "", true, kLarge},
      {"/large.txt", "Range: bytes=100000-100009\nAccept-Encoding: gzip", 206, "", true,
       kLarge.substr(100000, 10), "bytes 100000-100009/102400"},
      {"/small.txt", gzip, 200, "", false, "short text"},             // too small to be worth it
      {"/pic.png", gzip, 200, "", false, std::string(5000, '\x89')},  // compressed already
      {"/big.asp", gzip, 200, "gzip", true, kPage},
      {"/big.asp", "", 200, "", true, kPage},
      {"/big.txt", "Range: bytes=10-19", 206, "", true, kBig.substr(10, 10), "bytes 10-19/20480"},
      {"/big.txt", "Range: bytes=20000-\nAccept-Encoding: gzip", 206, "", true, kBig.substr(20000),
       "bytes 20000-20479/20480"},
      {"/big.txt", "Range: bytes=-5", 206, "", true, kBig.substr(20475), "bytes 20475-20479/20480"},
      {"/big.txt", "Range: bytes=20480-", 416, "", false, "", "bytes */20480"},
      // Backwards and several ranges are answered with the whole file.
      {"/big.txt", "Range: bytes=9-3", 200, "", true, kBig},
      {"/big.txt", "Range: bytes=0-1,5-6", 200, "", true, kBig},
      {"/big.txt", "If-None-Match: {etag}", 304, "", true, ""},
      {"/big.txt", "If-None-Match: \"x\", W/{etag}", 304, "", true, ""},
      {"/big.txt", "If-None-Match: *", 304, "", true, ""},
      {"/big.txt", "If-None-Match: {gzip-etag}\n" + gzip, 304, "", true, ""},
      {"/big.txt", "If-None-Match: \"other\"", 200, "", true, kBig},
      // A resumed download gets its part only while the file is the one it began with.
      {"/big.txt", "Range: bytes=10-19\nIf-Range: {etag}", 206, "", true, kBig.substr(10, 10),
       "bytes 10-19/20480"},
      {"/big.txt", "Range: bytes=10-19\nIf-Range: {date}", 206, "", true, kBig.substr(10, 10),
       "bytes 10-19/20480"},
      {"/big.txt", "Range: bytes=10-19\nIf-Range: \"older\"", 200, "", true, kBig},
      {"/big.txt", "Range: bytes=10-19\nIf-Range: W/{etag}", 200, "", true, kBig},
      {"/big.txt", "Range: bytes=10-19\nIf-Range: Fri, 01 Jan 2010 00:00:00 GMT", 200, "", true,
       kBig},
      {"/big.txt", "Range: bytes=30000-\nIf-Range: \"older\"", 200, "", true, kBig},
      // The tag wins over the date.
      {"/big.txt", "If-None-Match: \"other\"\nIf-Modified-Since: Fri, 01 Jan 2100 00:00:00 GMT",
       200, "", true, kBig},
  };
  HttpReply plain = host_->Get("/big.txt");
  const std::pair<std::string, std::string> marks[] = {
      {"{etag}", plain.Header("ETag")},
      {"{gzip-etag}", host_->Get("/big.txt", {{"Accept-Encoding", "gzip"}}).Header("ETag")},
      {"{date}", plain.Header("Last-Modified")}};
  for (const auto& [mark, text] : marks) ASSERT_FALSE(text.empty()) << mark;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.target + std::string(" ") + row.headers);
    Headers headers;
    std::stringstream lines(row.headers);
    for (std::string line; std::getline(lines, line);) {
      std::string value = line.substr(line.find(": ") + 2);
      for (const auto& [mark, text] : marks) {
        if (size_t at = value.find(mark); at != std::string::npos)
          value.replace(at, mark.size(), text);
      }
      headers.emplace_back(line.substr(0, line.find(": ")), value);
    }
    HttpReply r = host_->Get(row.target, headers);
    EXPECT_EQ(r.status, row.status);
    EXPECT_EQ(r.Header("Content-Encoding"), row.encoding);
    EXPECT_EQ(r.Header("Vary") == "Accept-Encoding", row.vary);
    EXPECT_EQ(r.Header("Content-Range"), row.content_range);
    std::string body = std::string(row.encoding) == "gzip" ? Gunzip(r.body) : r.body;
    if (row.status != 416) {
      EXPECT_TRUE(body == row.body) << body.size() << " bytes: " << body.substr(0, 80);
    }
    if (row.status == 304) {
      // A 304 states no length but that of the body it stands for: the same request's 200.
      Headers unconditional;
      for (const auto& [name, value] : headers) {
        if (name.rfind("If-", 0) != 0) unconditional.emplace_back(name, value);
      }
      HttpReply full = host_->Get(row.target, unconditional);
      EXPECT_EQ(full.status, 200);
      EXPECT_EQ(r.Header("Content-Length"), std::to_string(full.body.size()));
      EXPECT_EQ(r.Header("ETag"), full.Header("ETag"));
    }
    if (std::string(row.target) == "/big.txt" && row.status != 416) {
      EXPECT_EQ(r.Header("Accept-Ranges"), "bytes");
      EXPECT_FALSE(r.Header("ETag").empty());
    }
  }
}

TEST_F(WireEncoding, ANewVersionOfAFileGetsANewTagAndNewGzip) {
  HttpReply first = host_->Get("/change.txt", kGzip);
  std::string changed = kBig;
  changed[0] = 'L';
  WriteFile(host_->site() / "change.txt", changed + "more");
  HttpReply second = host_->Get("/change.txt", kGzip);
  EXPECT_NE(first.Header("ETag"), second.Header("ETag"));
  EXPECT_TRUE(Gunzip(second.body) == changed + "more");
  EXPECT_EQ(host_->Get("/change.txt", {{"If-None-Match", first.Header("ETag")}}).status, 200);
}

TEST(WireEncodingOff, CompressOffSendsEverythingAsItIs) {
  RunningHost host(Files{{"big.txt", kBig}}, {"--compress", "off"});
  HttpReply r = host.Get("/big.txt", kGzip);
  EXPECT_EQ(r.Header("Content-Encoding"), "");
  EXPECT_EQ(r.Header("Vary"), "");
  EXPECT_TRUE(r.body == kBig);
}

}  // namespace
}  // namespace mirelda::testing
