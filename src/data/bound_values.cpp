#include "data/bound_values.h"

#include <cinttypes>
#include <cstdio>

#include "data/data_errors.h"
#include "mirelda/error.h"

namespace mirelda::data {

void ToBoundValue(const Variant& value, size_t position, BoundValue& out) {
  using Kind = BoundValue::Kind;
  switch (value.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
    case VarType::kMissing:
      out.kind = Kind::kNull;
      return;
    case VarType::kBoolean:
      out.kind = Kind::kInteger;
      out.integer = value.ToBool() ? 1 : 0;
      return;
    case VarType::kByte:
    case VarType::kInteger:
    case VarType::kLong:
      out.kind = Kind::kInteger;
      out.integer = value.ToLong();
      return;
    case VarType::kSingle:
    case VarType::kDouble:
      out.kind = Kind::kReal;
      out.real = value.ToDouble();
      return;
    case VarType::kCurrency: {
      // The scaled integer written out with its four places, so that no binary fraction creeps in.
      int64_t scaled = value.ToCurrency().scaled;
      uint64_t magnitude = scaled < 0 ? 0 - static_cast<uint64_t>(scaled) : scaled;
      char text[32];
      std::snprintf(text, sizeof text, "%s%" PRIu64 ".%04" PRIu64, scaled < 0 ? "-" : "",
                    magnitude / 10000, magnitude % 10000);
      out.kind = Kind::kDecimal;
      out.owned = text;
      out.bytes = out.owned;
      out.real = value.ToDouble();
      return;
    }
    case VarType::kDate:
      out.kind = Kind::kText;
      out.owned = FormatDateTime(value.ToDate());
      out.bytes = out.owned;
      return;
    case VarType::kString:
      out.kind = Kind::kText;
      out.owned = value.ToString();
      out.bytes = out.owned;
      return;
    case VarType::kBytes:
      out.kind = Kind::kBytes;
      out.bytes = value.AsBytes().view();
      return;
    case VarType::kArray:
    case VarType::kObject:
    case VarType::kError:
      break;
  }
  throw Error(errc::kTypeMismatch,
              "Parameter " + std::to_string(position) + " holds a value that cannot be bound.");
}

void CheckParameterCount(size_t placeholders, size_t values) {
  if (placeholders > values) {
    throw Error(data_errc::kParameterMissing,
                "No value given for one or more required parameters: the statement has " +
                    std::to_string(placeholders) + " placeholders and " + std::to_string(values) +
                    " values were given.");
  }
  if (placeholders < values) {
    throw Error(data_errc::kBadArguments, "The statement has " + std::to_string(placeholders) +
                                              " placeholders but " + std::to_string(values) +
                                              " parameter values were given.");
  }
}

}  // namespace mirelda::data
