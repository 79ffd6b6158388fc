// Duktape, built from the source that Debian's duktape-dev ships, with the configuration this host
// needs (see CMakeLists.txt): C++ exceptions instead of longjmp, so that errors raised inside
// scripts unwind C++ frames with their destructors, and the execution interrupt, through which a
// page that ran too long or called Response.End stops at once.
#include "duktape.c"
#include "script/javascript/engine_internals.h"
#include "script/javascript/known_globals.h"
#include "script/javascript/script_interrupt.h"

namespace mirelda::script::javascript {

void InterruptScriptNow(duk_context* ctx) {
  // As duk_debugger_pause does: the next instruction the executor runs enters the interrupt
  // handler, which asks ScriptInterrupted and throws past every catch while it answers true.
  auto* thr = reinterpret_cast<duk_hthread*>(ctx);
  thr->interrupt_init = 1;
  thr->interrupt_counter = 0;
}

void SwitchFinalizer(void* object, bool on) {
  auto* h = static_cast<duk_hobject*>(object);
  if (on) {
    DUK_HOBJECT_SET_HAVE_FINALIZER(h);
  } else {
    DUK_HOBJECT_CLEAR_HAVE_FINALIZER(h);
  }
}

const void* ProxyTarget(const void* object) {
  const auto* h = static_cast<const duk_hobject*>(object);
  if (h && DUK_HOBJECT_IS_PROXY(h)) return reinterpret_cast<const duk_hproxy*>(h)->target;
  return object;
}

const void* StoredPrototype(const void* object) {
  return DUK_HOBJECT_GET_PROTOTYPE(nullptr, static_cast<const duk_hobject*>(object));
}

bool GlobalsAllKnown(duk_context* ctx, duk_idx_t known) {
  auto* thr = reinterpret_cast<duk_hthread*>(ctx);
  duk_hobject* global = thr->builtins[DUK_BIDX_GLOBAL];
  duk_hobject* keys = duk_get_hobject(thr, known);
  if (!global || !keys) return false;
  // Indexed keys may live in the array part, which holds no key strings to compare.
  for (duk_uint_fast32_t i = 0; i < DUK_HOBJECT_GET_ASIZE(global); ++i) {
    if (!DUK_TVAL_IS_UNUSED(DUK_HOBJECT_A_GET_VALUE_PTR(thr->heap, global, i))) return false;
  }
  for (duk_uint_fast32_t i = 0; i < DUK_HOBJECT_GET_ENEXT(global); ++i) {
    duk_hstring* key = DUK_HOBJECT_E_GET_KEY(thr->heap, global, i);
    // A deleted property's slot, or an engine-internal key (the engine puts one on the global
    // object at the first call): neither is a global a page made, and neither is ever removed.
    if (!key || DUK_HSTRING_HAS_HIDDEN(key)) continue;
    duk_int_t e_idx = 0;
    duk_int_t h_idx = 0;
    if (!duk_hobject_find_entry(thr->heap, keys, key, &e_idx, &h_idx)) return false;
  }
  return true;
}

}  // namespace mirelda::script::javascript
