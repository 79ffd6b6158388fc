// Globally unique identifiers of classes, interfaces and type libraries.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "mirelda/export.h"

namespace mirelda {

// Layout-compatible with the platform GUID so that it can cross the C entry points.
struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  uint8_t data4[8] = {};

  friend bool operator==(const Guid&, const Guid&) = default;
};

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional, hex digits in either case).
MIRELDA_API std::optional<Guid> ParseGuid(std::string_view text);

// Upper-case text form with braces.
MIRELDA_API std::string ToString(const Guid& guid);

}  // namespace mirelda
