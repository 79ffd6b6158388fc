// The interrupt of the script engine. The executor asks mirelda_script_interrupted(heap data)
// every so many instructions; while it answers true, Duktape throws an error that no try/catch
// in the script can stop, so the script unwinds to the host.
#pragma once

#include "duktape.h"

namespace mirelda::script::javascript {

// Makes the executor ask at its next instruction instead of after its usual count.
void InterruptScriptNow(duk_context* ctx);

}  // namespace mirelda::script::javascript
