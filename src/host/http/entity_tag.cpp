#include "host/http/entity_tag.h"

#include <charconv>
#include <optional>

#include "host/http/header_text.h"
#include "host/http/http_date.h"

namespace mirelda::host {

EntityTags EntityTagsOf(uint64_t size, int64_t modified_ns) {
  char text[48];
  char* end = text;
  *end++ = '"';
  end = std::to_chars(end, text + sizeof text, size, 16).ptr;
  *end++ = '-';
  end = std::to_chars(end, text + sizeof text, static_cast<uint64_t>(modified_ns), 16).ptr;
  std::string identity(text, end);
  std::string gzip = identity + "-gz\"";
  identity += '"';
  return {std::move(identity), std::move(gzip)};
}

bool NotModified(std::string_view if_none_match, std::string_view if_modified_since,
                 const EntityTags& tags, int64_t modified_seconds) {
  if (!if_none_match.empty()) {
    while (!if_none_match.empty()) {
      size_t comma = if_none_match.find(',');
      std::string_view tag = if_none_match.substr(0, comma);
      if_none_match =
          comma == std::string_view::npos ? std::string_view() : if_none_match.substr(comma + 1);
      while (!tag.empty() && tag.front() == ' ') tag.remove_prefix(1);
      while (!tag.empty() && tag.back() == ' ') tag.remove_suffix(1);
      if (tag == "*") return true;
      if (tag.substr(0, 2) == "W/") tag.remove_prefix(2);
      if (tag == tags.identity || tag == tags.gzip) return true;
    }
    return false;
  }
  if (if_modified_since.empty()) return false;
  std::optional<int64_t> when = ParseHttpDate(if_modified_since);
  return when && *when >= modified_seconds;
}

bool RangeStillApplies(std::string_view if_range, const EntityTags& tags,
                       int64_t modified_seconds) {
  if_range = TrimHeaderSpace(if_range);
  if (if_range.empty()) return true;
  if (if_range.front() == '"' || if_range.substr(0, 2) == "W/") return if_range == tags.identity;
  std::optional<int64_t> when = ParseHttpDate(if_range);
  return when && *when == modified_seconds;
}

}  // namespace mirelda::host
