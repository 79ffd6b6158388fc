// The dynamically typed value that crosses every late-bound call, with the page language's
// conversions: text of numbers and dates, rounding half to even, Overflow (6), Type mismatch (13),
// and equality under which Null equals nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
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
  kByte,     // 8-bit unsigned
  kInteger,  // 16-bit signed
  kLong,     // 32-bit signed
  kSingle,   // 32-bit floating point
  kDouble,
  kCurrency,  // fixed point, four decimals
  kDate,
  kString,  // UTF-8 text
  kArray,   // any number of dimensions, any bounds
  kBytes,   // byte array (file contents, request bodies)
  kObject,  // a dispatch object, or Nothing
  kError,   // an error number as a value (CVErr)
};

// A fixed-point amount: the value times 10000 in 64 bits, so that sums of money do not drift.
struct MIRELDA_API Currency {
  int64_t scaled = 0;

  // Rounds half to even to four decimals; Overflow (6) outside the range of 64 bits.
  static Currency FromDouble(double value);
  double ToDouble() const { return static_cast<double>(scaled) / 10000.0; }

  friend bool operator==(const Currency&, const Currency&) = default;
};

// The Error subtype: an error number carried as a value.
struct ErrorValue {
  int32_t code = 0;

  friend bool operator==(const ErrorValue&, const ErrorValue&) = default;
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
  // Bytes [data, data + size) that owner keeps valid (a mapped file, say) for as long as any
  // array or slice holds it.
  ByteArray(std::shared_ptr<const void> owner, const uint8_t* data, size_t size);

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
  std::shared_ptr<const void> owner_;
  const uint8_t* bytes_ = nullptr;
  size_t size_ = 0;
};

// The bounds of one dimension of an array; upper is lower - 1 for an empty dimension.
struct ArrayBound {
  int32_t lower = 0;
  int32_t upper = -1;

  friend bool operator==(const ArrayBound&, const ArrayBound&) = default;
};

// An array of Variants with any number of dimensions and any bounds. Elements are stored
// column-major (the first index varies fastest), the order items() and For Each give them.
// Copies share their storage until one of them changes, so copying an array by value (as the
// page language does on every assignment) costs nothing until it is written.
class MIRELDA_API VariantArray {
 public:
  // An empty array of one dimension, as Array() makes it.
  VariantArray();
  // One dimension holding items, the first at lower_bound.
  explicit VariantArray(std::vector<Variant> items, int32_t lower_bound = 0);

  // An array of Empty elements with these bounds; no bounds at all gives a dynamic array not yet
  // dimensioned (rank 0). Subscript out of range (9) for more than 60 dimensions or a dimension
  // whose upper bound is below lower - 1; Out of memory (7) when the total is too large. A fixed
  // array refuses Redim and Erase keeps its shape.
  static VariantArray WithBounds(std::vector<ArrayBound> bounds, bool fixed = false);

  size_t rank() const;
  bool fixed() const { return fixed_; }
  // Bounds of dimension dim (1 for the first); Subscript out of range (9) when dim is 0 or above
  // the rank.
  int32_t lower_bound(size_t dim = 1) const;
  int32_t upper_bound(size_t dim = 1) const;
  std::vector<ArrayBound> bounds() const;
  // Number of elements over all dimensions.
  size_t size() const;

  // Element of a one-dimensional array at a page-language index; Subscript out of range (9)
  // outside the bounds or when the array has another rank.
  const Variant& at(int64_t index) const;
  Variant& at(int64_t index);
  // Element at one index per dimension; Subscript out of range (9) for a wrong number of indices
  // or an index outside its dimension.
  const Variant& at(std::span<const int64_t> indices) const;
  Variant& at(std::span<const int64_t> indices);
  const std::vector<Variant>& items() const;

  // ReDim: new bounds, the elements Empty, or with preserve the elements kept where they still
  // fit (only the last dimension's upper bound may change then, else 9). This array is fixed or
  // temporarily locked (10) for a fixed array.
  void Redim(std::vector<ArrayBound> bounds, bool preserve);
  // Erase: a fixed array keeps its shape with every element Empty again; a dynamic one goes back
  // to rank 0.
  void Erase();

  friend MIRELDA_API bool operator==(const VariantArray& a, const VariantArray& b);

 private:
  friend class Variant;
  struct Storage;
  // Makes the storage this array's own before a write.
  Storage& Own();
  size_t Offset(std::span<const int64_t> indices) const;

  std::shared_ptr<Storage> storage_;
  bool fixed_ = false;
};

class MIRELDA_API Variant {
 public:
  Variant() = default;  // Empty
  Variant(bool value) : value_(value) {}
  Variant(uint8_t value) : value_(value) {}
  Variant(int16_t value) : value_(value) {}
  Variant(int32_t value) : value_(value) {}
  Variant(float value) : value_(value) {}
  Variant(double value) : value_(value) {}
  Variant(Currency value) : value_(value) {}
  Variant(Date value) : value_(value) {}
  Variant(ErrorValue value) : value_(value) {}
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

  VarType type() const { return static_cast<VarType>(value_.index()); }
  bool is_empty() const { return type() == VarType::kEmpty; }
  bool is_null() const { return type() == VarType::kNull; }
  bool is_missing() const { return type() == VarType::kMissing; }
  bool is_string() const { return type() == VarType::kString; }
  bool is_array() const { return type() == VarType::kArray; }
  bool is_bytes() const { return type() == VarType::kBytes; }
  bool is_object() const { return type() == VarType::kObject; }
  // Boolean, Byte, Integer, Long, Single, Double, Currency or Date.
  bool is_numeric() const;

  // Conversions of the page language. Each raises Error: Type mismatch (13) for a value with no
  // such form, Overflow (6) out of range, Invalid use of Null (94) for Null.
  std::string ToString() const;  // CStr
  uint8_t ToByte() const;        // CByte, rounding half to even
  int16_t ToInteger() const;     // CInt, rounding half to even
  int32_t ToLong() const;        // CLng, rounding half to even
  float ToSingle() const;        // CSng
  double ToDouble() const;       // CDbl
  Currency ToCurrency() const;   // CCur, rounding half to even to four decimals
  bool ToBool() const;           // CBool
  Date ToDate() const;           // CDate
  // The object reference (possibly Nothing); Object required (424) for anything else.
  std::shared_ptr<Dispatch> ToObject() const;
  const VariantArray& AsArray() const;  // Type mismatch unless an array
  const ByteArray& AsBytes() const;     // Type mismatch unless a byte array

  // The number of an Integer, a Long or a Double as it is held, or null for any other subtype:
  // for operators that take these common cases before the general rules.
  const int16_t* IntegerIf() const { return std::get_if<int16_t>(&value_); }
  const int32_t* LongIf() const { return std::get_if<int32_t>(&value_); }
  const double* DoubleIf() const { return std::get_if<double>(&value_); }
  // The number of an Error subtype (CVErr) value, or null for any other subtype.
  const ErrorValue* ErrorIf() const { return std::get_if<ErrorValue>(&value_); }
  // The text of a String subtype as it is held, or null for any other subtype.
  const std::string* TextIf() const { return std::get_if<std::string>(&value_); }

  // Text as the concatenation operator makes it: Empty and Null give "".
  std::string ToText() const;

  // The array or the text held in place, for changes that must not copy it (a(i) = v,
  // s = s & "x"); the array's storage becomes this variant's own. Null for other values.
  VariantArray* MutableArray();
  std::string* MutableText();

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
  // The alternatives in the order of VarType.
  using Storage = std::variant<std::monostate, NullTag, MissingTag, bool, uint8_t, int16_t, int32_t,
                               float, double, Currency, Date, std::string, VariantArray, ByteArray,
                               std::shared_ptr<Dispatch>, ErrorValue>;
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
// Text of a Single (up to 7 significant digits) and of a Currency (up to 4 decimals).
MIRELDA_API std::string FormatSingle(float value);
MIRELDA_API std::string FormatCurrency(Currency value);

// The page language's VarType number of a value: Empty 0, Null 1, Integer 2, Long 3, Single 4,
// Double 5, Currency 6, Date 7, String 8, Object 9 (Nothing too), Error 10 (a missing argument
// too), Boolean 11, Byte 17, an array of Variants 8204, a byte array 8209.
MIRELDA_API int32_t VarTypeNumber(const Variant& value);
// TypeName: "Integer", "String", "Variant()", "Byte()", "Nothing", an object's class name...
MIRELDA_API std::string TypeName(const Variant& value);

}  // namespace mirelda
