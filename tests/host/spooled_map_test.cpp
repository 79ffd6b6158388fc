// A request body spooled to a file reaches readers as a MappedFile: they find it from any slice,
// can let go of the pages they have read without changing a byte, and the multipart cutter reads
// a large body without keeping it resident, with the same cuts as over the body in memory.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>

#include "host/http/request_body.h"
#include "mirelda/mapped_file.h"
#include "support/temp_dir.h"
#include "upload/multipart_body.h"

namespace mirelda::host {
namespace {

constexpr size_t kLarge = size_t{24} << 20;

// The resident size of this process's file maps, in bytes.
size_t ResidentFilePages() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("RssFile:", 0) == 0) return std::stoull(line.substr(8)) * 1024;
  }
  return 0;
}

std::string RandomBytes(size_t size) {
  std::mt19937_64 random(7);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xff);
  return bytes;
}

ByteArray Spooled(const std::string& bytes, const std::filesystem::path& folder) {
  RequestBody body(1024, folder);
  body.Expect(bytes.size());
  for (size_t at = 0; at < bytes.size(); at += 65536) {
    body.Append(bytes.data() + at, std::min<size_t>(65536, bytes.size() - at));
  }
  EXPECT_TRUE(body.spooled());
  return body.Finish();
}

TEST(SpooledMap, SlicesFindTheirMapAndMemoryFindsNone) {
  testing::TempDir dir;
  std::string bytes = RandomBytes(1 << 20);
  ByteArray spooled = Spooled(bytes, dir.path());
  struct Row {
    const char* what;
    ByteArray bytes;
    bool mapped;
  };
  const Row rows[] = {
      {"the whole body", spooled, true},
      {"a slice inside", spooled.Slice(4096, 100000), true},
      {"the last byte", spooled.Slice(bytes.size() - 1, 1), true},
      {"the same bytes in memory", ByteArray(std::string_view(bytes)), false},
  };
  for (const Row& row : rows) {
    std::shared_ptr<const MappedFile> map =
        MappedFile::Containing(row.bytes.data(), row.bytes.size());
    EXPECT_EQ(map != nullptr, row.mapped) << row.what;
    if (map) {
      EXPECT_EQ(map->data(), spooled.data()) << row.what;
    }
  }
  const uint8_t* gone = nullptr;
  {
    ByteArray last = Spooled(bytes, dir.path());
    gone = last.data();
  }
  EXPECT_EQ(MappedFile::Containing(gone, 1), nullptr);
}

TEST(SpooledMap, ReleasedPagesLeaveMemoryAndKeepTheirBytes) {
  testing::TempDir dir;
  std::string bytes = RandomBytes(kLarge);
  ByteArray spooled = Spooled(bytes, dir.path());
  std::shared_ptr<const MappedFile> map = MappedFile::Containing(spooled.data(), spooled.size());
  ASSERT_TRUE(map);
  size_t before = ResidentFilePages();
  EXPECT_EQ(spooled.view(), bytes);
  EXPECT_GT(ResidentFilePages(), before + kLarge / 2);
  map->Release(spooled.data(), spooled.size());
  EXPECT_LT(ResidentFilePages(), before + kLarge / 8);
  EXPECT_EQ(spooled.view(), bytes);
}

TEST(SpooledMap, MultipartCutsAreTheSameWithoutTheBodyStayingResident) {
  testing::TempDir dir;
  std::string content = RandomBytes(kLarge);
  std::string body =
      "--b0undary\r\nContent-Disposition: form-data; name=\"note\"\r\n\r\nhello\r\n"
      "--b0undary\r\nContent-Disposition: form-data; name=\"f\"; "
      "filename=\"C:\\big.bin\"\r\nContent-Type: application/octet-stream\r\n\r\n" +
      content + "\r\n--b0undary--\r\n";
  const upload::TextDecoder& decoder = upload::TextDecoder::ForCodePage(65001);
  upload::MultipartBody in_memory(ByteArray(std::string_view(body)), decoder);
  size_t before = ResidentFilePages();
  upload::MultipartBody mapped(Spooled(body, dir.path()), decoder);
  ASSERT_EQ(mapped.CountParts(), 2);
  ASSERT_EQ(in_memory.CountParts(), 2);
  for (int i = 0; i < 2; ++i) {
    upload::PendingFailure pending_memory;
    upload::PendingFailure pending_mapped;
    upload::UploadPart a = in_memory.NextPart(1 << 30, pending_memory);
    upload::UploadPart b = mapped.NextPart(1 << 30, pending_mapped);
    EXPECT_EQ(a.form_name, b.form_name);
    EXPECT_EQ(a.file_name, b.file_name);
    EXPECT_EQ(a.size, b.size);
    EXPECT_EQ(a.is_file, b.is_file);
    if (b.is_file) {
      EXPECT_EQ(b.file_name, "big.bin");
      EXPECT_EQ(static_cast<size_t>(b.size), content.size());
      // Scanning let the pages go as it went; the cut still shares the map.
      EXPECT_LT(ResidentFilePages(), before + kLarge / 4);
      EXPECT_TRUE(MappedFile::Containing(b.value.AsBytes().data(), b.value.AsBytes().size()));
      EXPECT_EQ(b.value.AsBytes().view(), content);
    }
  }
}

// Parts whose closing boundary, or the next part's "; name=", begins a little before the end of
// one read stretch of a mapped body and ends in the next, at every offset the marker allows, are
// all found.
TEST(SpooledMap, MarkersAcrossReadStretchesAreFound) {
  testing::TempDir dir;
  const std::string boundary = "--b0undary";
  const std::string header_to_name = "\r\nContent-Disposition: form-data";
  const size_t stretch = upload::MultipartBody::kReadStretch;
  std::string body;
  std::vector<std::string> values;
  // How far before a stretch's end each part's marker starts: 1 to its length less one.
  std::vector<size_t> overhangs;
  for (size_t k = 1; k < boundary.size(); ++k) overhangs.push_back(k);
  for (size_t k = 1; k < std::string_view("; name=").size(); ++k) {
    overhangs.push_back(k + boundary.size() + header_to_name.size());
  }
  for (size_t i = 0; i < overhangs.size(); ++i) {
    std::string head = boundary + header_to_name + "; name=\"f" + std::to_string(i) + "\"\r\n\r\n";
    size_t closing = (i + 1) * stretch - overhangs[i];  // where this part's closing boundary starts
    values.push_back(std::string(closing - body.size() - head.size() - 2, 'v'));
    body += head + values.back() + "\r\n";
  }
  body += boundary + "--\r\n";
  const upload::TextDecoder& decoder = upload::TextDecoder::ForCodePage(65001);
  upload::MultipartBody mapped(Spooled(body, dir.path()), decoder);
  ASSERT_EQ(mapped.CountParts(), static_cast<int32_t>(values.size()));
  for (size_t i = 0; i < values.size(); ++i) {
    upload::PendingFailure pending;
    upload::UploadPart part = mapped.NextPart(1 << 30, pending);
    EXPECT_EQ(part.form_name, "f" + std::to_string(i));
    EXPECT_EQ(part.value.ToString(), values[i]);
  }
}

}  // namespace
}  // namespace mirelda::host
