#include "script/javascript/page_script.h"

#include <algorithm>

namespace mirelda::script::javascript {
namespace {

// Appends JavaScript while keeping, for each line it makes, the source line it came from.
class Emitter {
 public:
  Emitter(PageScript& page, std::string_view header) : page_(page) {
    page_.script = header;
    page_.lines.emplace_back(0, 1);
  }

  // Starts a new line of script that belongs to the given source line.
  void NewLine(uint32_t file, uint32_t line) {
    page_.script += '\n';
    page_.lines.emplace_back(file, line);
  }
  void Append(std::string_view js) { page_.script += js; }
  // Source code as it is; its line breaks advance *line.
  void Code(std::string_view code, uint32_t file, uint32_t* line) {
    for (char c : code) {
      if (c == '\n') {
        NewLine(file, ++*line);
      } else {
        page_.script += c;
      }
    }
  }
  // The end of the function: the call of an event function when one was asked for and the
  // page defines it (the name is one the host chose, never page text). The names the page
  // declares are looked up directly; any other is looked for among the globals by an indirect
  // eval. A direct eval here would make the engine keep every page's variables by name and
  // build its arguments object on every run. Last, the word that the page's code has ended, so
  // that the wrappers its variables hold die without a finalizer call each.
  void Close(const std::vector<std::string>& declared) {
    NewLine(0, 1);
    page_.script += "if (__mireldaCall) { var __mireldaEvent = null; switch (__mireldaCall) { ";
    for (const std::string& name : declared) {
      page_.script += "case \"" + name + "\": __mireldaEvent = typeof " + name +
                      " === 'function' ? " + name + " : null; break; ";
    }
    page_.script +=
        "default: __mireldaEvent = (0, eval)('typeof ' + __mireldaCall + \" === 'function' ? \" "
        "+ __mireldaCall + \" : null\"); } if (__mireldaEvent) __mireldaEvent(); } "
        "__mireldaEnd();";
    NewLine(0, 1);
    page_.script += '}';
  }

 private:
  PageScript& page_;
};

bool IdentifierStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
}
bool IdentifierPart(char c) { return IdentifierStart(c) || (c >= '0' && c <= '9'); }

// The names after "function" and "var" in code: a plain scan of its words, which may take a word
// of a string or a comment too; a name that the page does not have is simply not found when the
// other language asks for it.
void DeclaredNames(std::string_view code, std::vector<std::string>& names) {
  std::string_view previous;
  for (size_t i = 0; i < code.size();) {
    if (!IdentifierStart(code[i]) || (i > 0 && IdentifierPart(code[i - 1]))) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < code.size() && IdentifierPart(code[end])) ++end;
    std::string_view word = code.substr(i, end - i);
    if ((previous == "function" || previous == "var") && word != "function" && word != "var") {
      names.emplace_back(word);
    }
    previous = word;
    i = end;
  }
}

}  // namespace

host::SourceLocation PageScript::Locate(int script_line) const {
  if (script_line < 1 || static_cast<size_t>(script_line) > lines.size()) {
    return {files.empty() ? url_path : files[0], 1, 0};
  }
  auto [file, line] = lines[static_cast<size_t>(script_line) - 1];
  return {files[file], static_cast<int>(line), 0};
}

std::shared_ptr<const PageScript> BuildPageScript(const host::PageSource& source) {
  auto page = std::make_shared<PageScript>();
  page->url_path = source.url_path;
  page->generation = source.generation;
  page->files = source.files;
  Emitter emitter(*page, kPageFunctionHeader);
  // Words after "function" or "var": the names an event call may find in the page, and those the
  // page's other languages reach.
  std::vector<std::string> declared;
  for (const host::Segment& segment : source.segments) {
    if (segment.kind == host::SegmentKind::kCode) DeclaredNames(segment.text, declared);
  }
  if (source.reached_by_other_languages) {
    // On the header's line, so that the lines of the page keep their numbers. Only such pages
    // pay for the eval, which makes the engine keep the function's variables by name.
    page->exposes_scope = true;
    emitter.Append(
        " __mireldaScope(function (__mireldaName) { return eval(__mireldaName); }, "
        "function (__mireldaName, __mireldaValue) { eval(__mireldaName + ' = __mireldaValue'); "
        "});");
    page->declared_names = declared;
  }
  for (const host::Segment& segment : source.segments) {
    uint32_t line = segment.line;
    switch (segment.kind) {
      case host::SegmentKind::kLiteral:
        emitter.NewLine(segment.file, line);
        emitter.Append("__mireldaLiteral(" + std::to_string(page->literals.size()) + ");");
        page->literals.push_back(segment.text);
        break;
      case host::SegmentKind::kExpression:
        emitter.NewLine(segment.file, line);
        emitter.Append("__mireldaWrite(");
        emitter.Code(segment.text, segment.file, &line);
        // On a line of its own, so that a comment at the end of the expression ends there.
        emitter.NewLine(segment.file, line);
        emitter.Append(");");
        break;
      case host::SegmentKind::kCode:
        emitter.NewLine(segment.file, line);
        emitter.Code(segment.text, segment.file, &line);
        break;
    }
  }
  // The scan may take a word of a comment or a string: one that cannot stand as a name stays out,
  // as do the two whose mention alone slows the function down again.
  std::erase_if(declared, [](const std::string& name) {
    static constexpr std::string_view kNotNames[] = {
        "arguments", "await",      "break",   "case",    "catch",      "class",     "const",
        "continue",  "debugger",   "default", "delete",  "do",         "else",      "enum",
        "eval",      "export",     "extends", "false",   "finally",    "for",       "function",
        "if",        "implements", "import",  "in",      "instanceof", "interface", "let",
        "new",       "null",       "package", "private", "protected",  "public",    "return",
        "static",    "super",      "switch",  "this",    "throw",      "true",      "try",
        "typeof",    "var",        "void",    "while",   "with",       "yield"};
    return std::find(std::begin(kNotNames), std::end(kNotNames), name) != std::end(kNotNames);
  });
  // Once each.
  std::sort(declared.begin(), declared.end());
  declared.erase(std::unique(declared.begin(), declared.end()), declared.end());
  emitter.Close(declared);
  return page;
}

std::shared_ptr<const PageScript> BuildSecondaryScript(const host::PageSource& source) {
  auto page = std::make_shared<PageScript>();
  page->url_path = source.url_path;
  page->generation = source.generation;
  page->files = source.files;
  page->secondary = true;
  Emitter emitter(*page, "");
  for (const host::Segment& segment : source.segments) {
    if (segment.kind != host::SegmentKind::kCode) continue;
    uint32_t line = segment.line;
    emitter.NewLine(segment.file, line);
    emitter.Code(segment.text, segment.file, &line);
  }
  return page;
}

}  // namespace mirelda::script::javascript
