// Entity tags of static files, made from the file's size and modification time so that they
// change whenever the file does, and the conditional request that uses them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mirelda::host {

struct EntityTags {
  std::string identity;  // the file as it is
  std::string gzip;      // its gzip form, a representation of its own
};

EntityTags EntityTagsOf(uint64_t size, int64_t modified_ns);

// True when a conditional GET is answered 304: If-None-Match names either tag (weakly compared)
// or "*"; without If-None-Match, If-Modified-Since is not before the modification time.
bool NotModified(std::string_view if_none_match, std::string_view if_modified_since,
                 const EntityTags& tags, int64_t modified_seconds);

// True when a Range may be answered with a part: there is no If-Range, or it names the file as
// it is now, by its tag (strongly compared, so a weak tag never does) or by its exact
// modification time. A client resuming a download of an older version gets the whole file
// rather than the new version's bytes spliced onto the old ones.
bool RangeStillApplies(std::string_view if_range, const EntityTags& tags,
                       int64_t modified_seconds);

}  // namespace mirelda::host
