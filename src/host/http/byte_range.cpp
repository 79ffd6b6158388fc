#include "host/http/byte_range.h"

#include <optional>

namespace mirelda::host {
namespace {

std::optional<uint64_t> Number(std::string_view digits) {
  if (digits.empty() || digits.size() > 19) return std::nullopt;
  uint64_t n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<uint64_t>(c - '0');
  }
  return n;
}

}  // namespace

ByteRange ParseByteRange(std::string_view header, uint64_t size) {
  ByteRange whole;
  constexpr std::string_view kUnit = "bytes=";
  if (header.substr(0, kUnit.size()) != kUnit) return whole;
  std::string_view spec = header.substr(kUnit.size());
  while (!spec.empty() && spec.front() == ' ') spec.remove_prefix(1);
  while (!spec.empty() && spec.back() == ' ') spec.remove_suffix(1);
  size_t dash = spec.find('-');
  if (dash == std::string_view::npos || spec.find(',') != std::string_view::npos) return whole;
  std::string_view from = spec.substr(0, dash);
  std::string_view to = spec.substr(dash + 1);
  ByteRange range;
  range.kind = ByteRange::Kind::kPart;
  if (from.empty()) {
    std::optional<uint64_t> suffix = Number(to);
    if (!suffix) return whole;
    if (*suffix == 0 || size == 0) return {ByteRange::Kind::kUnsatisfiable};
    range.first = *suffix >= size ? 0 : size - *suffix;
    range.last = size - 1;
    return range;
  }
  std::optional<uint64_t> first = Number(from);
  std::optional<uint64_t> last = to.empty() ? std::optional<uint64_t>(UINT64_MAX) : Number(to);
  if (!first || !last || *last < *first) return whole;
  if (*first >= size) return {ByteRange::Kind::kUnsatisfiable};
  range.first = *first;
  range.last = *last >= size ? size - 1 : *last;
  return range;
}

}  // namespace mirelda::host
