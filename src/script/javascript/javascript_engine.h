// JavaScript pages, run by Duktape. The engine turns a page into the source of one function; each
// thread's runner owns one script heap, compiles a page's function into it once (again when the
// page changes) and calls it with the five objects as its parameters. The globals a page leaves
// behind are removed when it ends. A page stops at Response.End (whatever try/catch it is in), at
// an uncaught error, or when it runs past its deadline.
#pragma once

#include <memory>

#include "host/page/script_engine.h"

namespace mirelda::script::javascript {

std::shared_ptr<const host::ScriptEngine> MakeJavaScriptEngine();

}  // namespace mirelda::script::javascript
