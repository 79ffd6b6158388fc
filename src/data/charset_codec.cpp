#include "data/charset_codec.h"

#include <algorithm>
#include <cerrno>

#include "mirelda/error.h"
#include "mirelda/text.h"
#include "platform/utf8.h"

namespace mirelda::data {
namespace {

struct CharsetName {
  std::string_view name;
  std::string_view iconv;
};

// The names pages give streams, with what iconv calls them. "gb2312" pages hold GBK text in
// practice, so it decodes as the wider set.
constexpr CharsetName kCharsets[] = {
    {"unicode", "UTF-16LE"},
    {"utf-16", "UTF-16LE"},
    {"unicodefffe", "UTF-16BE"},
    {"utf-8", "UTF-8"},
    {"utf8", "UTF-8"},
    {"gb2312", "GBK"},
    {"gbk", "GBK"},
    {"gb18030", "GB18030"},
    {"big5", "BIG5"},
    {"shift_jis", "SHIFT_JIS"},
    {"euc-kr", "EUC-KR"},
    {"iso-8859-1", "ISO-8859-1"},
    {"us-ascii", "ASCII"},
    {"ascii", "ASCII"},
    {"windows-1252", "CP1252"},
    {"windows-1251", "CP1251"},
    {"windows-1250", "CP1250"},
    {"koi8-r", "KOI8-R"},
    {"iso-8859-2", "ISO-8859-2"},
    {"iso-8859-15", "ISO-8859-15"},
};

}  // namespace

std::optional<std::string> CharsetIconvName(std::string_view charset) {
  for (const CharsetName& c : kCharsets) {
    if (text::EqualsIgnoreCase(c.name, charset)) return std::string(c.iconv);
  }
  return std::nullopt;
}

std::string CodePageIconvName(int32_t code_page) {
  if (code_page == 65001) return "UTF-8";
  if (code_page == 936) return "GBK";
  if (code_page == 1200) return "UTF-16LE";
  return "CP" + std::to_string(code_page);
}

size_t Utf8Length(unsigned char lead) { return platform::utf8::LeadSize(lead); }

CharsetCodec::CharsetCodec(const std::string& iconv_name)
    : to_bytes_(iconv_name, "UTF-8"), from_bytes_("UTF-32LE", iconv_name) {
  if (!to_bytes_.valid() || !from_bytes_.valid()) {
    throw Error(errc::kInvalidProcedureCall,
                "The character set " + iconv_name + " is not known to this system");
  }
}

std::string CharsetCodec::Encode(std::string_view utf8, Unmappable unmappable) {
  to_bytes_.Reset();
  std::string out;
  while (to_bytes_.Convert(utf8, out) != 0) {
    // The character at the front has no place in the charset (or is no character at all).
    size_t length = std::min(Utf8Length(static_cast<unsigned char>(utf8.front())), utf8.size());
    if (unmappable == Unmappable::kRefuse) {
      throw Error(errc::kInvalidProcedureCall,
                  "Invalid procedure call or argument: the character '" +
                      std::string(utf8.substr(0, length)) +
                      "' has no place in the file's code page");
    }
    out += '?';
    utf8.remove_prefix(length);
    to_bytes_.Reset();
  }
  return out;
}

size_t CharsetCodec::Decode(std::string_view bytes, size_t max_chars, std::string& out) {
  from_bytes_.Reset();
  std::string_view rest = bytes;
  size_t chars = 0;
  std::string units;
  auto emit = [&] {
    for (size_t i = 0; i + 4 <= units.size(); i += 4) {
      const auto* u = reinterpret_cast<const unsigned char*>(units.data() + i);
      platform::utf8::Append(static_cast<char32_t>(u[0] | (u[1] << 8) | (u[2] << 16) |
                                       (static_cast<uint32_t>(u[3]) << 24)),
                 out);
      ++chars;
    }
    units.clear();
  };
  while (chars < max_chars && !rest.empty()) {
    size_t want = std::min<size_t>(max_chars - chars, 1024);
    int err = from_bytes_.Convert(rest, units, want * 4);
    emit();
    if (err == EILSEQ || err == EINVAL) {
      if (chars >= max_chars) break;
      // A stateful charset may still hold the character before the bad byte.
      from_bytes_.Finish(units);
      emit();
      platform::utf8::Append(platform::utf8::kReplacement, out);
      ++chars;
      rest.remove_prefix(1);
      from_bytes_.Reset();
    }
  }
  if (rest.empty()) {
    // CP1258 and the other stateful pages hold each letter back in case a combining mark
    // follows: the last one comes out only when the converter is told the bytes ended.
    from_bytes_.Finish(units);
    if (!units.empty()) {
      // Without room for it, the held character (one byte in those pages) stays unread.
      if (chars >= max_chars) return bytes.size() - 1;
      emit();
    }
  }
  return bytes.size() - rest.size();
}

}  // namespace mirelda::data
