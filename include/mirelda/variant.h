// The dynamically typed value that crosses every late-bound call, with the page language's
// conversions: text of numbers and dates, rounding half to even, Overflow (6), Type mismatch (13),
// and equality under which Null equals nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "mirelda/export.h"

namespace mirelda {

class Dispatch;
class Variant;

enum class VarType : uint8_t {
  kEmpty,    // never assigned
  kNull,     // no valid data
  kMissing,  // an optional argument the caller left out
  kBoolean,
  kInteger,  // 16-bit signed
  kLong,     // 32-bit signed
  kDouble,
  kDate,
  kString,  // UTF-8 text
  kArray,   // one dimension, any lower bound
  kBytes,   // byte array (file contents, request bodies)
  kObject,  // a dispatch object, or Nothing
};

// A point in local time as the page language counts it: days since 1899-12-30, the fraction being
// the time of day.
struct MIRELDA_API Date {
  double serial = 0;

  // Local date and time now, to the second.
  static Date Now();
  // Local midnight of today.
  static Date Today();
  static Date FromParts(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
  // Seconds since the Unix epoch of this local time.
  int64_t ToUnixTime() const;
  static Date FromUnixTime(int64_t seconds);
  Date AddDays(int days) const { return Date{serial + days}; }

  friend bool operator==(const Date&, const Date&) = default;
};

// Immutable bytes that share storage: copying a Variant that holds a slice of a request body does
// not copy the body.
class MIRELDA_API ByteArray {
 public:
  ByteArray() = default;
  explicit ByteArray(std::vector<uint8_t> bytes);
  explicit ByteArray(std::string_view bytes);
  // A slice [offset, offset + size) of shared storage; the range must lie inside it.
  ByteArray(std::shared_ptr<const std::vector<uint8_t>> storage, size_t offset, size_t size);

  const uint8_t* data() const;
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::string_view view() const;
  std::vector<uint8_t> ToVector() const;
  // The bytes [offset, offset + size) of this array, sharing its storage; Subscript out of range
  // (9) when the range does not lie inside it.
  ByteArray Slice(size_t offset, size_t size) const;

  friend bool operator==(const ByteArray& a, const ByteArray& b) { return a.view() == b.view(); }

 private:
  std::shared_ptr<const std::vector<uint8_t>> storage_;
  size_t offset_ = 0;
  size_t size_ = 0;
};

// A one-dimensional array of Variants with any lower bound.
class MIRELDA_API VariantArray {
 public:
  VariantArray() = default;
  explicit VariantArray(std::vector<Variant> items, int32_t lower_bound = 0);

  int32_t lower_bound() const { return lower_; }
  // One below the lower bound when the array is empty.
  int32_t upper_bound() const;
  size_t size() const;
  // Element at a page-language index; Subscript out of range (9) outside the bounds.
  const Variant& at(int64_t index) const;
  Variant& at(int64_t index);
  const std::vector<Variant>& items() const { return items_; }

  friend MIRELDA_API bool operator==(const VariantArray& a, const VariantArray& b);

 private:
  int32_t lower_ = 0;
  std::vector<Variant> items_;
};

class MIRELDA_API Variant {
 public:
  Variant() = default;  // Empty
  Variant(bool value) : value_(value) {}
  Variant(int16_t value) : value_(value) {}
  Variant(int32_t value) : value_(value) {}
  Variant(double value) : value_(value) {}
  Variant(Date value) : value_(value) {}
  Variant(std::string value) : value_(std::move(value)) {}
  Variant(std::string_view value) : value_(std::string(value)) {}
  Variant(const char* value) : value_(std::string(value)) {}
  Variant(VariantArray value) : value_(std::move(value)) {}
  Variant(ByteArray value) : value_(std::move(value)) {}
  Variant(std::shared_ptr<Dispatch> value) : value_(std::move(value)) {}
  template <class T>
  requires std::is_base_of_v<Dispatch, T> Variant(std::shared_ptr<T> value)
      : value_(std::shared_ptr<Dispatch>(std::move(value))) {}

  static Variant Null();
  static Variant Missing();
  static Variant Nothing() { return Variant(std::shared_ptr<Dispatch>()); }
  // The page language keeps integral numbers that fit in 32 bits as Long, others as Double.
  static Variant FromInt64(int64_t value);

  VarType type() const;
  bool is_empty() const { return type() == VarType::kEmpty; }
  bool is_null() const { return type() == VarType::kNull; }
  bool is_missing() const { return type() == VarType::kMissing; }
  bool is_string() const { return type() == VarType::kString; }
  bool is_array() const { return type() == VarType::kArray; }
  bool is_bytes() const { return type() == VarType::kBytes; }
  bool is_object() const { return type() == VarType::kObject; }
  // Boolean, Integer, Long, Double or Date.
  bool is_numeric() const;

  // Conversions of the page language. Each raises Error: Type mismatch (13) for a value with no
  // such form, Overflow (6) out of range, Invalid use of Null (94) for Null.
  std::string ToString() const;  // CStr
  int16_t ToInteger() const;     // CInt, rounding half to even
  int32_t ToLong() const;        // CLng, rounding half to even
  double ToDouble() const;       // CDbl
  bool ToBool() const;           // CBool
  Date ToDate() const;           // CDate
  // The object reference (possibly Nothing); Object required (424) for anything else.
  std::shared_ptr<Dispatch> ToObject() const;
  const VariantArray& AsArray() const;  // Type mismatch unless an array
  const ByteArray& AsBytes() const;     // Type mismatch unless a byte array

  // Text as the concatenation operator makes it: Empty and Null give "".
  std::string ToText() const;

  // The page language's "=": Null and Missing never equal anything; two texts compare
  // case-sensitively; numbers (and Boolean, Date) compare by value; Empty counts as "" beside text
  // and as 0 beside a number; a number and a text are never equal; objects compare by identity.
  friend MIRELDA_API bool Equals(const Variant& a, const Variant& b);

  // Identity of representation (type and value), for tests and containers.
  friend bool operator==(const Variant& a, const Variant& b) { return a.value_ == b.value_; }

 private:
  struct NullTag {
    friend bool operator==(NullTag, NullTag) { return true; }
  };
  struct MissingTag {
    friend bool operator==(MissingTag, MissingTag) { return true; }
  };
  using Storage =
      std::variant<std::monostate, NullTag, MissingTag, bool, int16_t, int32_t, double, Date,
                   std::string, VariantArray, ByteArray, std::shared_ptr<Dispatch>>;
  explicit Variant(Storage value) : value_(std::move(value)) {}

  Storage value_;
};

// Text of a Date: "YYYY-MM-DD HH:MM:SS"; a date with no time of day gives "YYYY-MM-DD", a time on
// day zero gives "HH:MM:SS".
MIRELDA_API std::string FormatDate(Date date);
// Always "YYYY-MM-DD HH:MM:SS", the form that SQL statements carry.
MIRELDA_API std::string FormatDateTime(Date date);
// Parses the forms above (also "/" between the date parts); false when the text is no date.
MIRELDA_API bool ParseDate(std::string_view text, Date* out);
// Text of a Double as the page language writes it (up to 15 significant digits).
MIRELDA_API std::string FormatDouble(double value);

}  // namespace mirelda
