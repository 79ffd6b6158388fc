// Pages speak Windows-form paths ("C:\data\shop.mdb"). The path map, one per process, turns them
// into host paths: a drive letter resolves to a configured folder, "\" and "/" are alike, a POSIX
// absolute path passes through, and a relative path is taken from the current folder. Every file
// operation of the components and the data layer goes through it. Safe to use from any thread.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "mirelda/export.h"

namespace mirelda::paths {

// Maps a drive letter (either case) to a host folder, replacing an earlier mapping.
MIRELDA_API void MapDrive(char letter, const std::filesystem::path& folder);
MIRELDA_API void UnmapDrive(char letter);
MIRELDA_API void ClearDrives();
// The current mappings, upper-case letters.
MIRELDA_API std::map<char, std::filesystem::path> Drives();
// Reads mappings such as "C:=/var/lib/mirelda/c;D:=/srv/data" (the MIRELDA_DRIVES form). Raises
// Error (Invalid procedure call, 5) naming the bad entry.
MIRELDA_API void MapDrives(std::string_view spec);

// The host path of a page path. Raises Error Path not found (76) for a drive that is not mapped
// and for network (UNC) paths. The result is lexically normal; ".." never climbs above a drive's
// folder.
MIRELDA_API std::filesystem::path Resolve(std::string_view page_path);

// The page path of a host path: drive form ("C:\data\shop.mdb") when it lies under a mapped
// folder (the longest mapping wins), otherwise the host path itself.
MIRELDA_API std::string ToPagePath(const std::filesystem::path& host_path);

// True when a page path is absolute: a drive letter and colon, or a leading "/" or "\".
MIRELDA_API bool IsAbsolute(std::string_view page_path);

}  // namespace mirelda::paths
