#include "host/objects/code_page.h"

#include <errno.h>

#include <map>
#include <memory>
#include <utility>

#include "mirelda/error.h"
#include "platform/iconv_converter.h"

namespace mirelda::host {
namespace {

bool IsAscii(std::string_view s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

std::string IconvName(int32_t code_page) {
  if (code_page == kCodePageUtf8) return "UTF-8";
  if (code_page == kCodePageGbk) return "GBK";
  return "CP" + std::to_string(code_page);
}

// One iconv descriptor, reset before each conversion.
class Converter {
 public:
  Converter(const std::string& to, const std::string& from) : iconv_(to, from) {}

  bool ok() const { return iconv_.valid(); }

  // Converts as much of in as possible into out. Returns 0 when all input was converted,
  // otherwise the errno that stopped it (EILSEQ or EINVAL) with in advanced to the offending byte.
  int Convert(std::string_view& in, std::string& out) {
    iconv_.Reset();
    int err = iconv_.Convert(in, out);
    if (err == 0) iconv_.Finish(out);
    return err;
  }

 private:
  platform::IconvConverter iconv_;
};

// Descriptors are not thread-safe and costly to open, so each thread keeps its own per direction.
Converter& ConverterFor(int32_t code_page, bool to_utf8) {
  thread_local std::map<std::pair<int32_t, bool>, std::unique_ptr<Converter>> converters;
  auto& slot = converters[{code_page, to_utf8}];
  if (!slot) {
    std::string name = IconvName(code_page);
    slot = to_utf8 ? std::make_unique<Converter>("UTF-8", name)
                   : std::make_unique<Converter>(name, "UTF-8");
  }
  if (!slot->ok()) {
    throw Error(errc::kInvalidProcedureCall,
                "The code page " + std::to_string(code_page) + " is not supported");
  }
  return *slot;
}

// Byte length of the UTF-8 sequence at the front of s, or 0 when it is malformed.
size_t Utf8SequenceSize(std::string_view s, uint32_t* code_point) {
  auto c = static_cast<unsigned char>(s[0]);
  size_t n;
  uint32_t cp;
  if (c < 0x80) {
    *code_point = c;
    return 1;
  } else if ((c & 0xE0) == 0xC0) {
    n = 2;
    cp = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    n = 3;
    cp = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    n = 4;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (s.size() < n) return 0;
  for (size_t i = 1; i < n; ++i) {
    auto d = static_cast<unsigned char>(s[i]);
    if ((d & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (d & 0x3F);
  }
  *code_point = cp;
  return n;
}

}  // namespace

bool IsSupportedCodePage(int32_t code_page) {
  if (code_page <= 0) return false;
  try {
    ConverterFor(code_page, true);
    ConverterFor(code_page, false);
    return true;
  } catch (const Error&) {
    return false;
  }
}

std::string CharsetName(int32_t code_page) {
  if (code_page == kCodePageUtf8) return "utf-8";
  if (code_page == kCodePageGbk) return "GBK";
  if (code_page >= 1250 && code_page <= 1258) return "windows-" + std::to_string(code_page);
  return "cp" + std::to_string(code_page);
}

std::string DecodeFromCodePage(std::string_view bytes, int32_t code_page) {
  Converter& converter = ConverterFor(code_page, true);
  if (IsAscii(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  while (!bytes.empty()) {
    if (converter.Convert(bytes, out) == 0) break;
    out += "\xEF\xBF\xBD";  // U+FFFD for the byte that does not belong to the code page
    bytes.remove_prefix(1);
  }
  return out;
}

bool DecodeStrictly(std::string_view bytes, int32_t code_page, std::string* out,
                    size_t* bad_offset) {
  Converter& converter = ConverterFor(code_page, true);
  out->clear();
  if (IsAscii(bytes)) {
    out->assign(bytes);
    return true;
  }
  std::string_view rest = bytes;
  if (converter.Convert(rest, *out) == 0) return true;
  *bad_offset = bytes.size() - rest.size();
  return false;
}

std::string EncodeToCodePage(std::string_view utf8, int32_t code_page, Unmappable unmappable) {
  Converter& converter = ConverterFor(code_page, false);
  if (IsAscii(utf8)) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    if (converter.Convert(utf8, out) == 0) break;
    uint32_t code_point = 0;
    size_t n = Utf8SequenceSize(utf8, &code_point);
    if (n == 0) {
      out += '?';
      utf8.remove_prefix(1);
      continue;
    }
    if (unmappable == Unmappable::kCharacterReference) {
      out += "&#" + std::to_string(code_point) + ";";
    } else {
      out += '?';
    }
    utf8.remove_prefix(n);
  }
  return out;
}

}  // namespace mirelda::host
