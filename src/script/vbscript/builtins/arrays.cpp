// Making arrays and reading their bounds.
#include "script/vbscript/builtins/arguments.h"
#include "script/vbscript/builtins/builtins.h"

namespace mirelda::script::vbscript {
namespace {

Variant MakeArray(BuiltinCall& call) {
  std::vector<Variant> items(call.args.begin(), call.args.end());
  for (Variant& item : items) {
    if (item.is_missing()) item = Variant();
  }
  return Variant(VariantArray(std::move(items)));
}

const VariantArray& ArrayArg(const Variant& v) {
  if (!v.is_array()) throw Error(errc::kTypeMismatch);
  return v.AsArray();
}

size_t Dimension(const BuiltinCall& call) {
  if (!call.has(1)) return 1;
  int32_t dim = LongArg(call.args[1]);
  if (dim < 1) throw Error(errc::kSubscriptOutOfRange);
  return static_cast<size_t>(dim);
}

Variant UBound(BuiltinCall& call) {
  const VariantArray& array = ArrayArg(call.args[0]);
  return Variant(array.upper_bound(Dimension(call)));
}

Variant LBound(BuiltinCall& call) {
  const VariantArray& array = ArrayArg(call.args[0]);
  return Variant(array.lower_bound(Dimension(call)));
}

constexpr Builtin kArrays[] = {
    {"Array", 0, 255, MakeArray},
    {"UBound", 1, 2, UBound},
    {"LBound", 1, 2, LBound},
};

}  // namespace

std::span<const Builtin> ArrayBuiltins() { return kArrays; }

}  // namespace mirelda::script::vbscript
