// One index over every family's table, folded to lower case once, so a lookup is a hash probe.
#include <string>
#include <unordered_map>

#include "mirelda/error.h"
#include "script/vbscript/builtins/builtins.h"
#include "script/vbscript/builtins/text_units.h"

namespace mirelda::script::vbscript {
namespace {

struct Index {
  std::unordered_map<std::string, const Builtin*> functions;
  std::unordered_map<std::string, const BuiltinConstant*> constants;

  Index() {
    for (auto family : {ConversionBuiltins(), StringBuiltins(), ArrayBuiltins(), InfoBuiltins(),
                        DateBuiltins(), DateArithmeticBuiltins(), FormatBuiltins(),
                        MathBuiltins(), RuntimeBuiltins(), EscapeBuiltins(), ByteBuiltins()}) {
      for (const Builtin& builtin : family) functions.emplace(FoldCase(builtin.name), &builtin);
    }
    for (const BuiltinConstant& constant : BuiltinConstants()) {
      constants.emplace(FoldCase(constant.name), &constant);
    }
  }
};

const Index& TheIndex() {
  static const Index index;
  return index;
}

}  // namespace

const Builtin* FindBuiltin(std::string_view name) {
  const auto& functions = TheIndex().functions;
  auto it = functions.find(FoldCase(name));
  return it == functions.end() ? nullptr : it->second;
}

const BuiltinConstant* FindBuiltinConstant(std::string_view name) {
  const auto& constants = TheIndex().constants;
  auto it = constants.find(FoldCase(name));
  return it == constants.end() ? nullptr : it->second;
}

void CheckTextSize(size_t bytes, size_t memory_limit) {
  if (bytes > memory_limit) throw Error(7);
}

}  // namespace mirelda::script::vbscript
