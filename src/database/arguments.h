// How Database reads its variant arguments: the folder and file-name normalisation that database
// paths and connection strings share, and the comparison of a variant with a number.
#pragma once

#include <string>

#include "mirelda/variant.h"

namespace mirelda::database {

// A folder whose last character is neither "\" nor "/" is trimmed of blanks and gets "\"; one
// that ends in a separator stays as it is.
std::string NormaliseFolder(const std::string& folder);

// A name whose first character is "\" or "/" loses it and is trimmed of blanks; any other name
// stays as it is.
std::string NormaliseFileName(const std::string& name);

// Joins an array's elements with ",", walking a 16-bit index from the lower to the upper bound.
// Leading elements with empty text leave no trace; later ones give empty fields. Raises Overflow
// (6) for bounds outside the index's range and when the index steps past 32767, and Invalid use of
// Null (94) for a Null element while the text is still empty.
std::string JoinArray(const VariantArray& array);

// The variant compared with a number as a version switch reads it: Empty counts as 0, numbers and
// numeric text by value; Null and other text never match.
bool IsNumber(const Variant& value, double number);

}  // namespace mirelda::database
