// How each Access column type is declared in a Jet file, in the Jet SQL that pages write, so
// that the copy's columns read back through the record set as the originals did.
#pragma once

#include <optional>
#include <string>

#include "import/access_model.h"

namespace mirelda::import {

// The Jet type declaration of a column ("counter", "text(50)", "currency" ...), or nothing when
// the Jet file has no equivalent (attachments, multi-valued fields, unknown codes).
std::optional<std::string> JetDeclaration(const AccessColumn& column);

// The Access name of a column's type, for reports ("Text", "Currency", "type code 18").
std::string AccessTypeName(const AccessColumn& column);

}  // namespace mirelda::import
