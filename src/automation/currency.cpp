// Currency: a 64-bit count of ten-thousandths, converted from Doubles through their shortest
// decimal text so that 1.23455 rounds as written rather than as its binary approximation.
#include <charconv>
#include <cmath>
#include <string>

#include "mirelda/error.h"
#include "mirelda/variant.h"

namespace mirelda {

Currency Currency::FromDouble(double value) {
  // The range of the scaled 64-bit count, with a little room that the exact check below settles.
  if (!std::isfinite(value) || std::fabs(value) >= 922337203685477.6) {
    throw Error(errc::kOverflow);
  }
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed);
  std::string_view digits(buf, static_cast<size_t>(r.ptr - buf));
  size_t point = digits.find('.');
  std::string_view whole = digits.substr(0, point);
  std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : digits.substr(point + 1);
  uint64_t scaled = 0;
  for (char c : whole) scaled = scaled * 10 + static_cast<uint64_t>(c - '0');
  for (size_t i = 0; i < 4; ++i) {
    scaled = scaled * 10 + (i < fraction.size() ? static_cast<uint64_t>(fraction[i] - '0') : 0);
  }
  if (fraction.size() > 4) {
    std::string_view rest = fraction.substr(4);
    bool above_half = rest[0] > '5' || (rest[0] == '5' && rest.find_first_not_of('0', 1) !=
                                                              std::string_view::npos);
    bool half = rest[0] == '5' && !above_half;
    if (above_half || (half && scaled % 2 != 0)) ++scaled;
  }
  uint64_t limit = value < 0 ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  if (scaled > limit) throw Error(errc::kOverflow);
  if (value < 0) return Currency{static_cast<int64_t>(0 - scaled)};
  return Currency{static_cast<int64_t>(scaled)};
}

std::string FormatCurrency(Currency value) {
  uint64_t magnitude = value.scaled < 0 ? 0 - static_cast<uint64_t>(value.scaled)
                                        : static_cast<uint64_t>(value.scaled);
  std::string text = value.scaled < 0 ? "-" : "";
  text += std::to_string(magnitude / 10000);
  uint64_t fraction = magnitude % 10000;
  if (fraction != 0) {
    std::string decimals = std::to_string(fraction);
    decimals.insert(0, 4 - decimals.size(), '0');
    decimals.erase(decimals.find_last_not_of('0') + 1);
    text += "." + decimals;
  }
  return text;
}

}  // namespace mirelda
