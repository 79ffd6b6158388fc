#include "webpage/markup.h"

#include <cmath>

#include "mirelda/error.h"
#include "mirelda/text.h"
#include "platform/percent_encoding.h"

namespace mirelda::webpage {

std::string QuotedText(const Variant& value) {
  std::string out;
  for (char c : value.ToText()) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

std::string BareNumber(const Variant& value) {
  auto mismatch = [&] {
    return Error(errc::kTypeMismatch, "Type mismatch: '" +
                                          (value.is_string() ? value.ToString() : std::string()) +
                                          "' is not a number and cannot stand bare in a statement");
  };
  switch (value.type()) {
    case VarType::kByte:
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kCurrency:
      return value.ToString();
    case VarType::kSingle:
    case VarType::kDouble:
      if (!std::isfinite(value.ToDouble())) throw mismatch();
      return value.ToString();
    case VarType::kString: {
      std::string t = text::Trim(value.ToString());
      // Plain decimal text only: no hex forms, blanks inside or exponents that SQL reads otherwise.
      size_t i = (!t.empty() && (t[0] == '-' || t[0] == '+')) ? 1 : 0;
      bool digits = false, point = false;
      for (; i < t.size(); ++i) {
        if (t[i] >= '0' && t[i] <= '9') {
          digits = true;
        } else if (t[i] == '.' && !point) {
          point = true;
        } else {
          throw mismatch();
        }
      }
      if (!digits) throw mismatch();
      return t[0] == '+' ? t.substr(1) : t;
    }
    default:
      throw mismatch();
  }
}

namespace {

bool KeepsInQueryValue(unsigned char c) {
  return !(c < 0x20 || c == 0x7F || c == ' ' || c == '&' || c == '#' || c == '+' || c == '%' ||
           c == '=' || c == '?' || c == '"' || c == '\'' || c == '<' || c == '>');
}

}  // namespace

std::string EscapeQueryValue(const std::string& text) {
  return platform::PercentEncode(text, KeepsInQueryValue);
}

}  // namespace mirelda::webpage
