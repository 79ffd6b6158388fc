// libFuzzer target: arbitrary bodies and settings through Upload with files kept in memory.
// The first 6 bytes choose the settings (missing bytes read as 0), the rest is the body:
//   byte 0  bit 0 code page 65001 (else 936), bit 1 MaxSize, bit 2 the lngMaxSize argument,
//           bit 3 NewFileName, bit 4 a relative folder argument, bit 5 Path
//   1-4     the size limit (little-endian, signed); 5 OverWrite and the lngOverWrite argument
// Besides running clean, each input checks that the part count equals the count of the marker
// in the fully decoded text, and that a run that went through kept one part per counted part.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/test_host/test_host.h"
#include "upload/file_system.h"
#include "upload/multipart_body.h"

namespace {

using mirelda::upload::TextDecoder;

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "upload fuzz: %s\n", what);
  std::abort();
}

size_t CountInDecodedText(const std::string& body, const TextDecoder& decoder) {
  std::string text = decoder.Decode(body);
  size_t count = 0;
  for (size_t at = text.find("; name="); at != std::string::npos;
       at = text.find("; name=", at + 1)) {
    ++count;
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t s[6] = {};
  std::memcpy(s, data, std::min(size, sizeof s));
  std::string body(reinterpret_cast<const char*>(data) + std::min(size, sizeof s),
                   size - std::min(size, sizeof s));
  auto limit = static_cast<int32_t>(s[1] | s[2] << 8 | s[3] << 16 | uint32_t{s[4]} << 24);
  auto overwrite = static_cast<int16_t>(static_cast<int8_t>(s[5]));

  static auto* host = new mirelda::host::TestHost();
  host->NewPage();
  host->session().code_page = s[0] & 1 ? 65001 : 936;
  const TextDecoder& decoder = TextDecoder::ForCodePage(host->session().code_page);
  if (body.find("\r\n") != std::string::npos) {
    mirelda::upload::MultipartBody multipart{mirelda::ByteArray(body), decoder};
    Check(static_cast<size_t>(multipart.CountParts()) == CountInDecodedText(body, decoder),
          "the part count differs from the count in the decoded text");
  }

  auto fs = std::make_shared<mirelda::upload::FileSystem>();
  fs->OnStartPage(host->context_ptr());
  fs->UpToFile(2);
  if (s[0] & 2) fs->MaxSize(limit);
  if (s[0] & 8) fs->NewFileName("same.bin");
  if (s[0] & 32) fs->Path("d:\\uploads");
  fs->OverWrite(overwrite);
  host->request().body = body;
  std::string result = fs->Upload(s[0] & 4 ? limit : 0, s[0] & 16 ? "uploads" : "", overwrite);
  Check(!result.empty(), "an empty message");
  const auto& parts = fs->results().parts();
  if (!parts.empty()) {
    Check(parts.size() == static_cast<size_t>(fs->results().part_count()),
          "the kept parts differ from the count");
  }
  for (const auto& part : parts) {
    Check(part.size >= 0, "a negative size");
    if (part.is_file) {
      size_t kept = part.value.AsBytes().size();
      Check(kept == 0 || kept == static_cast<size_t>(part.size), "content is not its size");
      Check(part.file_name.find_first_of("\\/:") == std::string::npos, "a folder part kept");
    }
    Check(fs->results().Find(part.form_name) != nullptr, "a kept name is not found");
  }
  return 0;
}
