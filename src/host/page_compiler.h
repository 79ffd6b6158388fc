// Turns a script page into the JavaScript of one function. Literal text becomes calls that write
// it, "<%= expr %>" a call that writes the value, "<% code %>" stays as it is, "<%@ ... %>"
// directives are read and dropped, "<script runat="server">...</script>" is code like a "<% %>"
// block (never sent to the browser), and "<!-- #include file|virtual="..." -->" in literal text
// brings in another file of the site. A line map leads every line of the result back to its file
// and line, for error messages.
//
// Page files are UTF-8 (a byte-order mark is dropped); a file that is not valid UTF-8 is read in
// the host's code page, as older sites saved them.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace mirelda::host {

struct SourceLocation {
  std::string file;  // URL path of the source file in the site: "/inc/menu.inc"
  int line = 0;
};

// The parameters of the page function, in order: the five objects, then the writers of literal
// text (by index into CompiledPage::literals) and of values.
inline constexpr const char kPageFunctionHeader[] =
    "function (Request, Response, Server, Session, Application, __mireldaLiteral, "
    "__mireldaWrite) {";

struct CompiledPage {
  std::string url_path;  // of the page
  std::string script;    // "function (...) {" + body + "}"
  std::vector<std::string> literals;
  std::vector<std::string> files;  // URL paths; files[0] is the page
  // For each line of script (index 0 is line 1): index into files, and line in that file.
  std::vector<std::pair<uint32_t, uint32_t>> lines;

  struct Dependency {
    std::filesystem::path path;
    int64_t mtime_ns = 0;
    off_t size = 0;
  };
  std::vector<Dependency> dependencies;  // the page and every included file
  uint64_t generation = 0;               // unique per compilation

  // The source location of a line of script; the page's first line for lines out of range.
  SourceLocation Locate(int script_line) const;
  // True when no file the page was made from has changed since.
  bool IsCurrent() const;
};

class PageCompileError : public std::runtime_error {
 public:
  PageCompileError(const std::string& message, SourceLocation where)
      : std::runtime_error(message), where_(std::move(where)) {}
  const SourceLocation& where() const { return where_; }

 private:
  SourceLocation where_;
};

// Compiles the page at url_path ("/app/page.asp") of the site in site_root. Raises
// PageCompileError for an unclosed block, a page in another script language, an include that is
// missing, leaves the site or nests deeper than 16 levels. fallback_code_page decodes files that
// are not UTF-8.
std::shared_ptr<CompiledPage> CompilePage(const std::filesystem::path& site_root,
                                          const std::string& url_path, int32_t fallback_code_page);

}  // namespace mirelda::host
