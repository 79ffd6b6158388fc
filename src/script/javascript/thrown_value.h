// What a script threw, read back as the runtime's error parts: the number and description an
// Error carried across (or the script error's name and message), its source, and the line of
// the script it was raised on.
#pragma once

#include <cstdint>
#include <string>

#include "duktape.h"

namespace mirelda::script::javascript {

struct ThrownValue {
  bool has_number = false;
  int32_t number = 0;
  std::string description;
  std::string source;
  int line = 0;  // of the compiled script; 0 when unknown
};

// Reads the value at the top of the stack and pops it. Getters of a thrown object may run; what
// they throw is swallowed.
ThrownValue TakeThrownValue(duk_context* ctx);

}  // namespace mirelda::script::javascript
