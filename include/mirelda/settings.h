// Process-wide named settings that the host reads from its config file ("[section]" followed by
// "key = value" lines) and that objects created by ProgID consult: data source names, the mail
// server, the hosts that server-side HTTP may reach. Keys are matched without regard to case.
// Safe to use from any thread; a section is replaced as a whole, so readers see either the old
// or the new entries, never a mix.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mirelda/export.h"

namespace mirelda::settings {

using Entries = std::vector<std::pair<std::string, std::string>>;  // key, value; in file order

// Replaces every entry of a section (a name without regard to case).
MIRELDA_API void SetSection(std::string_view section, Entries entries);
// The entries of a section, empty when it was never set.
MIRELDA_API Entries Section(std::string_view section);
// The value of the first entry named key in a section.
MIRELDA_API std::optional<std::string> Get(std::string_view section, std::string_view key);
// Forgets every section (tests).
MIRELDA_API void ClearAll();

}  // namespace mirelda::settings
