#include "host/state/session_codec.h"

#include "mirelda/error.h"
#include "mirelda/variant_codec.h"

namespace mirelda::host {
namespace {

void PutPart(std::string& out, std::string_view part) {
  uint64_t n = part.size();
  while (n >= 0x80) {
    out.push_back(static_cast<char>((n & 0x7F) | 0x80));
    n >>= 7;
  }
  out.push_back(static_cast<char>(n));
  out.append(part);
}

std::string_view TakePart(std::string_view& in) {
  uint64_t n = 0;
  for (int shift = 0;; shift += 7) {
    if (in.empty() || shift > 56) {
      throw Error(errc::kTypeMismatch, "The stored session values cannot be read");
    }
    auto byte = static_cast<unsigned char>(in.front());
    in.remove_prefix(1);
    n |= static_cast<uint64_t>(byte & 0x7F) << shift;
    if (!(byte & 0x80)) break;
  }
  if (n > in.size()) throw Error(errc::kTypeMismatch, "The stored session values are cut short");
  std::string_view part = in.substr(0, static_cast<size_t>(n));
  in.remove_prefix(static_cast<size_t>(n));
  return part;
}

}  // namespace

std::string EncodeSessionValues(const SessionValues& values) {
  std::string out;
  for (const auto& [name, value] : values) {
    PutPart(out, name);
    PutPart(out, EncodeVariant(value));
  }
  return out;
}

SessionValues DecodeSessionValues(std::string_view bytes) {
  SessionValues values;
  while (!bytes.empty()) {
    std::string name(TakePart(bytes));
    values[name] = DecodeVariant(TakePart(bytes));
  }
  return values;
}

}  // namespace mirelda::host
