#include "upload/text_decoder.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "mirelda/error.h"
#include "platform/iconv_converter.h"

namespace mirelda::upload {
namespace {

constexpr int32_t kUtf8CodePage = 65001;
constexpr char32_t kReplacement = 0xFFFD;

// The single code point that the two bytes convert to; 0 when they are no one character.
char32_t ConvertPair(platform::IconvConverter& cd, unsigned char first, unsigned char second) {
  const char pair[2] = {static_cast<char>(first), static_cast<char>(second)};
  std::string_view in(pair, sizeof pair);
  std::string out;
  cd.Reset();  // a failed pair must not leak state
  if (cd.Convert(in, out) != 0 || !in.empty() || out.size() != sizeof(char32_t)) return 0;
  char32_t code_point;
  std::memcpy(&code_point, out.data(), sizeof code_point);
  return code_point;
}

std::vector<char32_t> BuildPairTable(int32_t code_page) {
  std::string name = "CP" + std::to_string(code_page);
  platform::IconvConverter cd("UTF-32LE", name);
  if (!cd.valid()) {
    throw Error(errc::kInvalidProcedureCall,
                "The code page " + std::to_string(code_page) + " is not supported");
  }
  std::vector<char32_t> pairs(128 * 256);
  for (unsigned first = 128; first < 256; ++first) {
    for (unsigned second = 0; second < 256; ++second) {
      pairs[(first - 128) * 256 + second] =
          ConvertPair(cd, static_cast<unsigned char>(first), static_cast<unsigned char>(second));
    }
  }
  return pairs;
}

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at the start of s, or of its longest well-formed
// prefix negated (at least -1) when the sequence is broken.
int Utf8Sequence(std::string_view s) {
  auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char lead = b(0);
  if (lead < 0x80) return 1;
  int length;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return -1;
  }
  int valid = 1;
  for (int i = 1; i < length; ++i) {
    if (static_cast<size_t>(i) >= s.size()) return -valid;
    unsigned char c = b(static_cast<size_t>(i));
    bool fits = i == 1 ? (c >= low && c <= high) : IsContinuation(c);
    if (!fits) return -valid;
    ++valid;
  }
  return length;
}

std::string DecodeUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    int n = Utf8Sequence(bytes.substr(i));
    if (n > 0) {
      out.append(bytes.substr(i, static_cast<size_t>(n)));
      i += static_cast<size_t>(n);
    } else {
      AppendUtf8(kReplacement, out);
      i += static_cast<size_t>(-n);
    }
  }
  return out;
}

}  // namespace

void AppendUtf8(char32_t c, std::string& out) {
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

TextDecoder::TextDecoder(int32_t code_page, std::vector<char32_t> pairs)
    : code_page_(code_page), pairs_(std::move(pairs)) {}

const TextDecoder& TextDecoder::ForCodePage(int32_t code_page) {
  struct Cache {
    std::mutex mutex;
    std::map<int32_t, std::unique_ptr<TextDecoder>> decoders;
  };
  static Cache* cache = new Cache;  // never destroyed: pages may decode while the process exits
  std::lock_guard lock(cache->mutex);
  auto& slot = cache->decoders[code_page];
  if (!slot) {
    std::vector<char32_t> pairs;
    if (code_page != kUtf8CodePage) pairs = BuildPairTable(code_page);
    slot.reset(new TextDecoder(code_page, std::move(pairs)));
  }
  return *slot;
}

std::string TextDecoder::Decode(std::string_view bytes) const {
  if (pairs_.empty()) return DecodeUtf8(bytes);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  size_t i = 0;
  while (i < bytes.size()) {
    auto first = static_cast<unsigned char>(bytes[i]);
    if (first < 128) {
      out += static_cast<char>(first);
      ++i;
      continue;
    }
    // A first byte with nothing after it is a pair cut short: no character either.
    char32_t c = 0;
    if (i + 1 < bytes.size()) {
      c = pairs_[(first - 128u) * 256u + static_cast<unsigned char>(bytes[i + 1])];
    }
    if (c == 0) {
      out += '?';
    } else {
      AppendUtf8(c, out);
    }
    i += 2;
  }
  return out;
}

bool TextDecoder::StartsCharacter(std::string_view bytes, size_t offset) const {
  // UTF-8 never takes an ASCII byte into a sequence. In a double-byte page the run of high bytes
  // right before an ASCII byte always begins a character, so it pairs up from its start and the
  // byte is taken as a second byte exactly when the run is odd.
  if (pairs_.empty()) return true;
  size_t run = 0;
  while (run < offset && static_cast<unsigned char>(bytes[offset - run - 1]) >= 128) ++run;
  return run % 2 == 0;
}

}  // namespace mirelda::upload
