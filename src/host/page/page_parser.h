// Reads a script page and its includes into a PageSource: literal text, "<% code %>",
// "<%= expr %>", "<%@ ... %>" directives (LANGUAGE, CODEPAGE, ENABLESESSIONSTATE),
// "<script runat="server" language="...">" blocks and "<!-- #include file|virtual="..." -->",
// every piece with the file, line and column it came from. Knows no script language: the names
// pages give languages in are turned into canonical names by the caller's function.
//
// Page files are UTF-8 (a byte-order mark is dropped); a file that is not valid UTF-8 is read in
// the fallback code page, as older sites saved them; a page whose CODEPAGE directive names a code
// page is read in that one. Safe to call from any thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "host/page/page_source.h"

namespace mirelda::host {

struct PageParseOptions {
  // The canonical language of a page that names none.
  std::string default_language = "vbscript";
  int32_t fallback_code_page = 936;
  // The canonical name of a language name as pages write it ("JScript" -> "javascript"); empty
  // when no engine takes that language.
  std::function<std::string(std::string_view)> canonical_language;
};

// Parses the page at url_path ("/app/page.asp") of the site in site_root. Throws PageError for an
// unclosed block, a language no engine takes, an include that is missing, leaves the site or nests
// deeper than 16 levels, and for a file whose bytes are text in neither UTF-8 nor its code page.
std::shared_ptr<const PageSource> ParsePage(const std::filesystem::path& site_root,
                                            const std::string& url_path,
                                            const PageParseOptions& options);

}  // namespace mirelda::host
