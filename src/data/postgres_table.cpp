#include "data/postgres_table.h"

#include <charconv>
#include <cstdlib>

namespace mirelda::data {
namespace {

// Type oids of the built-in types (pg_type.h).
constexpr Oid kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kText = 25, kOid = 26,
              kFloat4 = 700, kFloat8 = 701, kMoney = 790, kBpchar = 1042, kVarchar = 1043,
              kDate = 1082, kTime = 1083, kTimestamp = 1114, kTimestampTz = 1184, kNumeric = 1700,
              kUuid = 2950;

struct TypeOf {
  int32_t type;
  PostgresTable::Kind kind;
};

TypeOf Describe(Oid oid) {
  using K = PostgresTable::Kind;
  switch (oid) {
    case kBool:
      return {field_type::kBoolean, K::kBoolean};
    case kBytea:
      return {field_type::kLongVarBinary, K::kBytes};
    case kInt8:
      return {field_type::kBigInt, K::kInteger};
    case kInt2:
      return {field_type::kSmallInt, K::kInteger};
    case kInt4:
    case kOid:
      return {field_type::kInteger, K::kInteger};
    case kFloat4:
      return {field_type::kSingle, K::kReal};
    case kFloat8:
      return {field_type::kDouble, K::kReal};
    case kNumeric:
      return {field_type::kNumeric, K::kReal};
    case kMoney:
      return {field_type::kCurrency, K::kText};
    case kDate:
    case kTime:
    case kTimestamp:
    case kTimestampTz:
      return {field_type::kDate, K::kDate};
    case kText:
      return {field_type::kLongVarWChar, K::kText};
    case kUuid:
      return {field_type::kGuid, K::kText};
    case kBpchar:
    case kVarchar:
    default:
      return {field_type::kVarWChar, K::kText};
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// bytea in the server's hex output form, "\x" and two digits per byte.
Variant Bytes(std::string_view text) {
  if (!text.starts_with("\\x") || text.size() % 2 != 0) return Variant(ByteArray(text));
  std::vector<uint8_t> bytes;
  bytes.reserve(text.size() / 2 - 1);
  for (size_t i = 2; i < text.size(); i += 2) {
    int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return Variant(ByteArray(text));
    bytes.push_back(static_cast<uint8_t>(high << 4 | low));
  }
  return Variant(ByteArray(std::move(bytes)));
}

}  // namespace

PostgresTable::PostgresTable(PgResult result, std::vector<ColumnInfo> columns)
    : result_(std::move(result)), rows_(static_cast<size_t>(PQntuples(result_.get()))) {
  columns_ = std::move(columns);
  kinds_.reserve(columns_.size());
  for (size_t c = 0; c < columns_.size(); ++c) {
    TypeOf t = Describe(PQftype(result_.get(), static_cast<int>(c)));
    columns_[c].type = t.type;
    // A varchar(n) or char(n) column's modifier is n plus the four bytes of the length word.
    int modifier = PQfmod(result_.get(), static_cast<int>(c));
    if (t.type == field_type::kVarWChar && modifier > 4) columns_[c].defined_size = modifier - 4;
    kinds_.push_back(t.kind);
  }
}

Variant PostgresTable::Value(size_t row, size_t column) const {
  const int r = static_cast<int>(row), c = static_cast<int>(column);
  if (PQgetisnull(result_.get(), r, c)) return Variant::Null();
  std::string_view text(PQgetvalue(result_.get(), r, c),
                        static_cast<size_t>(PQgetlength(result_.get(), r, c)));
  switch (kinds_[column]) {
    case Kind::kInteger: {
      int64_t value = 0;
      auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (ec == std::errc() && end == text.data() + text.size()) return Variant::FromInt64(value);
      return Variant(text);
    }
    case Kind::kReal: {
      double value = 0;
      auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (ec == std::errc() && end == text.data() + text.size()) return Variant(value);
      return Variant(text);
    }
    case Kind::kBoolean:
      return Variant(text == "t");
    case Kind::kDate: {
      Date date;
      if (ParseStoredDate(text, &date)) return Variant(date);
      return Variant(text);
    }
    case Kind::kBytes:
      return Bytes(text);
    case Kind::kText:
      break;
  }
  return Variant(text);
}

}  // namespace mirelda::data
