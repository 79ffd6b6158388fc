#include "upload/text_decoder.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "mirelda/error.h"
#include "platform/iconv_converter.h"
#include "platform/utf8.h"

namespace mirelda::upload {
namespace {

constexpr int32_t kUtf8CodePage = 65001;

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

// Each malformed stretch becomes one U+FFFD, cut where Unicode advises, so that the character
// after a broken one survives.
std::string DecodeUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    auto d = platform::utf8::DecodeNext(bytes, i, platform::utf8::Malformed::kMaximalPrefix);
    if (d.valid) {
      out.append(bytes.substr(i, d.size));
    } else {
      out.append(platform::utf8::kReplacementText);
    }
    i += d.size;
  }
  return out;
}

}  // namespace

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
      platform::utf8::Append(c, out);
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
