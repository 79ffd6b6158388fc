#include "host/page/site_check.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <tuple>
#include <vector>

#include "host/page/page_cache.h"
#include "mirelda/error.h"
#include "mirelda/registry.h"
#include "mirelda/text.h"
#include "platform/errno_error.h"

namespace mirelda::host {
namespace {

namespace fs = std::filesystem;

// The objects the host gives every page by name, beside those its object tags declare.
constexpr const char* kHostNames[] = {"Request", "Response",    "Server",
                                      "Session", "Application", "ObjectContext"};

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

size_t SkipBlanks(const std::string& text, size_t i) {
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  return i;
}

struct ProgIdUse {
  std::string prog_id;
  SourceLocation where;
};

// The string literals that code passes to CreateObject or Server.CreateObject, as
// CreateObject("X") or CreateObject('X'). A plain scan of the text that calls in either language
// fit; a ProgID the page computes is not seen.
std::vector<ProgIdUse> CreatedProgIds(const PageSource& source) {
  static constexpr std::string_view kCall = "createobject";
  std::vector<ProgIdUse> uses;
  for (const Segment& segment : source.segments) {
    if (segment.kind == SegmentKind::kLiteral) continue;
    const std::string& code = segment.text;
    std::string lower = text::ToLowerAscii(code);
    for (size_t at = lower.find(kCall); at != std::string::npos;
         at = lower.find(kCall, at + kCall.size())) {
      if (at > 0 && IsNameChar(code[at - 1])) continue;
      size_t open = SkipBlanks(code, at + kCall.size());
      if (open >= code.size() || code[open] != '(') continue;
      size_t quote = SkipBlanks(code, open + 1);
      if (quote >= code.size() || (code[quote] != '"' && code[quote] != '\'')) continue;
      size_t end = code.find_first_of(std::string{code[quote], '\n'}, quote + 1);
      if (end == std::string::npos || code[end] != code[quote]) continue;
      size_t close = SkipBlanks(code, end + 1);
      if (close >= code.size() || code[close] != ')') continue;
      auto lines = static_cast<int>(std::count(code.begin(), code.begin() + quote, '\n'));
      size_t line_start = lines == 0 ? 0 : code.rfind('\n', quote) + 1;
      uses.push_back({code.substr(quote + 1, end - quote - 1),
                      source.Locate(segment, lines, static_cast<int>(quote - line_start) + 1)});
    }
  }
  return uses;
}

// What this host can create: the in-process class table, then the registration store.
class Creatable {
 public:
  Creatable() : registered_(RegistrationStore(RegistrationStore::DefaultPath()).Load()) {}

  bool Has(std::string_view prog_id) const {
    return ClassTable::Find(prog_id).has_value() || registered_.FindProgId(prog_id) != nullptr;
  }

 private:
  Registrations registered_;
};

PageFinding CannotCreate(const std::string& prog_id, SourceLocation where) {
  return PageFinding(Error(errc::kCannotCreateObject,
                           StandardDescription(errc::kCannotCreateObject) + ": '" + prog_id + "'"),
                     std::move(where));
}

// The findings of one page, in the order of their places.
std::vector<PageFinding> CheckPage(const PageCache& cache, const EngineRegistry& engines,
                                   const std::string& url_path, bool global,
                                   const std::vector<std::string>& global_objects,
                                   const Creatable& creatable) {
  std::vector<PageFinding> findings;
  try {
    std::shared_ptr<CompiledPage> page = cache.Read(url_path, global);
    const PageSource& source = *page->source;
    std::vector<std::string> known(std::begin(kHostNames), std::end(kHostNames));
    known.insert(known.end(), global_objects.begin(), global_objects.end());
    for (const ObjectTag& tag : source.objects) {
      known.push_back(tag.id);
      if (!creatable.Has(tag.prog_id)) findings.push_back(CannotCreate(tag.prog_id, tag.where));
    }
    for (const ProgIdUse& use : CreatedProgIds(source)) {
      if (!creatable.Has(use.prog_id)) findings.push_back(CannotCreate(use.prog_id, use.where));
    }
    std::vector<std::string> others = OtherLanguages(source);
    if (others.empty()) {
      std::vector<PageFinding> found = page->engine->Check(source, known);
      findings.insert(findings.end(), found.begin(), found.end());
    } else {
      // A name may come from the page's other language, which no check lists: a page of two
      // languages is checked for what each of them cannot compile, and its names are left alone.
      page->engine->Check(LanguagePart(source, source.directives.language), known);
      for (const std::string& language : others) {
        engines.Find(language)->Check(LanguagePart(source, language), known);
      }
    }
  } catch (const PageError& e) {
    findings.push_back(e.failure());
  } catch (const Error& e) {
    // An engine that could not take the page at all (no memory for its heap, ...) has no place
    // in it to point at.
    findings.push_back(PageFinding(e, SourceLocation{url_path, 0, 0}));
  }
  for (PageFinding& finding : findings) {
    if (finding.where.file.empty()) finding.where.file = url_path;
  }
  std::stable_sort(findings.begin(), findings.end(), [](const auto& a, const auto& b) {
    return std::tie(a.where.file, a.where.line, a.where.column) <
           std::tie(b.where.file, b.where.line, b.where.column);
  });
  return findings;
}

// The .asp files under root as URL paths, sorted; hidden files and folders, which the host never
// serves, are left out.
std::vector<std::string> SitePages(const fs::path& root) try {
  std::vector<std::string> pages;
  fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied);
  for (; it != fs::recursive_directory_iterator(); ++it) {
    std::string name = it->path().filename().string();
    if (name.starts_with(".")) {
      it.disable_recursion_pending();
      continue;
    }
    if (!it->is_regular_file() ||
        !text::EqualsIgnoreCase(it->path().extension().string(), ".asp")) {
      continue;
    }
    pages.push_back("/" + it->path().lexically_relative(root).generic_string());
  }
  std::sort(pages.begin(), pages.end());
  return pages;
} catch (const fs::filesystem_error& e) {
  // The library's own text names the folder and the reason; the number is the runtime's.
  throw Error(platform::LookUpErrno(e.code().value()).number, e.what());
}

std::string Line(const PageFinding& finding) {
  std::string description = finding.description;
  std::replace(description.begin(), description.end(), '\n', ' ');
  return finding.where.file + ":" + std::to_string(finding.where.line) + ":" +
         std::to_string(finding.where.column) + ": error " + std::to_string(finding.number) + ": " +
         description;
}

}  // namespace

size_t CheckSite(const fs::path& site_root, const EngineRegistry& engines,
                 const SiteCheckSettings& settings, std::ostream& out) {
  PageCache cache(site_root, engines, settings.default_language, settings.fallback_code_page);
  Creatable creatable;
  std::vector<std::pair<std::string, bool>> pages;
  std::vector<std::string> global_objects;
  std::string global = cache.GlobalUrlPath();
  if (!global.empty()) {
    pages.emplace_back(global, true);
    try {
      std::shared_ptr<const CompiledPage> page = cache.Read(global, true);
      for (const ObjectTag& tag : page->source->objects) {
        global_objects.push_back(tag.id);
      }
    } catch (const PageError&) {
      // Reported when global.asa itself is checked.
    }
  }
  for (std::string& page : SitePages(site_root)) pages.emplace_back(std::move(page), false);
  std::set<std::string> written;
  for (const auto& [url_path, is_global] : pages) {
    for (const PageFinding& finding :
         CheckPage(cache, engines, url_path, is_global, global_objects, creatable)) {
      std::string line = Line(finding);
      if (written.insert(line).second) out << line << '\n';
    }
  }
  size_t problems = written.size();
  out << pages.size() << (pages.size() == 1 ? " page" : " pages") << " checked, " << problems
      << (problems == 1 ? " problem" : " problems") << '\n';
  return problems;
}

}  // namespace mirelda::host
