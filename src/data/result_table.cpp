#include "data/result_table.h"

#include <string>

namespace mirelda::data {

bool ParseStoredDate(std::string_view text, Date* out) {
  // Fractions of a second and a zone offset follow the seconds; the page language's dates carry
  // neither, so the fraction is added to the serial and the zone dropped.
  double fraction = 0;
  size_t colon = text.rfind(':');
  if (colon != std::string_view::npos && colon + 3 <= text.size()) {
    size_t rest = colon + 3;
    std::string_view tail = text.substr(rest);
    size_t zone = tail.find_first_of("+-");
    if (zone != std::string_view::npos) tail = tail.substr(0, zone);
    if (!tail.empty() && tail[0] == '.') {
      double scale = 0.1;
      for (size_t i = 1; i < tail.size(); ++i) {
        if (tail[i] < '0' || tail[i] > '9') return false;
        fraction += (tail[i] - '0') * scale;
        scale /= 10;
      }
    } else if (!tail.empty()) {
      return ParseDate(text, out);
    }
    text = text.substr(0, rest);
  }
  if (!ParseDate(text, out)) return false;
  out->serial += (out->serial < 0 ? -fraction : fraction) / 86400.0;
  return true;
}

}  // namespace mirelda::data
