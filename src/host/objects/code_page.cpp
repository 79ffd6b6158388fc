#include "host/objects/code_page.h"

#include <errno.h>

#include <map>
#include <memory>
#include <utility>

#include "mirelda/error.h"
#include "platform/iconv_converter.h"
#include "platform/utf8.h"

namespace mirelda::host {
namespace {

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
  if (platform::utf8::IsAscii(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  while (!bytes.empty()) {
    if (converter.Convert(bytes, out) == 0) break;
    out += platform::utf8::kReplacementText;  // for the byte that does not belong to the page
    bytes.remove_prefix(1);
  }
  return out;
}

bool DecodeStrictly(std::string_view bytes, int32_t code_page, std::string* out,
                    size_t* bad_offset) {
  Converter& converter = ConverterFor(code_page, true);
  out->clear();
  if (platform::utf8::IsAscii(bytes)) {
    out->assign(bytes);
    return true;
  }
  std::string_view rest = bytes;
  if (converter.Convert(rest, *out) == 0) return true;
  *bad_offset = bytes.size() - rest.size();
  return false;
}

std::string EncodeToCodePage(std::string_view utf8, int32_t code_page, Unmappable unmappable) {
  std::string out;
  AppendInCodePage(out, utf8, code_page, unmappable);
  return out;
}

void AppendInCodePage(std::string& out, std::string_view utf8, int32_t code_page,
                      Unmappable unmappable) {
  Converter& converter = ConverterFor(code_page, false);
  if (platform::utf8::IsAscii(utf8)) {
    out.append(utf8);
    return;
  }
  out.reserve(out.size() + utf8.size());
  while (!utf8.empty()) {
    if (converter.Convert(utf8, out) == 0) break;
    // A malformed byte is no character, so it never becomes a reference: an overlong "/" or a
    // lone surrogate half must not reach the page as one.
    platform::utf8::Decoded d = platform::utf8::DecodeNext(utf8, 0);
    if (d.valid && unmappable == Unmappable::kCharacterReference) {
      out += "&#" + std::to_string(d.code_point) + ";";
    } else {
      out += '?';
    }
    utf8.remove_prefix(d.size);
  }
}

}  // namespace mirelda::host
