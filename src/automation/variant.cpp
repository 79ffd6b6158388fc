// Conversions of the page language between the variant's types.
#include "mirelda/variant.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "mirelda/dispatch.h"
#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda {
namespace {

[[noreturn]] void TypeMismatch() { throw Error(errc::kTypeMismatch); }
[[noreturn]] void Overflow() { throw Error(errc::kOverflow); }
[[noreturn]] void InvalidUseOfNull() { throw Error(errc::kInvalidUseOfNull); }

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Numeric text as the page language reads it: blanks around, an optional sign, decimal digits with
// an optional fraction and exponent, or &H (hex) and &O (octal) integers.
bool ParseNumber(std::string_view s, double* out) {
  size_t b = 0, e = s.size();
  while (b < e && IsSpace(s[b])) ++b;
  while (e > b && IsSpace(s[e - 1])) --e;
  s = s.substr(b, e - b);
  if (s.empty()) return false;
  if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
    int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
    uint32_t v = 0;
    auto r = std::from_chars(s.data() + 2, s.data() + s.size(), v, base);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
    // &H literals up to 16 bits are Integers, longer ones Longs: both wrap to negative.
    *out = s.size() - 2 <= (base == 16 ? 4u : 6u) && v <= 0xFFFF
               ? static_cast<double>(static_cast<int16_t>(v))
               : static_cast<double>(static_cast<int32_t>(v));
    return true;
  }
  bool negative = false;
  if (s[0] == '+' || s[0] == '-') {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  if (s.empty() || !(std::isdigit(static_cast<unsigned char>(s[0])) || s[0] == '.')) return false;
  double v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
  *out = negative ? -v : v;
  return true;
}

double RoundHalfEven(double v) {
  double r = std::nearbyint(v);  // the default rounding mode rounds halves to even
  return r;
}

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

Variant DefaultValueOf(const std::shared_ptr<Dispatch>& object) {
  if (!object) throw Error(errc::kObjectVariableNotSet);
  return object->Invoke("", MemberKind::kGet);
}

}  // namespace

ByteArray::ByteArray(std::vector<uint8_t> bytes) : size_(bytes.size()) {
  auto storage = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
  bytes_ = storage->data();
  owner_ = std::move(storage);
}

ByteArray::ByteArray(std::string_view bytes)
    : ByteArray(std::vector<uint8_t>(bytes.begin(), bytes.end())) {}

ByteArray::ByteArray(std::shared_ptr<const std::vector<uint8_t>> storage, size_t offset,
                     size_t size)
    : size_(size) {
  if (!storage || offset > storage->size() || size > storage->size() - offset) {
    throw Error(errc::kSubscriptOutOfRange, "Byte range outside its storage");
  }
  bytes_ = storage->data() + offset;
  owner_ = std::move(storage);
}

ByteArray::ByteArray(std::shared_ptr<const void> owner, const uint8_t* data, size_t size)
    : owner_(std::move(owner)), bytes_(data), size_(size) {
  if (size_ && (!owner_ || !bytes_)) {
    throw Error(errc::kSubscriptOutOfRange, "Byte range outside its storage");
  }
}

const uint8_t* ByteArray::data() const { return size_ ? bytes_ : nullptr; }

std::string_view ByteArray::view() const {
  return size_ ? std::string_view(reinterpret_cast<const char*>(data()), size_)
               : std::string_view();
}

std::vector<uint8_t> ByteArray::ToVector() const {
  const uint8_t* d = data();
  return d ? std::vector<uint8_t>(d, d + size_) : std::vector<uint8_t>();
}

ByteArray ByteArray::Slice(size_t offset, size_t size) const {
  if (offset > size_ || size > size_ - offset) {
    throw Error(errc::kSubscriptOutOfRange, "Byte range outside its storage");
  }
  if (size == 0) return ByteArray();
  return ByteArray(owner_, bytes_ + offset, size);
}

Variant Variant::Null() { return Variant(Storage(NullTag{})); }
Variant Variant::Missing() { return Variant(Storage(MissingTag{})); }

Variant Variant::FromInt64(int64_t value) {
  if (value >= std::numeric_limits<int32_t>::min() &&
      value <= std::numeric_limits<int32_t>::max()) {
    return Variant(static_cast<int32_t>(value));
  }
  return Variant(static_cast<double>(value));
}

bool Variant::is_numeric() const {
  switch (type()) {
    case VarType::kBoolean:
    case VarType::kByte:
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kCurrency:
    case VarType::kDate:
      return true;
    default:
      return false;
  }
}

std::string Variant::ToString() const {
  return std::visit(
      Overloaded{
          [](std::monostate) -> std::string { return ""; },
          [](NullTag) -> std::string { InvalidUseOfNull(); },
          [](MissingTag) -> std::string { TypeMismatch(); },
          [](bool b) -> std::string { return b ? "True" : "False"; },
          [](uint8_t i) { return std::to_string(i); },
          [](int16_t i) { return std::to_string(i); },
          [](int32_t i) { return std::to_string(i); },
          [](float f) { return FormatSingle(f); },
          [](double d) { return FormatDouble(d); },
          [](Currency c) { return FormatCurrency(c); },
          [](Date d) { return FormatDate(d); },
          [](const std::string& s) { return s; },
          [](const VariantArray&) -> std::string { TypeMismatch(); },
          [](const ByteArray&) -> std::string { TypeMismatch(); },
          [](const std::shared_ptr<Dispatch>& o) { return DefaultValueOf(o).ToString(); },
          [](ErrorValue) -> std::string { TypeMismatch(); },
      },
      value_);
}

std::string Variant::ToText() const {
  if (is_null() || is_empty()) return "";
  return ToString();
}

VariantArray* Variant::MutableArray() {
  auto* array = std::get_if<VariantArray>(&value_);
  if (array) array->Own();
  return array;
}

std::string* Variant::MutableText() { return std::get_if<std::string>(&value_); }

double Variant::ToDouble() const {
  return std::visit(
      Overloaded{
          [](std::monostate) { return 0.0; },
          [](NullTag) -> double { InvalidUseOfNull(); },
          [](MissingTag) -> double { TypeMismatch(); },
          [](bool b) { return b ? -1.0 : 0.0; },
          [](uint8_t i) { return static_cast<double>(i); },
          [](int16_t i) { return static_cast<double>(i); },
          [](int32_t i) { return static_cast<double>(i); },
          [](float f) { return static_cast<double>(f); },
          [](double d) { return d; },
          [](Currency c) { return c.ToDouble(); },
          [](Date d) { return d.serial; },
          [](const std::string& s) {
            double v = 0;
            if (ParseNumber(s, &v)) return v;
            Date d;
            if (ParseDate(s, &d)) return d.serial;
            TypeMismatch();
          },
          [](const VariantArray&) -> double { TypeMismatch(); },
          [](const ByteArray&) -> double { TypeMismatch(); },
          [](const std::shared_ptr<Dispatch>& o) { return DefaultValueOf(o).ToDouble(); },
          [](ErrorValue) -> double { TypeMismatch(); },
      },
      value_);
}

namespace {

// The whole number nearest a Currency, halves to even, computed exactly.
int64_t RoundCurrency(Currency c) {
  int64_t q = c.scaled / 10000, r = c.scaled % 10000;
  int64_t twice = 2 * (r < 0 ? -r : r);
  if (twice > 10000 || (twice == 10000 && q % 2 != 0)) q += r < 0 ? -1 : 1;
  return q;
}

// The value rounded half to even as a whole number in [low, high], else Overflow.
int64_t RoundedInRange(const Variant& v, int64_t low, int64_t high) {
  if (v.type() == VarType::kCurrency) {
    int64_t r = RoundCurrency(v.ToCurrency());
    if (r < low || r > high) Overflow();
    return r;
  }
  double r = RoundHalfEven(v.ToDouble());
  if (!(r >= static_cast<double>(low) && r <= static_cast<double>(high))) Overflow();
  return static_cast<int64_t>(r);
}

}  // namespace

uint8_t Variant::ToByte() const {
  if (auto* i = std::get_if<uint8_t>(&value_)) return *i;
  return static_cast<uint8_t>(RoundedInRange(*this, 0, 255));
}

int16_t Variant::ToInteger() const {
  if (auto* i = std::get_if<int16_t>(&value_)) return *i;
  if (auto* i = std::get_if<uint8_t>(&value_)) return *i;
  return static_cast<int16_t>(RoundedInRange(*this, -32768, 32767));
}

int32_t Variant::ToLong() const {
  if (auto* i = std::get_if<int32_t>(&value_)) return *i;
  if (auto* i = std::get_if<int16_t>(&value_)) return *i;
  if (auto* i = std::get_if<uint8_t>(&value_)) return *i;
  return static_cast<int32_t>(RoundedInRange(*this, std::numeric_limits<int32_t>::min(),
                                             std::numeric_limits<int32_t>::max()));
}

float Variant::ToSingle() const {
  if (auto* f = std::get_if<float>(&value_)) return *f;
  double d = ToDouble();
  if (std::isfinite(d) && std::fabs(d) > static_cast<double>(std::numeric_limits<float>::max())) {
    Overflow();
  }
  return static_cast<float>(d);
}

Currency Variant::ToCurrency() const {
  if (auto* c = std::get_if<Currency>(&value_)) return *c;
  if (auto* b = std::get_if<bool>(&value_)) return Currency{*b ? -10000 : 0};
  if (auto* i = std::get_if<uint8_t>(&value_)) return Currency{int64_t{*i} * 10000};
  if (auto* i = std::get_if<int16_t>(&value_)) return Currency{int64_t{*i} * 10000};
  if (auto* i = std::get_if<int32_t>(&value_)) return Currency{int64_t{*i} * 10000};
  return Currency::FromDouble(ToDouble());
}

bool Variant::ToBool() const {
  if (auto* b = std::get_if<bool>(&value_)) return *b;
  if (auto* s = std::get_if<std::string>(&value_)) {
    std::string t = text::Trim(*s);
    if (text::EqualsIgnoreCase(t, "true")) return true;
    if (text::EqualsIgnoreCase(t, "false")) return false;
    double v = 0;
    if (!ParseNumber(t, &v)) TypeMismatch();
    return v != 0;
  }
  if (auto* c = std::get_if<Currency>(&value_)) return c->scaled != 0;
  return ToDouble() != 0;
}

Date Variant::ToDate() const {
  if (auto* d = std::get_if<Date>(&value_)) return *d;
  if (auto* s = std::get_if<std::string>(&value_)) {
    Date d;
    if (ParseDate(*s, &d)) return d;
    double v = 0;
    if (ParseNumber(*s, &v)) return Date{v};
    TypeMismatch();
  }
  if (is_object()) return DefaultValueOf(ToObject()).ToDate();
  return Date{ToDouble()};
}

std::shared_ptr<Dispatch> Variant::ToObject() const {
  if (auto* o = std::get_if<std::shared_ptr<Dispatch>>(&value_)) return *o;
  throw Error(errc::kObjectRequired);
}

const VariantArray& Variant::AsArray() const {
  if (auto* a = std::get_if<VariantArray>(&value_)) return *a;
  TypeMismatch();
}

const ByteArray& Variant::AsBytes() const {
  if (auto* b = std::get_if<ByteArray>(&value_)) return *b;
  TypeMismatch();
}

bool Equals(const Variant& a, const Variant& b) {
  if (a.is_null() || b.is_null() || a.is_missing() || b.is_missing()) return false;
  if (a.is_object() || b.is_object()) {
    if (a.is_object() && b.is_object()) return a.ToObject() == b.ToObject();
    const Variant& obj = a.is_object() ? a : b;
    const Variant& other = a.is_object() ? b : a;
    return Equals(DefaultValueOf(obj.ToObject()), other);
  }
  if (a.is_array() || b.is_array() || a.is_bytes() || b.is_bytes()) TypeMismatch();
  bool a_text = a.is_string() || a.is_empty();
  bool b_text = b.is_string() || b.is_empty();
  if (a.is_empty() && b.is_empty()) return true;
  if (a.is_string() && b_text) return a.ToText() == b.ToText();
  if (b.is_string() && a_text) return a.ToText() == b.ToText();
  if (a.is_string() || b.is_string()) return false;
  return a.ToDouble() == b.ToDouble();
}

}  // namespace mirelda
