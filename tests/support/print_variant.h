// Lets GoogleTest show a Variant as its type and text instead of its bytes.
#pragma once

#include <ostream>
#include <string>

#include "mirelda/error.h"
#include "mirelda/variant.h"

namespace mirelda {

inline void PrintTo(const Variant& v, std::ostream* os) {
  *os << (v.is_missing() ? std::string("Missing") : TypeName(v));
  try {
    if (!v.is_null() && !v.is_missing() && !v.is_array() && !v.is_bytes()) {
      *os << "(" << v.ToText() << ")";
    }
  } catch (const Error&) {
  }
}

}  // namespace mirelda
