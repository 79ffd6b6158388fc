// A page as the JavaScript of one function. Literal text becomes calls that write it, "<%= expr %>"
// a call that writes the value, and code stays as it is; a line map leads every line of the
// result back to its file and line, for error messages.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/page/page_source.h"
#include "host/page/script_engine.h"

namespace mirelda::script::javascript {

// The parameters of the page function, in order: the five objects, the writers of literal text (by
// index into PageScript::literals) and of values, the name of a function the page defines that is
// to be called after its code (global.asa's events) or undefined, and the keeper of the page's
// scope for its other languages.
inline constexpr const char kPageFunctionHeader[] =
    "function (Request, Response, Server, Session, Application, __mireldaLiteral, "
    "__mireldaWrite, __mireldaCall, __mireldaScope, __mireldaEnd) {";

struct PageScript final : host::CompiledScript {
  std::string url_path;     // of the page
  // The page's JavaScript when another language runs the page: eval code (so that what it
  // declares are globals the run's end can remove) rather than the page function.
  bool secondary = false;
  uint64_t generation = 0;  // of the page source it was made from
  std::string script;       // "function (...) {" + body + "}"
  std::vector<std::string> literals;
  std::vector<std::string> files;  // URL paths; files[0] is the page
  // For each line of script (index 0 is line 1): index into files, and line in that file.
  std::vector<std::pair<uint32_t, uint32_t>> lines;
  // For a page whose other languages reach its names: the names its code declares with
  // "function" or "var", which are locals of the page function, reached through the scope the
  // function hands to __mireldaScope. Empty otherwise.
  bool exposes_scope = false;
  std::vector<std::string> declared_names;

  // The source location of a line of script; the page's first line for lines out of range.
  host::SourceLocation Locate(int script_line) const;
};

// The JavaScript function of a page, from its literal text and code, whatever their language
// (the page cache hands each engine its own code).
std::shared_ptr<const PageScript> BuildPageScript(const host::PageSource& source);
// The code of a page whose primary language is another, in page order, as eval code.
std::shared_ptr<const PageScript> BuildSecondaryScript(const host::PageSource& source);

}  // namespace mirelda::script::javascript
