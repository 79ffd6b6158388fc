#include "data/result_table.h"

#include <bit>
#include <limits>
#include <string>

#include "mirelda/error.h"

namespace mirelda::data {

void CellTable::AddReal(double value) {
  cells_.push_back({std::bit_cast<uint64_t>(value), 0, Kind::kReal});
}

void CellTable::AddSpan(std::string_view bytes, Kind kind) {
  if (bytes.size() > std::numeric_limits<uint32_t>::max()) {
    throw Error(errc::kUnspecified, "A value of more than 4 GB cannot be read into a record set");
  }
  cells_.push_back({buffer_.size(), static_cast<uint32_t>(bytes.size()), kind});
  buffer_.append(bytes);
}

Variant CellTable::Value(size_t row, size_t column) const {
  const Cell& cell = cells_[row * columns_.size() + column];
  switch (cell.kind) {
    case Kind::kNull:
      return Variant::Null();
    case Kind::kInteger:
      return Variant::FromInt64(static_cast<int64_t>(cell.bits));
    case Kind::kBoolean:
      return Variant(cell.bits != 0);
    case Kind::kReal:
      return Variant(std::bit_cast<double>(cell.bits));
    case Kind::kBytes:
      return Variant(ByteArray(std::string_view(buffer_).substr(cell.bits, cell.size)));
    case Kind::kDateText:
    case Kind::kText:
      break;
  }
  std::string_view text = std::string_view(buffer_).substr(cell.bits, cell.size);
  if (cell.kind == Kind::kDateText) {
    Date date;
    if (ParseStoredDate(text, &date)) return Variant(date);
  }
  return Variant(text);
}

int32_t DefaultDefinedSize(int32_t type) {
  switch (type) {
    case field_type::kUnsignedTinyInt:
      return 1;
    case field_type::kSmallInt:
    case field_type::kBoolean:
      return 2;
    case field_type::kInteger:
    case field_type::kSingle:
      return 4;
    case field_type::kDouble:
    case field_type::kCurrency:
    case field_type::kDate:
    case field_type::kBigInt:
      return 8;
    case field_type::kGuid:
      return 16;
    case field_type::kNumeric:
      return 19;
    case field_type::kVarWChar:
      return 255;
    default:
      return 536870910;  // the long text and binary limit of the replaced provider
  }
}

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
