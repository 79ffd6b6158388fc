// A check, through the engine's own structures, that the global object holds no key the heap did
// not start with. It runs after every page, and most pages make no globals: the check allocates
// nothing, where enumerating the global object builds an array of all its keys.
#pragma once

#include "duktape.h"

namespace mirelda::script::javascript {

// True when every own key of the global object is a key of the object at known, hidden keys
// aside (scripts cannot make them, and the engine adds its own). False when a key is not, or
// when the global object holds indexed properties, which the check does not read.
bool GlobalsAllKnown(duk_context* ctx, duk_idx_t known);

}  // namespace mirelda::script::javascript
