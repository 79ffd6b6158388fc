#include "data/data_parameters.h"

#include <cmath>
#include <limits>

#include "data/data_errors.h"
#include "mirelda/data.h"
#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::data {
namespace {

// DataTypeEnum numbers beyond those of field_type.
constexpr int32_t kVariant = 12;
constexpr int32_t kDecimal = 14;
constexpr int32_t kTinyInt = 16;
constexpr int32_t kUnsignedSmallInt = 18;
constexpr int32_t kUnsignedInt = 19;
constexpr int32_t kUnsignedBigInt = 21;
constexpr int32_t kBstr = 8;
constexpr int32_t kBinary = 128;
constexpr int32_t kChar = 129;
constexpr int32_t kWChar = 130;
constexpr int32_t kDbDate = 133;
constexpr int32_t kDbTime = 134;
constexpr int32_t kDbTimeStamp = 135;
constexpr int32_t kVarNumeric = 139;
constexpr int32_t kVarChar = 200;
constexpr int32_t kLongVarChar = 201;
constexpr int32_t kVarBinary = 204;

enum class Form { kAsIs, kInteger, kReal, kCurrency, kDate, kBoolean, kText, kBytes };

struct TypeForm {
  int32_t type;
  Form form;
  double low = 0;  // the range of integer types
  double high = 0;
};

constexpr TypeForm kTypes[] = {
    {field_type::kEmpty, Form::kAsIs},
    {kVariant, Form::kAsIs},
    {kTinyInt, Form::kInteger, -128, 127},
    {field_type::kUnsignedTinyInt, Form::kInteger, 0, 255},
    {field_type::kSmallInt, Form::kInteger, -32768, 32767},
    {kUnsignedSmallInt, Form::kInteger, 0, 65535},
    {field_type::kInteger, Form::kInteger, -2147483648.0, 2147483647.0},
    {kUnsignedInt, Form::kInteger, 0, 4294967295.0},
    {field_type::kBigInt, Form::kInteger, -9223372036854775808.0, 9223372036854775807.0},
    {kUnsignedBigInt, Form::kInteger, 0, 18446744073709551615.0},
    {field_type::kSingle, Form::kReal},
    {field_type::kDouble, Form::kReal},
    {kDecimal, Form::kReal},
    {field_type::kNumeric, Form::kReal},
    {kVarNumeric, Form::kReal},
    {field_type::kCurrency, Form::kCurrency},
    {field_type::kDate, Form::kDate},
    {kDbDate, Form::kDate},
    {kDbTime, Form::kDate},
    {kDbTimeStamp, Form::kDate},
    {field_type::kBoolean, Form::kBoolean},
    {kBstr, Form::kText},
    {kChar, Form::kText},
    {kWChar, Form::kText},
    {kVarChar, Form::kText},
    {kLongVarChar, Form::kText},
    {field_type::kVarWChar, Form::kText},
    {field_type::kLongVarWChar, Form::kText},
    {field_type::kGuid, Form::kText},
    {kBinary, Form::kBytes},
    {kVarBinary, Form::kBytes},
    {field_type::kLongVarBinary, Form::kBytes},
};

const TypeForm* FormOf(int32_t type) {
  for (const TypeForm& t : kTypes) {
    if (t.type == type) return &t;
  }
  return nullptr;
}

std::string Called(const std::string& name) { return name.empty() ? "" : " '" + name + "'"; }

[[noreturn]] void WrongType(const std::string& name, int32_t type, const Error& why) {
  throw Error(data_errc::kDataConversion,
              "Application uses a value of the wrong type for the current operation: parameter" +
                  Called(name) + " of type " + std::to_string(type) + " (" + why.description() +
                  ").");
}

void CheckSize(size_t length, int32_t size, const std::string& name) {
  if (size > 0 && length > static_cast<size_t>(size)) {
    throw Error(data_errc::kDataOverflow, "The value of parameter" + Called(name) + " holds " +
                                              std::to_string(length) + " characters or bytes, " +
                                              "more than its size of " + std::to_string(size) +
                                              ".");
  }
}

Variant Coerce(const Variant& value, const TypeForm& t, int32_t size, const std::string& name) {
  switch (t.form) {
    case Form::kAsIs:
      return value;
    case Form::kInteger: {
      double number = value.ToDouble();
      double rounded = std::nearbyint(number);
      if (!(rounded >= t.low && rounded <= t.high)) throw Error(errc::kOverflow);
      return rounded >= -2147483648.0 && rounded <= 2147483647.0
                 ? Variant(static_cast<int32_t>(rounded))
                 : Variant(rounded);
    }
    case Form::kReal:
      return Variant(value.ToDouble());
    case Form::kCurrency:
      return Variant(value.ToCurrency());
    case Form::kDate:
      return Variant(value.ToDate());
    case Form::kBoolean:
      return Variant(value.ToBool());
    case Form::kText: {
      std::string text = value.ToString();
      CheckSize(text::Length(text), size, name);
      return Variant(std::move(text));
    }
    case Form::kBytes: {
      if (value.is_bytes()) {
        CheckSize(value.AsBytes().size(), size, name);
        return value;
      }
      std::string text = value.ToString();
      CheckSize(text.size(), size, name);
      return Variant(ByteArray(std::string_view(text)));
    }
  }
  return value;
}

[[noreturn]] void BadArgument(const std::string& what) {
  throw Error(data_errc::kBadArguments,
              "Arguments are of the wrong type, are out of acceptable range, or are in conflict "
              "with one another (" +
                  what + ").");
}

}  // namespace

bool IsParameterType(int32_t type) { return FormOf(type) != nullptr; }

Variant CoerceToType(const Variant& value, int32_t type, int32_t size, const std::string& name) {
  if (value.is_null() || value.is_empty() || value.is_missing()) return Variant::Null();
  const TypeForm* form = FormOf(type);
  if (!form) BadArgument("parameter type " + std::to_string(type));
  try {
    return Coerce(value, *form, size, name);
  } catch (const Error& e) {
    if (e.number() == data_errc::kDataOverflow) throw;
    WrongType(name, type, e);
  }
}

DataParameter::DataParameter(std::string name, int32_t type, int32_t direction, int32_t size,
                             Variant value)
    : name_(std::move(name)), type_(0), direction_(0), size_(0), value_(std::move(value)) {
  SetType(type);
  SetDirection(direction);
  SetSize(size);
}

void DataParameter::SetType(int32_t type) {
  if (!IsParameterType(type)) BadArgument("parameter type " + std::to_string(type));
  type_ = type;
}

void DataParameter::SetDirection(int32_t direction) {
  if (direction < direction::kUnknown || direction > direction::kReturnValue) {
    BadArgument("parameter direction " + std::to_string(direction));
  }
  direction_ = direction;
}

void DataParameter::SetSize(int32_t size) {
  if (size < 0) BadArgument("parameter size " + std::to_string(size));
  size_ = size;
}

bool DataParameter::IsInput() const {
  return direction_ == direction::kInput || direction_ == direction::kInputOutput ||
         direction_ == direction::kUnknown;
}

bool DataParameter::IsOutput() const {
  return direction_ == direction::kOutput || direction_ == direction::kInputOutput ||
         direction_ == direction::kReturnValue;
}

Variant DataParameter::BoundValue() const {
  return CoerceToType(value_.is_missing() ? Variant::Null() : value_, type_, size_, name_);
}

void DataParameter::TakeResult(const Variant& value) {
  try {
    value_ = CoerceToType(value, type_, 0, name_);
  } catch (const Error&) {
    // The server said what the value is; a declared type that cannot hold it keeps it as sent.
    value_ = value;
  }
}

size_t DataParameters::Position(const Variant& index) const {
  if (index.is_numeric()) {
    int32_t ordinal = index.ToLong();
    if (ordinal >= 0 && static_cast<size_t>(ordinal) < items_.size()) {
      return static_cast<size_t>(ordinal);
    }
  } else if (index.is_string()) {
    const std::string wanted = index.ToString();
    for (size_t i = 0; i < items_.size(); ++i) {
      if (text::EqualsIgnoreCase(items_[i]->Name(), wanted)) return i;
    }
  }
  std::string what = index.is_string() ? "'" + index.ToString() + "'" : index.ToText();
  throw Error(errc::kItemNotFound,
              "Item cannot be found in the collection corresponding to the requested name or "
              "ordinal (" +
                  what + ").");
}

std::shared_ptr<DataParameter> DataParameters::Item(const Variant& index) {
  return items_[Position(index)];
}

void DataParameters::Append(const Variant& parameter) {
  auto typed = parameter.is_object()
                   ? std::dynamic_pointer_cast<DataParameter>(parameter.ToObject())
                   : nullptr;
  if (!typed) BadArgument("Append takes a Parameter object");
  items_.push_back(std::move(typed));
}

void DataParameters::Delete(const Variant& index) {
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(Position(index)));
}

std::vector<Variant> DataParameters::Enumerate() {
  return std::vector<Variant>(items_.begin(), items_.end());
}

const MemberTable& DataParameter::Members() const {
  using P = DataParameter;
  static const MemberTable table =
      MemberTableBuilder<P>("_Parameter")
          .Get<&P::Value>("Value")
          .Default()
          .Let<&P::SetValue>("Value", {Arg("Value")})
          .Get<&P::Name>("Name")
          .Let<&P::SetName>("Name", {Arg("Name")})
          .Get<&P::Type>("Type")
          .Let<&P::SetType>("Type", {Arg("Type")})
          .Get<&P::Direction>("Direction")
          .Let<&P::SetDirection>("Direction", {Arg("Direction")})
          .Get<&P::Size>("Size")
          .Let<&P::SetSize>("Size", {Arg("Size")})
          .Get<&P::Attributes>("Attributes")
          .Let<&P::SetAttributes>("Attributes", {Arg("Attributes")})
          .Get<&P::Precision>("Precision")
          .Let<&P::SetPrecision>("Precision", {Arg("Precision")})
          .Get<&P::NumericScale>("NumericScale")
          .Let<&P::SetNumericScale>("NumericScale", {Arg("NumericScale")})
          .Build();
  return table;
}

const MemberTable& DataParameters::Members() const {
  using P = DataParameters;
  static const MemberTable table = MemberTableBuilder<P>("Parameters")
                                       .Get<&P::Item>("Item", {Arg("Index")})
                                       .Default()
                                       .Get<&P::Count>("Count")
                                       .Method<&P::Append>("Append", {Arg("Object")})
                                       .Method<&P::Delete>("Delete", {Arg("Index")})
                                       .Build();
  return table;
}

}  // namespace mirelda::data
