// "ADODB.Parameter" and the Parameters collection of a Command: named, typed values that a
// command binds to its placeholders, in the order of the collection.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/live_objects.h"
#include "mirelda/dispatch.h"
#include "mirelda/variant.h"

namespace mirelda::data {

// ParameterDirectionEnum.
namespace direction {
inline constexpr int32_t kUnknown = 0;
inline constexpr int32_t kInput = 1;
inline constexpr int32_t kOutput = 2;
inline constexpr int32_t kInputOutput = 3;
inline constexpr int32_t kReturnValue = 4;
}  // namespace direction

// True for the DataTypeEnum numbers a parameter may carry.
bool IsParameterType(int32_t type);

// value as the type makes it: Null stays Null; adEmpty and adVariant keep the value as it is;
// numbers, dates, yes/no and text by the page language's conversions; binary types take bytes
// (text as its UTF-8 bytes). A value that the type cannot hold raises kDataConversion naming the
// parameter; text or bytes longer than a size above 0 raise kDataOverflow rather than being cut.
Variant CoerceToType(const Variant& value, int32_t type, int32_t size, const std::string& name);

class DataParameter final : public Dispatch {
 public:
  DataParameter(std::string name, int32_t type, int32_t direction, int32_t size, Variant value);

  std::string Name() { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  int32_t Type() { return type_; }
  // Raises kBadArguments for a number that is no data type.
  void SetType(int32_t type);
  int32_t Direction() { return direction_; }
  // Raises kBadArguments outside 0 to 4.
  void SetDirection(int32_t direction);
  int32_t Size() { return size_; }
  // Raises kBadArguments below 0.
  void SetSize(int32_t size);
  Variant Value() { return value_; }
  void SetValue(const Variant& value) { value_ = value; }
  int32_t Attributes() { return attributes_; }
  void SetAttributes(int32_t attributes) { attributes_ = attributes; }
  int32_t Precision() { return precision_; }
  void SetPrecision(int32_t precision) { precision_ = precision; }
  int32_t NumericScale() { return numeric_scale_; }
  void SetNumericScale(int32_t scale) { numeric_scale_ = scale; }

  // Input and input-output parameters (and those of unknown direction) are bound.
  bool IsInput() const;
  bool IsOutput() const;
  // The value as the parameter's type makes it, for binding.
  Variant BoundValue() const;
  // A value the engine gave back, kept as the parameter's type makes it where it can.
  void TakeResult(const Variant& value);

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Parameter"; }

 private:
  std::string name_;
  int32_t type_;
  int32_t direction_;
  int32_t size_;
  Variant value_;
  int32_t attributes_ = 0;
  int32_t precision_ = 0;
  int32_t numeric_scale_ = 0;
  LiveObject live_;
};

class DataParameters final : public Dispatch {
 public:
  int32_t Count() { return static_cast<int32_t>(items_.size()); }
  // By zero-based index or by name without regard to case; kItemNotFound otherwise.
  std::shared_ptr<DataParameter> Item(const Variant& index);
  // Takes a Parameter made by CreateParameter; kBadArguments for anything else.
  void Append(const Variant& parameter);
  // Removes by index or name; kItemNotFound when there is none.
  void Delete(const Variant& index);
  std::vector<Variant> Enumerate() override;

  const std::vector<std::shared_ptr<DataParameter>>& items() const { return items_; }

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Parameters"; }

 private:
  size_t Position(const Variant& index) const;

  std::vector<std::shared_ptr<DataParameter>> items_;
  LiveObject live_;
};

}  // namespace mirelda::data
