// CreateObject: a component by ProgID, from the in-process class table or the registration
// store. Unlike Server.CreateObject it gives the object no page context (no OnStartPage).
#include "mirelda/registry.h"
#include "script/vbscript/builtins/arguments.h"
#include "script/vbscript/builtins/builtins.h"

namespace mirelda::script::vbscript {
namespace {

Variant CreateByProgId(BuiltinCall& call) {
  const std::string prog_id = TextArg(call.args[0]);
  try {
    return Variant(mirelda::CreateObject(prog_id));
  } catch (const Error& e) {
    // The language reports a class it does not know as 429, naming it.
    if (e.number() != errc::kInvalidClassString) throw;
    throw Error(errc::kCannotCreateObject,
                StandardDescription(errc::kCannotCreateObject) + ": '" + prog_id + "'");
  }
}

constexpr Builtin kCreation[] = {
    {"CreateObject", 1, 1, CreateByProgId},
};

}  // namespace

std::span<const Builtin> CreationBuiltins() { return kCreation; }

}  // namespace mirelda::script::vbscript
