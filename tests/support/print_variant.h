// Lets GoogleTest show a Variant as its type and text instead of its bytes.
#pragma once

#include <ostream>

#include "mirelda/error.h"
#include "mirelda/variant.h"

namespace mirelda {

inline void PrintTo(const Variant& v, std::ostream* os) {
  static const char* kNames[] = {"Empty",  "Null", "Missing", "Boolean", "Integer", "Long",
                                 "Double", "Date", "String",  "Array",   "Bytes",   "Object"};
  *os << kNames[static_cast<int>(v.type())];
  try {
    if (!v.is_null() && !v.is_missing() && !v.is_array() && !v.is_bytes()) {
      *os << "(" << v.ToText() << ")";
    }
  } catch (const Error&) {
  }
}

}  // namespace mirelda
