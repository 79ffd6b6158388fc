// What mirelda-host puts on the wire for static files and pages: gzip when the client takes it
// and the type is worth it, entity tags and 304, single byte ranges, 206 and 416.
#include <gtest/gtest.h>
#include <zlib.h>

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

using Files = std::map<std::string, std::string>;

struct WireCase {
  const char* name;
  const char* target;
  std::vector<std::pair<std::string, std::string>> headers;  // "{etag}": the file's own tag
  int status;
  const char* encoding;  // Content-Encoding expected, "" for none
  bool vary;
  std::string body;  // after gunzip
  const char* content_range = "";
};

class WireEncoding : public ::testing::TestWithParam<WireCase> {
 protected:
  static void SetUpTestSuite() {
    std::string png(5000, '\x89');
    host_ = new RunningHost(
        Files{{"big.txt", BigText()},
              {"large.txt", BigText(102400)},
              {"small.txt", "short text"},
              {"pic.png", png},
              {"big.asp", "<% Response.Write(\"" + std::string(4096, 'p') +
                              "\"); Response.Write(\"" + std::string(4096, 'q') + "\"); %>"}});
  }
  static void TearDownTestSuite() {
    delete host_;
    host_ = nullptr;
  }
  static RunningHost* host_;
};
RunningHost* WireEncoding::host_ = nullptr;

const std::string kBig = BigText();
const std::string kLarge = BigText(102400);
const std::string kPage = std::string(4096, 'p') + std::string(4096, 'q');
using Headers = std::vector<std::pair<std::string, std::string>>;
const Headers kGzip = {{"Accept-Encoding", "gzip, deflate"}};

TEST_P(WireEncoding, RepliesAsTheTableSays) {
  const WireCase& c = GetParam();
  std::string etag = host_->Get("/big.txt").Header("ETag");
  ASSERT_FALSE(etag.empty());
  Headers headers = c.headers;
  for (auto& [name, value] : headers) {
    size_t at = value.find("{etag}");
    if (at != std::string::npos) value.replace(at, 6, etag);
  }
  HttpReply r = host_->Get(c.target, headers);
  EXPECT_EQ(r.status, c.status);
  EXPECT_EQ(r.Header("Content-Encoding"), c.encoding);
  EXPECT_EQ(r.Header("Vary") == "Accept-Encoding", c.vary);
  EXPECT_EQ(r.Header("Content-Range"), c.content_range);
  std::string body = std::string(c.encoding) == "gzip" ? Gunzip(r.body) : r.body;
  if (c.status != 416) {
    EXPECT_TRUE(body == c.body) << body.size() << " bytes: " << body.substr(0, 80);
  }
  if (std::string(c.target) == "/big.txt" && c.status != 416) {
    EXPECT_EQ(r.Header("Accept-Ranges"), "bytes");
    EXPECT_FALSE(r.Header("ETag").empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, WireEncoding,
    ::testing::Values(
        WireCase{"GzipTaken", "/big.txt", kGzip, 200, "gzip", true, kBig},
        WireCase{"NoAcceptEncoding", "/big.txt", {}, 200, "", true, kBig},
        WireCase{"GzipRefusedByQ",
                 "/big.txt",
                 {{"Accept-Encoding", "gzip;q=0, br"}},
                 200,
                 "",
                 true,
                 kBig},
        WireCase{"AnyCoding", "/big.txt", {{"Accept-Encoding", "*"}}, 200, "gzip", true, kBig},
        WireCase{"LargeGzip", "/large.txt", kGzip, 200, "gzip", true, kLarge},
        WireCase{"LargePlain", "/large.txt", {}, 200, "", true, kLarge},
        WireCase{"LargeRange",
                 "/large.txt",
                 {{"Range", "bytes=100000-100009"}, {"Accept-Encoding", "gzip"}},
                 206,
                 "",
                 true,
                 kLarge.substr(100000, 10),
                 "bytes 100000-100009/102400"},
        WireCase{"TooSmall", "/small.txt", kGzip, 200, "", false, "short text"},
        WireCase{"CompressedType", "/pic.png", kGzip, 200, "", false, std::string(5000, '\x89')},
        WireCase{"PageGzip", "/big.asp", kGzip, 200, "gzip", true, kPage},
        WireCase{"PagePlain", "/big.asp", {}, 200, "", true, kPage},
        WireCase{"Range",
                 "/big.txt",
                 {{"Range", "bytes=10-19"}},
                 206,
                 "",
                 true,
                 kBig.substr(10, 10),
                 "bytes 10-19/20480"},
        WireCase{"RangeWithGzipIsPlain",
                 "/big.txt",
                 {{"Range", "bytes=20000-"}, {"Accept-Encoding", "gzip"}},
                 206,
                 "",
                 true,
                 kBig.substr(20000),
                 "bytes 20000-20479/20480"},
        WireCase{"SuffixRange",
                 "/big.txt",
                 {{"Range", "bytes=-5"}},
                 206,
                 "",
                 true,
                 kBig.substr(20475),
                 "bytes 20475-20479/20480"},
        WireCase{"RangePastEnd",
                 "/big.txt",
                 {{"Range", "bytes=20480-"}},
                 416,
                 "",
                 false,
                 "",
                 "bytes */20480"},
        WireCase{
            "BackwardsRangeIsWhole", "/big.txt", {{"Range", "bytes=9-3"}}, 200, "", true, kBig},
        WireCase{
            "SeveralRangesAreWhole", "/big.txt", {{"Range", "bytes=0-1,5-6"}}, 200, "", true, kBig},
        WireCase{"EtagMatches", "/big.txt", {{"If-None-Match", "{etag}"}}, 304, "", true, ""},
        WireCase{"WeakEtagInList",
                 "/big.txt",
                 {{"If-None-Match", "\"x\", W/{etag}"}},
                 304,
                 "",
                 true,
                 ""},
        WireCase{"AnyEtag", "/big.txt", {{"If-None-Match", "*"}}, 304, "", true, ""},
        WireCase{"OtherEtag", "/big.txt", {{"If-None-Match", "\"other\""}}, 200, "", true, kBig},
        WireCase{"EtagWinsOverDate",
                 "/big.txt",
                 {{"If-None-Match", "\"other\""},
                  {"If-Modified-Since", "Fri, 01 Jan 2100 00:00:00 GMT"}},
                 200,
                 "",
                 true,
                 kBig}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WireEncodingOff, CompressOffSendsEverythingAsItIs) {
  RunningHost host(Files{{"big.txt", kBig}}, {"--compress", "off"});
  HttpReply r = host.Get("/big.txt", kGzip);
  EXPECT_EQ(r.Header("Content-Encoding"), "");
  EXPECT_EQ(r.Header("Vary"), "");
  EXPECT_TRUE(r.body == kBig);
}

TEST(WireEncodingChange, ANewVersionOfAFileGetsANewTagAndNewGzip) {
  RunningHost host(Files{{"big.txt", kBig}});
  HttpReply first = host.Get("/big.txt", kGzip);
  std::string changed = kBig;
  changed[0] = 'L';
  WriteFile(host.site() / "big.txt", changed + "more");
  HttpReply second = host.Get("/big.txt", kGzip);
  EXPECT_NE(first.Header("ETag"), second.Header("ETag"));
  EXPECT_TRUE(Gunzip(second.body) == changed + "more");
  EXPECT_EQ(host.Get("/big.txt", {{"If-None-Match", first.Header("ETag")}}).status, 200);
}

}  // namespace
}  // namespace mirelda::testing
