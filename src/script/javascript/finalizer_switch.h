// Turns the finalizer of an object off and on again without touching its finalizer property:
// the engine decides whether a dying object has a finalizer by a flag along its prototype
// chain, and clearing that flag on a prototype spares every object that inherits from it the
// finalizer call, which costs more than the rest of its death.
#pragma once

#include "duktape.h"

namespace mirelda::script::javascript {

// object: a heap pointer (duk_get_heapptr) of an object whose finalizer was set.
void SwitchFinalizer(void* object, bool on);

}  // namespace mirelda::script::javascript
