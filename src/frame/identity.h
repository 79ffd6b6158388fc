// The fixed identity of the component library: ProgIDs, class and interface identifiers, and the
// type library. The GUIDs were chosen once and never change between builds.
#pragma once

#include <array>
#include <string_view>

#include "mirelda/guid.h"

namespace mirelda::frame {

inline constexpr std::string_view kTypeLibraryName = "Mirelda";
inline constexpr std::string_view kTypeLibraryVersion = "181.0";
inline constexpr std::string_view kThreadingModel = "Apartment";
inline constexpr std::string_view kFileVersion = "1.0.0.0";

struct ClassIdentity {
  std::string_view class_name;      // "Database"
  std::string_view prog_id;         // "Mirelda.Database"
  std::string_view interface_name;  // "_Database"
  Guid class_id;
  Guid interface_id;
};

const Guid& TypeLibraryId();
const ClassIdentity& DatabaseIdentity();
const ClassIdentity& FileSystemIdentity();
const ClassIdentity& WebPageIdentity();
// The three classes, in the order of the type library.
const std::array<const ClassIdentity*, 3>& AllClasses();

}  // namespace mirelda::frame
