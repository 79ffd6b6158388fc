// A byte form of the data a Variant holds, for stores that keep page values outside the process
// (sessions and application values in a database shared by several hosts). Every subtype but
// objects survives a round trip exactly: type, value, array bounds and fixedness; Nothing is kept
// as Nothing. The form is self-contained and versioned by its first byte.
#pragma once

#include <string>
#include <string_view>

#include "mirelda/export.h"
#include "mirelda/variant.h"

namespace mirelda {

// Raises Error Type mismatch (13) for a value that holds an object other than Nothing, at any
// depth of an array, naming that such values cannot leave the process.
MIRELDA_API std::string EncodeVariant(const Variant& value);

// Raises Error Type mismatch (13) for bytes that are not a whole encoding (truncated, an unknown
// subtype, an array whose size does not match its bounds, nesting deeper than 64, trailing
// bytes). Never reads outside the bytes given.
MIRELDA_API Variant DecodeVariant(std::string_view bytes);

}  // namespace mirelda
