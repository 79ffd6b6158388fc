// Finds where any of a few byte markers start in one pass over a stretch of bytes, so that a
// large body is read from memory once however many markers are looked for.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string_view>

namespace mirelda::upload {

// Calls found(marker, at) for every offset at in [begin, end) where markers[marker] starts and
// lies whole within data, in increasing order of at (and of marker at one offset). A marker may
// run past end, never past data. Empty markers are never found.
void ScanForMarkers(std::string_view data, size_t begin, size_t end,
                    std::span<const std::string_view> markers,
                    const std::function<void(size_t marker, size_t at)>& found);

}  // namespace mirelda::upload
