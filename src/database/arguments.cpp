#include "database/arguments.h"

#include <limits>

#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::database {
namespace {

bool IsSeparator(std::string_view c) { return c == "\\" || c == "/"; }

}  // namespace

std::string NormaliseFolder(const std::string& folder) {
  if (IsSeparator(text::Last(folder))) return folder;
  return text::Trim(folder) + "\\";
}

std::string NormaliseFileName(const std::string& name) {
  if (!IsSeparator(text::First(name))) return name;
  return text::Trim(text::AfterFirst(name));
}

std::string JoinArray(const VariantArray& array) {
  constexpr int32_t kMin = std::numeric_limits<int16_t>::min();
  constexpr int32_t kMax = std::numeric_limits<int16_t>::max();
  int32_t lower = array.lower_bound(), upper = array.upper_bound();
  if (lower < kMin || lower > kMax || upper < kMin || upper > kMax) throw Error(errc::kOverflow);
  std::string joined;
  for (int32_t i = lower; i <= upper; ++i) {
    const Variant& element = array.at(i);
    if (joined.empty()) {
      joined = element.ToString();
    } else {
      joined += "," + element.ToText();
    }
    if (i == kMax) throw Error(errc::kOverflow);
  }
  return joined;
}

bool IsNumber(const Variant& value, double number) {
  if (value.is_empty()) return number == 0;
  if (!value.is_numeric() && !value.is_string()) return false;
  try {
    return value.ToDouble() == number;
  } catch (const Error&) {
    return false;  // text that is no number
  }
}

}  // namespace mirelda::database
