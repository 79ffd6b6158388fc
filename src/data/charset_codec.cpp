#include "data/charset_codec.h"

#include <cerrno>
#include <vector>

#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::data {
namespace {

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

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

void Reset(iconv_t cd) { ::iconv(cd, nullptr, nullptr, nullptr, nullptr); }

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

void AppendUtf8(char32_t c, std::string& out) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

size_t Utf8Length(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

CharsetCodec::CharsetCodec(const std::string& iconv_name)
    : to_bytes_(::iconv_open(iconv_name.c_str(), "UTF-8")),
      from_bytes_(::iconv_open("UTF-32LE", iconv_name.c_str())) {
  if (to_bytes_ == kNoDescriptor || from_bytes_ == kNoDescriptor) {
    if (to_bytes_ != kNoDescriptor) ::iconv_close(to_bytes_);
    if (from_bytes_ != kNoDescriptor) ::iconv_close(from_bytes_);
    throw Error(errc::kInvalidProcedureCall,
                "The character set " + iconv_name + " is not known to this system");
  }
}

CharsetCodec::~CharsetCodec() {
  ::iconv_close(to_bytes_);
  ::iconv_close(from_bytes_);
}

std::string CharsetCodec::Encode(std::string_view utf8, Unmappable unmappable) {
  Reset(to_bytes_);
  std::string out;
  char buffer[4096];
  while (true) {
    char* src = const_cast<char*>(utf8.data());
    size_t src_left = utf8.size();
    char* dst = buffer;
    size_t dst_left = sizeof buffer;
    size_t r = ::iconv(to_bytes_, src_left ? &src : nullptr, &src_left, &dst, &dst_left);
    int err = r == static_cast<size_t>(-1) ? errno : 0;
    out.append(buffer, static_cast<size_t>(dst - buffer));
    utf8.remove_prefix(utf8.size() - src_left);
    if (err == E2BIG) continue;
    if (err == 0) {
      if (utf8.empty()) return out;
      continue;
    }
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
    Reset(to_bytes_);
  }
}

size_t CharsetCodec::Decode(std::string_view bytes, size_t max_chars, std::string& out) {
  Reset(from_bytes_);
  size_t used = 0;
  size_t chars = 0;
  std::vector<char> buffer;
  while (chars < max_chars && used < bytes.size()) {
    size_t want = std::min<size_t>(max_chars - chars, 1024);
    buffer.resize(want * 4);
    char* src = const_cast<char*>(bytes.data() + used);
    size_t src_left = bytes.size() - used;
    char* dst = buffer.data();
    size_t dst_left = buffer.size();
    size_t r = ::iconv(from_bytes_, &src, &src_left, &dst, &dst_left);
    int err = r == static_cast<size_t>(-1) ? errno : 0;
    size_t produced = (buffer.size() - dst_left) / 4;
    for (size_t i = 0; i < produced; ++i) {
      const auto* u = reinterpret_cast<const unsigned char*>(buffer.data() + i * 4);
      AppendUtf8(static_cast<char32_t>(u[0] | (u[1] << 8) | (u[2] << 16) |
                                       (static_cast<uint32_t>(u[3]) << 24)),
                 out);
    }
    chars += produced;
    used = bytes.size() - src_left;
    if (err == EILSEQ || err == EINVAL) {
      if (chars >= max_chars) break;
      AppendUtf8(0xFFFD, out);
      ++chars;
      ++used;
      Reset(from_bytes_);
    }
  }
  return used;
}

}  // namespace mirelda::data
