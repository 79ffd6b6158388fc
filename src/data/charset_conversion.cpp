#include "data/charset_conversion.h"

#include <cerrno>

#include "data/transfer_errors.h"
#include "mirelda/error.h"
#include "mirelda/text.h"
#include "platform/iconv_converter.h"

namespace mirelda::data {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Converts all of in. A byte that starts no valid sequence is handed to bad (which may throw)
// and skipped.
template <class OnBad>
std::string Run(platform::IconvConverter& cd, std::string_view in, OnBad bad) {
  std::string out;
  const size_t size = in.size();
  for (int err = cd.Convert(in, out); err == EILSEQ || err == EINVAL; err = cd.Convert(in, out)) {
    bad(out, size - in.size());
    in.remove_prefix(1);
    cd.Reset();
  }
  // Stateful charsets end with the sequence that returns to their initial state.
  cd.Finish(out);
  return out;
}

}  // namespace

bool IsUtf8Charset(std::string_view charset) {
  std::string name = text::ToLowerAscii(charset);
  return name == "utf-8" || name == "utf8";
}

std::string DecodeCharset(std::string_view bytes, std::string_view charset) {
  platform::IconvConverter known("UTF-8", std::string(charset));
  platform::IconvConverter fallback("UTF-8", "UTF-8");
  return Run(known.valid() ? known : fallback, bytes,
             [](std::string& out, size_t) { out += kReplacement; });
}

std::string EncodeCharset(std::string_view utf8, std::string_view charset) {
  platform::IconvConverter cd(std::string(charset), "UTF-8");
  if (!cd.valid()) {
    throw Error(kInvalidArgument, "The charset \"" + std::string(charset) + "\" is not supported");
  }
  return Run(cd, utf8, [&](std::string&, size_t offset) {
    throw Error(kInvalidArgument, "The text at byte " + std::to_string(offset) +
                                      " cannot be written in the charset \"" +
                                      std::string(charset) + "\"");
  });
}

}  // namespace mirelda::data
