// Text that goes into statements and into URLs. Values never change the meaning of a statement:
// text stands in a literal with its quotes doubled, and a value written bare must be a number.
#pragma once

#include <string>

#include "mirelda/variant.h"

namespace mirelda::webpage {

// The value's text with single quotes doubled, for use between quotes; Empty and Null give "".
std::string QuotedText(const Variant& value);
// The value as a bare SQL number; Type mismatch (13) for anything that is not a finite number or
// numeric text.
std::string BareNumber(const Variant& value);
// A query-string value: the characters that would end or change it are percent-encoded.
std::string EscapeQueryValue(const std::string& text);

}  // namespace mirelda::webpage
