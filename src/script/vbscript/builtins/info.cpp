// What a value is: its subtype, its type name, whether it is empty, null, an array, an object or
// a number.
#include "script/vbscript/builtins/arguments.h"
#include "script/vbscript/builtins/builtins.h"

namespace mirelda::script::vbscript {
namespace {

Variant IsEmpty(BuiltinCall& call) { return Variant(call.args[0].is_empty()); }
Variant IsNull(BuiltinCall& call) { return Variant(call.args[0].is_null()); }
Variant IsArray(BuiltinCall& call) { return Variant(call.args[0].is_array()); }
Variant IsObject(BuiltinCall& call) { return Variant(call.args[0].is_object()); }

Variant IsNumeric(BuiltinCall& call) {
  const Variant& v = call.args[0];
  switch (v.type()) {
    case VarType::kEmpty:
    case VarType::kBoolean:
    case VarType::kByte:
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kCurrency:
      return Variant(true);
    case VarType::kString:
      try {
        v.ToDouble();
        return Variant(true);
      } catch (const Error&) {
        return Variant(false);
      }
    default:
      return Variant(false);
  }
}

Variant IsDate(BuiltinCall& call) {
  const Variant& v = call.args[0];
  if (v.type() == VarType::kDate) return Variant(true);
  if (!v.is_string()) return Variant(false);
  Date date;
  return Variant(ParseDate(v.ToString(), &date));
}

Variant TypeNameOf(BuiltinCall& call) { return Variant(TypeName(call.args[0])); }

Variant VarTypeOf(BuiltinCall& call) {
  return Variant(static_cast<int16_t>(VarTypeNumber(call.args[0])));
}

constexpr Builtin kInfo[] = {
    {"IsEmpty", 1, 1, IsEmpty},
    {"IsNull", 1, 1, IsNull},
    {"IsArray", 1, 1, IsArray},
    {"IsObject", 1, 1, IsObject},
    {"IsNumeric", 1, 1, IsNumeric},
    {"IsDate", 1, 1, IsDate},
    {"TypeName", 1, 1, TypeNameOf},
    {"VarType", 1, 1, VarTypeOf},
};

}  // namespace

std::span<const Builtin> InfoBuiltins() { return kInfo; }

}  // namespace mirelda::script::vbscript
