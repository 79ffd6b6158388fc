// Jet database files: SQLite databases whose header carries a format mark for Jet 3.51 or 4.0 in
// the application id field. A file without one of these marks is not a Jet database, whatever
// else it holds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "data/connection_string.h"

namespace mirelda::data {

// The application ids: "MJ35" and "MJ40" in ASCII.
inline constexpr uint32_t kJet35Mark = 0x4D4A3335;
inline constexpr uint32_t kJet40Mark = 0x4D4A3430;

uint32_t FormatMark(JetFormat format);

// The format of the Jet file at path. Raises Error (unspecified) with a clear description when
// the file is missing, a folder, empty, or not a Jet database. page_path names it in messages.
JetFormat InspectJetFile(const std::filesystem::path& path, std::string_view page_path);

// Creates a new, empty Jet file. Raises kDatabaseExists when the path exists (the file is not
// touched) and an unspecified error when its folder does not; nothing is left behind on failure.
void CreateJetFile(const std::filesystem::path& path, std::string_view page_path, JetFormat format);

// Writes a compacted copy of source to destination in the given format. Raises, leaving no
// destination file, when the source is no Jet database or the destination exists.
void CompactJetFile(const std::filesystem::path& source, std::string_view source_page,
                    const std::filesystem::path& destination, std::string_view destination_page,
                    JetFormat format);

}  // namespace mirelda::data
