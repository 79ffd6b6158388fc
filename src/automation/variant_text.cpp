// The text forms of numbers and the names of the variant's types, as the page language shows them.
#include <cmath>
#include <cstdio>

#include "mirelda/dispatch.h"
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
  std::string out;
  out.reserve(b.size());
  auto put = [&out](uint32_t c) {
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
  };
  auto unit = [&b](size_t i) -> uint32_t {
    uint32_t low = static_cast<uint8_t>(b[i]);
    return i + 1 < b.size() ? low | (uint32_t{static_cast<uint8_t>(b[i + 1])} << 8) : low;
  };
  for (size_t i = 0; i < b.size(); i += 2) {
    uint32_t u = unit(i);
    if (u >= 0xD800 && u < 0xDC00 && i + 3 < b.size()) {
      uint32_t next = unit(i + 2);
      if (next >= 0xDC00 && next < 0xE000) {
        put(0x10000 + ((u - 0xD800) << 10) + (next - 0xDC00));
        i += 2;
        continue;
      }
    }
    // Half of a pair on its own has no character.
    put(u >= 0xD800 && u < 0xE000 ? 0xFFFD : u);
  }
  return out;
}

}  // namespace mirelda
