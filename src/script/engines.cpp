#include "script/engines.h"

#include "script/javascript/javascript_engine.h"
#include "script/vbscript/engine.h"

namespace mirelda::script {

host::EngineRegistry StandardEngines() {
  host::EngineRegistry engines;
  engines.Add(vbscript::MakeVBScriptEngine(), {"VBScript", "VBS"});
  engines.Add(javascript::MakeJavaScriptEngine(), {"JavaScript", "JScript", "ECMAScript"});
  return engines;
}

}  // namespace mirelda::script
