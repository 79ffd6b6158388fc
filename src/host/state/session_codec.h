// The byte form of a session's values for a store outside the process: each name with its value
// in the Variant codec's form, so every value comes back with the type it was stored with.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "host/objects/name_map.h"
#include "mirelda/variant.h"

namespace mirelda::host {

using SessionValues = std::map<std::string, Variant, LessIgnoreCase>;

// Raises Error Type mismatch (13) for a value that holds an object.
std::string EncodeSessionValues(const SessionValues& values);
// Raises Error Type mismatch (13) for bytes that are not a whole encoding.
SessionValues DecodeSessionValues(std::string_view bytes);

}  // namespace mirelda::host
