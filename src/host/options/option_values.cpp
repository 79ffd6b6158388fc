#include "host/options/option_values.h"

#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::host {

void RefuseValue(const OptionValue& v, const std::string& what) {
  throw Error(errc::kInvalidProcedureCall, "--" + v.name + " " + what);
}

uint64_t ParseUnsigned(const OptionValue& v, uint64_t max) {
  const std::string& value = v.text;
  if (value.empty() || value.size() > 19) RefuseValue(v, "takes a number, not \"" + value + "\"");
  uint64_t n = 0;
  for (char c : value) {
    if (c < '0' || c > '9') RefuseValue(v, "takes a number, not \"" + value + "\"");
    n = n * 10 + static_cast<uint64_t>(c - '0');
  }
  if (n > max) RefuseValue(v, "is at most " + std::to_string(max));
  return n;
}

uint64_t ParseBytes(const OptionValue& v) {
  uint64_t unit = 1;
  OptionValue number = v;
  if (!number.text.empty()) {
    switch (number.text.back()) {
      case 'k':
      case 'K':
        unit = uint64_t{1} << 10;
        break;
      case 'm':
      case 'M':
        unit = uint64_t{1} << 20;
        break;
      case 'g':
      case 'G':
        unit = uint64_t{1} << 30;
        break;
      default:
        break;
    }
    if (unit != 1) number.text.pop_back();
  }
  return ParseUnsigned(number, (uint64_t{1} << 40) / unit) * unit;
}

std::chrono::seconds ParseMinutes(const OptionValue& v) {
  OptionValue number = v;
  bool seconds = !number.text.empty() && (number.text.back() == 's' || number.text.back() == 'S');
  if (seconds) number.text.pop_back();
  uint64_t n = ParseUnsigned(number, seconds ? 31536000 : 525600);
  if (n == 0) RefuseValue(v, "must be more than 0");
  return std::chrono::seconds(seconds ? n : n * 60);
}

std::chrono::seconds ParseSeconds(const OptionValue& v, bool suffix_allowed) {
  OptionValue number = v;
  if (suffix_allowed && !number.text.empty() &&
      (number.text.back() == 's' || number.text.back() == 'S')) {
    number.text.pop_back();
  }
  uint64_t n = ParseUnsigned(number, 86400);
  if (n == 0) RefuseValue(v, "must be more than 0");
  return std::chrono::seconds(n);
}

bool ParseSwitch(const OptionValue& v) {
  for (const char* yes : {"yes", "true", "on", "1"}) {
    if (text::EqualsIgnoreCase(v.text, yes)) return true;
  }
  for (const char* no : {"no", "false", "off", "0"}) {
    if (text::EqualsIgnoreCase(v.text, no)) return false;
  }
  RefuseValue(v, "takes yes or no, not \"" + v.text + "\"");
}

bool ParseOnOff(const OptionValue& v) {
  if (v.text != "on" && v.text != "off") RefuseValue(v, "takes on or off, not \"" + v.text + "\"");
  return v.text == "on";
}

std::filesystem::path ParsePath(const OptionValue& v, const std::string& what) {
  if (v.text.empty()) RefuseValue(v, "needs " + what);
  std::filesystem::path path = v.text;
  return path.is_absolute() || v.base.empty() ? path : v.base / path;
}

void RefuseControlCharacters(const OptionValue& v, const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) RefuseValue(v, "has a control character in its value");
  }
}

std::string FormatBytes(uint64_t bytes) {
  for (auto [shift, suffix] : {std::pair{30, "G"}, std::pair{20, "M"}, std::pair{10, "k"}}) {
    uint64_t unit = uint64_t{1} << shift;
    if (bytes != 0 && bytes % unit == 0) return std::to_string(bytes / unit) + suffix;
  }
  return std::to_string(bytes);
}

}  // namespace mirelda::host
