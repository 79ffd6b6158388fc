// What the script bridge reads and changes in the engine's objects beyond its public API.
#pragma once

#include "duktape.h"

namespace mirelda::script::javascript {

// Turns the finalizer of an object (a heap pointer of one whose finalizer was set) off and on
// again without touching its finalizer property: the engine decides whether a dying object has
// a finalizer by a flag along its prototype chain, and clearing that flag on a prototype spares
// every object that inherits from it the finalizer call, which costs more than the rest of its
// death.
void SwitchFinalizer(void* object, bool on);

// The object a proxy stands in front of; any other object is itself. Scripts hold a wrapper's
// proxy, the traps and calls see its target, and both find the wrapper by the target.
const void* ProxyTarget(const void* object);

// The prototype of an object, or null: read as stored, without running any trap.
const void* StoredPrototype(const void* object);

}  // namespace mirelda::script::javascript
