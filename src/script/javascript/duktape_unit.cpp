// Duktape, built from the source that Debian's duktape-dev ships, with the configuration this host
// needs (see CMakeLists.txt): C++ exceptions instead of longjmp, so that errors raised inside
// scripts unwind C++ frames with their destructors, and the execution interrupt, through which a
// page that ran too long or called Response.End stops at once.
#include "duktape.c"
#include "script/javascript/script_interrupt.h"

namespace mirelda::script::javascript {

void InterruptScriptNow(duk_context* ctx) {
  // As duk_debugger_pause does: the next instruction the executor runs enters the interrupt
  // handler, which asks ScriptInterrupted and throws past every catch while it answers true.
  auto* thr = reinterpret_cast<duk_hthread*>(ctx);
  thr->interrupt_init = 1;
  thr->interrupt_counter = 0;
}

}  // namespace mirelda::script::javascript
