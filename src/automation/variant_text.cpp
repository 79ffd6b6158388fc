// The text forms of numbers and the names of the variant's types, as the page language shows them.
#include <cmath>
#include <cstdio>

#include "mirelda/dispatch.h"
#include "mirelda/text.h"
#include "mirelda/variant.h"
#include "mirelda/variant_ops.h"

namespace mirelda {
namespace {

// Shortest %G text of at most digits significant digits.
std::string FormatFloating(double v, int digits) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
  if (v == 0) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*G", digits, v);
  return buf;
}

}  // namespace

std::string FormatDouble(double v) { return FormatFloating(v, 15); }

std::string FormatSingle(float v) { return FormatFloating(static_cast<double>(v), 7); }

int32_t VarTypeNumber(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty:
      return 0;
    case VarType::kNull:
      return 1;
    case VarType::kInteger:
      return 2;
    case VarType::kLong:
      return 3;
    case VarType::kSingle:
      return 4;
    case VarType::kDouble:
      return 5;
    case VarType::kCurrency:
      return 6;
    case VarType::kDate:
      return 7;
    case VarType::kString:
      return 8;
    case VarType::kObject:
      return 9;
    case VarType::kMissing:
    case VarType::kError:
      return 10;
    case VarType::kBoolean:
      return 11;
    case VarType::kByte:
      return 17;
    case VarType::kArray:
      return 8192 + 12;
    case VarType::kBytes:
      return 8192 + 17;
  }
  return 0;
}

std::string TypeName(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty:
      return "Empty";
    case VarType::kNull:
      return "Null";
    case VarType::kInteger:
      return "Integer";
    case VarType::kLong:
      return "Long";
    case VarType::kSingle:
      return "Single";
    case VarType::kDouble:
      return "Double";
    case VarType::kCurrency:
      return "Currency";
    case VarType::kDate:
      return "Date";
    case VarType::kString:
      return "String";
    case VarType::kBoolean:
      return "Boolean";
    case VarType::kByte:
      return "Byte";
    case VarType::kMissing:
    case VarType::kError:
      return "Error";
    case VarType::kArray:
      return "Variant()";
    case VarType::kBytes:
      return "Byte()";
    case VarType::kObject: {
      auto object = value.ToObject();
      return object ? object->ClassName() : "Nothing";
    }
  }
  return "Unknown";
}

std::string ByteText(const ByteArray& bytes) {
  std::string_view b = bytes.view();
  std::vector<uint16_t> units;
  units.reserve((b.size() + 1) / 2);
  for (size_t i = 0; i < b.size(); i += 2) {
    auto low = static_cast<uint16_t>(static_cast<uint8_t>(b[i]));
    auto high = static_cast<uint16_t>(i + 1 < b.size() ? static_cast<uint8_t>(b[i + 1]) : 0);
    units.push_back(static_cast<uint16_t>(low | high << 8));
  }
  return text::FromUtf16(units);
}

}  // namespace mirelda
