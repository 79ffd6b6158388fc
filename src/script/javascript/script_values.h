// Values between scripts and components. JavaScript undefined is an omitted argument (Missing)
// where an argument is expected and Empty elsewhere; null is Null; numbers become Long when
// integral and within 32 bits, Double otherwise; arrays become zero-based arrays; Uint8Array,
// ArrayBuffer and other buffers become byte arrays; Date objects become dates; wrapped components
// become their objects. Back the other way, dates become Date objects and byte arrays Uint8Arrays.
// Other script objects pass as their text.
#pragma once

#include <string>
#include <string_view>

#include "duktape.h"
#include "mirelda/variant.h"

namespace mirelda::script::javascript {

enum class Undefined { kMissing, kEmpty };

// The value at idx. May raise script errors (a getter that throws); raises Error 13 for arrays
// nested deeper than 32 levels.
Variant ToVariant(duk_context* ctx, duk_idx_t idx, Undefined undefined);

// Pushes the script value of v.
void PushVariant(duk_context* ctx, const Variant& v);

// UTF-8 of a script string: the engine keeps characters beyond U+FFFF as surrogate pairs, which
// become one four-byte sequence here.
std::string ScriptStringToUtf8(std::string_view engine_text);

}  // namespace mirelda::script::javascript
