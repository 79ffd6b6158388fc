#include "data/charset_conversion.h"

#include <iconv.h>

#include <cerrno>

#include "data/transfer_errors.h"
#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::data {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

class Converter {
 public:
  Converter(const std::string& to, const std::string& from)
      : cd_(::iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (ok()) ::iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of in. A byte that starts no valid sequence is handed to bad (which may throw)
  // and skipped.
  template <class OnBad>
  std::string Run(std::string_view in, OnBad bad) {
    std::string out;
    char buffer[4096];
    char* in_ptr = const_cast<char*>(in.data());
    size_t in_left = in.size();
    while (in_left > 0) {
      char* out_ptr = buffer;
      size_t out_left = sizeof buffer;
      size_t r = ::iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left);
      int failure = r == static_cast<size_t>(-1) ? errno : 0;
      out.append(buffer, static_cast<size_t>(out_ptr - buffer));
      if (failure == EILSEQ || failure == EINVAL) {
        bad(out, static_cast<size_t>(in_ptr - in.data()));
        ++in_ptr;
        --in_left;
        ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      } else if (failure != 0 && failure != E2BIG) {
        break;
      }
    }
    // Stateful charsets end with the sequence that returns to their initial state.
    char* out_ptr = buffer;
    size_t out_left = sizeof buffer;
    ::iconv(cd_, nullptr, nullptr, &out_ptr, &out_left);
    out.append(buffer, static_cast<size_t>(out_ptr - buffer));
    return out;
  }

 private:
  iconv_t cd_;
};

}  // namespace

bool IsUtf8Charset(std::string_view charset) {
  std::string name = text::ToLowerAscii(charset);
  return name == "utf-8" || name == "utf8";
}

std::string DecodeCharset(std::string_view bytes, std::string_view charset) {
  Converter known("UTF-8", std::string(charset));
  Converter fallback("UTF-8", "UTF-8");
  Converter& cd = known.ok() ? known : fallback;
  return cd.Run(bytes, [](std::string& out, size_t) { out += kReplacement; });
}

std::string EncodeCharset(std::string_view utf8, std::string_view charset) {
  Converter cd(std::string(charset), "UTF-8");
  if (!cd.ok()) {
    throw Error(kInvalidArgument, "The charset \"" + std::string(charset) + "\" is not supported");
  }
  return cd.Run(utf8, [&](std::string&, size_t offset) {
    throw Error(kInvalidArgument, "The text at byte " + std::to_string(offset) +
                                      " cannot be written in the charset \"" +
                                      std::string(charset) + "\"");
  });
}

}  // namespace mirelda::data
