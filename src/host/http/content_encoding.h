// gzip for replies: which replies are worth compressing, whether the client takes gzip, and the
// compression itself (ISA-L for a reply made once, zlib for one kept and sent many times).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace mirelda::host {

// Replies smaller than this gain too little to pay for the compression.
inline constexpr size_t kCompressMinimum = 1024;

// True for text types (text/*, JSON, XML, JavaScript, SVG); never for images, archives, fonts
// and other types that are compressed already.
bool IsCompressibleType(std::string_view content_type);

// True when an Accept-Encoding header value takes gzip (a q of 0 refuses it; "*" takes it).
bool AcceptsGzip(std::string_view accept_encoding);

// The gzip stream of bytes compressed for one reply, as fast as compressing goes.
// nullopt when compressing fails.
std::optional<std::string> GzipForReply(std::string_view bytes);

// The gzip stream of bytes compressed to keep (a static file's, sent many times): smaller and
// slower. nullopt when compressing fails.
std::optional<std::string> GzipToKeep(std::string_view bytes);

}  // namespace mirelda::host
