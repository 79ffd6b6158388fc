// The VBScript engine behind the page seam (host/page/script_engine.h).
#pragma once

#include <memory>

#include "host/page/script_engine.h"

namespace mirelda::script::vbscript {

std::shared_ptr<const host::ScriptEngine> MakeVBScriptEngine();

}  // namespace mirelda::script::vbscript
