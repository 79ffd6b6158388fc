// libFuzzer target: arbitrary bodies and settings through Upload with files kept in memory.
//
// The first 8 bytes choose the settings (missing bytes read as 0), the rest is the body:
//   byte 0  bit 0 code page 65001 (else 936), bit 1 MaxSize, bit 2 the lngMaxSize argument,
//           bit 3 NewFileName, bit 4 a relative ServerPath, bit 5 Path, bit 6 a second Upload
//           of the same body on the same instance
//   1-4     the size limit (little-endian, signed)
//   5       OverWrite, and the lngOverWrite argument
//   6-7     unused, kept for later settings
// Beyond not crashing, each run checks what must hold whatever the body: the part count agrees
// with counting the marker in the fully decoded text, every text is valid UTF-8, and the kept
// parts match the count whenever the run went through.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "host/test_host.h"
#include "upload/file_system.h"
#include "upload/multipart_body.h"
#include "upload/text_decoder.h"
#include "upload/upload_failure.h"

namespace {

using mirelda::upload::FileSystem;
using mirelda::upload::TextDecoder;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "upload fuzz: %s\n", what);
    std::abort();
  }
}

bool IsUtf8(std::string_view text) { return TextDecoder::ForCodePage(65001).Decode(text) == text; }

size_t CountInText(std::string_view text) {
  size_t count = 0;
  for (size_t at = text.find("; name="); at != std::string_view::npos;
       at = text.find("; name=", at + 1)) {
    ++count;
  }
  return count;
}

void CheckCount(std::string_view body, const TextDecoder& decoder) {
  try {
    mirelda::upload::MultipartBody multipart{mirelda::ByteArray(body), decoder};
    Check(static_cast<size_t>(multipart.CountParts()) == CountInText(decoder.Decode(body)),
          "the part count differs from the count in the decoded text");
  } catch (const mirelda::Error&) {
    Check(body.find("\r\n") == std::string_view::npos, "a body with a line break was refused");
  }
}

void CheckResults(const FileSystem& fs, const std::string& result) {
  Check(!result.empty(), "an empty message");
  Check(IsUtf8(result), "a message that is not UTF-8");
  const auto& parts = fs.results().parts();
  bool went_through = result == "OK" || result == mirelda::upload::PathNotAbsoluteMessage() ||
                      result.rfind("对不起，文件名为[", 0) == 0;
  if (went_through) {
    Check(parts.size() == static_cast<size_t>(fs.results().part_count()),
          "the kept parts differ from the count");
  }
  for (const auto& part : parts) {
    Check(IsUtf8(part.form_name) && IsUtf8(part.file_name), "a name that is not UTF-8");
    Check(part.size >= 0, "a negative size");
    if (part.is_file) {
      const auto& bytes = part.value.AsBytes();
      Check(bytes.empty() || bytes.size() == static_cast<size_t>(part.size),
            "file content that is neither empty nor its size");
      Check(part.file_name.find_first_of("\\/:") == std::string::npos,
            "a file name that keeps a folder part");
    } else {
      Check(IsUtf8(part.value.ToString()), "a field value that is not UTF-8");
      Check(part.file_name.empty(), "a field with a file name");
    }
    const auto* found = fs.results().Find(part.form_name);
    Check(found != nullptr && found->form_name == part.form_name, "a kept name not found");
    (void)fs.Form(part.form_name);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t settings[8] = {};
  std::memcpy(settings, data, size < sizeof settings ? size : sizeof settings);
  std::string body;
  if (size > sizeof settings) {
    body.assign(reinterpret_cast<const char*>(data) + sizeof settings, size - sizeof settings);
  }
  uint32_t raw_limit =
      settings[1] | settings[2] << 8 | settings[3] << 16 | static_cast<uint32_t>(settings[4]) << 24;
  auto limit = static_cast<int32_t>(raw_limit);
  auto overwrite = static_cast<int16_t>(static_cast<int8_t>(settings[5]));

  static mirelda::host::TestHost* host = new mirelda::host::TestHost();
  host->NewPage();
  host->session().code_page = settings[0] & 1 ? 65001 : 936;
  CheckCount(body, TextDecoder::ForCodePage(host->session().code_page));

  auto fs = std::make_shared<FileSystem>();
  fs->OnStartPage(host->context_ptr());
  fs->UpToFile(2);
  if (settings[0] & 2) fs->MaxSize(limit);
  if (settings[0] & 8) fs->NewFileName("same.bin");
  if (settings[0] & 32) fs->Path("d:\\uploads");
  fs->OverWrite(overwrite);
  host->request().body = body;
  std::string result =
      fs->Upload(settings[0] & 4 ? limit : 0, settings[0] & 16 ? "uploads" : "", overwrite);
  CheckResults(*fs, result);
  if (settings[0] & 64) {
    host->request().body_read = 0;
    std::string again = fs->Upload(0, "", 0);
    CheckResults(*fs, again);
  }
  fs->OnEndPage();
  return 0;
}
