// Reads one named section of an ELF file without loading it, so that a tool can show a library's
// version mark as a file property.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace mirelda::tools {

// The bytes of the section, or nothing when the file is no 64-bit ELF file or has no such section.
std::optional<std::string> ReadElfSection(const std::filesystem::path& file,
                                          const std::string& section_name);

}  // namespace mirelda::tools
