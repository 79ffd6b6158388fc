// What the language tells of itself, and objects made by ProgID. CreateObject makes the object
// as a script outside a page would (no OnStartPage); pages that need the page's context use
// Server.CreateObject.
#include "mirelda/registry.h"
#include "script/vbscript/builtins/arguments.h"
#include "script/vbscript/builtins/builtins.h"

namespace mirelda::script::vbscript {
namespace {

Variant EngineName(BuiltinCall&) { return Variant("VBScript"); }
Variant MajorVersion(BuiltinCall&) { return Variant(int32_t{5}); }
Variant MinorVersion(BuiltinCall&) { return Variant(int32_t{8}); }
Variant BuildVersion(BuiltinCall&) { return Variant(int32_t{16384}); }

Variant Create(BuiltinCall& call) {
  std::string prog_id = TextArg(call.args[0]);
  try {
    return Variant(CreateObject(prog_id));
  } catch (const Error& e) {
    // An unknown class is the language's own error, as pages test for it by number.
    if (e.number() != errc::kInvalidClassString) throw;
    throw Error(errc::kCannotCreateObject,
                "ActiveX component can't create object: '" + prog_id + "'");
  }
}

Variant GetObject(BuiltinCall&) {
  throw Error(errc::kCannotCreateObject,
              "ActiveX component can't create object: GetObject is not available on this host; "
              "make the object with Server.CreateObject");
}

constexpr Builtin kRuntime[] = {
    {"ScriptEngine", 0, 0, EngineName},
    {"ScriptEngineMajorVersion", 0, 0, MajorVersion},
    {"ScriptEngineMinorVersion", 0, 0, MinorVersion},
    {"ScriptEngineBuildVersion", 0, 0, BuildVersion},
    {"CreateObject", 1, 2, Create},
    {"GetObject", 0, 2, GetObject},
};

}  // namespace

std::span<const Builtin> RuntimeBuiltins() { return kRuntime; }

}  // namespace mirelda::script::vbscript
