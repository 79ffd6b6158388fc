#include "host/page_compiler.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>

#include "host/code_page.h"
#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::host {
namespace {

constexpr int kMaxIncludeDepth = 16;

std::atomic<uint64_t> g_generation{0};

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    auto c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80             ? 1
               : (c & 0xE0) == 0xC0 ? 2
               : (c & 0xF0) == 0xE0 ? 3
               : (c & 0xF8) == 0xF0 ? 4
                                    : 0;
    if (n == 0 || i + n > s.size() || (n == 2 && c < 0xC2)) return false;
    for (size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

int CountLines(std::string_view s) {
  int n = 0;
  for (char c : s) n += c == '\n';
  return n;
}

bool StartsWithNoCase(std::string_view s, size_t at, std::string_view word) {
  return s.size() - at >= word.size() && text::EqualsIgnoreCase(s.substr(at, word.size()), word);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// An include directive found in literal text.
struct Include {
  size_t begin = std::string_view::npos;  // of "<!--"
  size_t end = 0;                         // after "-->"
  bool is_virtual = false;
  std::string target;
};

// Reads "<!-- #include file="x" -->" at position at; false when the comment is something else.
bool ReadInclude(std::string_view s, size_t at, Include* out) {
  size_t i = at + 4;
  while (i < s.size() && IsBlank(s[i])) ++i;
  if (!StartsWithNoCase(s, i, "#include")) return false;
  i += 8;
  size_t before_key = i;
  while (i < s.size() && IsBlank(s[i])) ++i;
  if (i == before_key) return false;
  bool is_virtual;
  if (StartsWithNoCase(s, i, "file")) {
    is_virtual = false;
    i += 4;
  } else if (StartsWithNoCase(s, i, "virtual")) {
    is_virtual = true;
    i += 7;
  } else {
    return false;
  }
  while (i < s.size() && IsBlank(s[i])) ++i;
  if (i >= s.size() || s[i] != '=') return false;
  ++i;
  while (i < s.size() && IsBlank(s[i])) ++i;
  if (i >= s.size() || (s[i] != '"' && s[i] != '\'')) return false;
  char quote = s[i++];
  size_t close = s.find(quote, i);
  if (close == std::string_view::npos) return false;
  std::string target(s.substr(i, close - i));
  i = close + 1;
  while (i < s.size() && IsBlank(s[i])) ++i;
  if (!StartsWithNoCase(s, i, "-->")) return false;
  out->begin = at;
  out->end = i + 3;
  out->is_virtual = is_virtual;
  out->target = std::move(target);
  return true;
}

Include FindInclude(std::string_view s, size_t from) {
  Include found;
  for (size_t at = s.find("<!--", from); at != std::string_view::npos;
       at = s.find("<!--", at + 4)) {
    if (ReadInclude(s, at, &found)) return found;
  }
  return found;
}

// A "<script runat="server">code</script>" block found in literal text.
struct ServerScript {
  size_t begin = std::string_view::npos;  // of "<script"
  size_t code_begin = 0;
  size_t code_end = 0;
  size_t end = 0;  // after "</script>"
  bool other_language = false;
  bool closed = false;
};

size_t FindNoCase(std::string_view s, std::string_view word, size_t from) {
  for (size_t at = s.find('<', from); at != std::string_view::npos; at = s.find('<', at + 1)) {
    if (StartsWithNoCase(s, at, word)) return at;
  }
  return std::string_view::npos;
}

bool ReadServerScript(std::string_view s, size_t at, ServerScript* out) {
  size_t i = at + 7;  // after "<script"
  if (i >= s.size() || !(IsBlank(s[i]) || s[i] == '>')) return false;
  size_t close = s.find('>', i);
  if (close == std::string_view::npos) return false;
  std::string attributes = text::ToLowerAscii(s.substr(i, close - i));
  size_t runat = attributes.find("runat");
  if (runat == std::string::npos) return false;
  size_t k = runat + 5;
  while (k < attributes.size() && IsBlank(attributes[k])) ++k;
  if (k >= attributes.size() || attributes[k] != '=') return false;
  ++k;
  while (k < attributes.size() && IsBlank(attributes[k])) ++k;
  if (k < attributes.size() && (attributes[k] == '"' || attributes[k] == '\'')) ++k;
  if (attributes.compare(k, 6, "server") != 0) return false;
  out->begin = at;
  out->code_begin = close + 1;
  out->other_language = attributes.find("vbscript") != std::string::npos;
  size_t end_tag = FindNoCase(s, "</script", out->code_begin);
  size_t end = end_tag == std::string_view::npos ? end_tag : s.find('>', end_tag);
  out->closed = end != std::string_view::npos;
  out->code_end = out->closed ? end_tag : s.size();
  out->end = out->closed ? end + 1 : s.size();
  return true;
}

ServerScript FindServerScript(std::string_view s, size_t from) {
  ServerScript found;
  for (size_t at = FindNoCase(s, "<script", from); at != std::string_view::npos;
       at = FindNoCase(s, "<script", at + 7)) {
    if (ReadServerScript(s, at, &found)) return found;
  }
  return found;
}

// Appends JavaScript while keeping, for each line it makes, the source line it came from.
class Emitter {
 public:
  explicit Emitter(CompiledPage& page) : page_(page) {
    page_.script = kPageFunctionHeader;
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
  void Close(uint32_t file, uint32_t line) {
    NewLine(file, line);
    page_.script += '}';
  }

 private:
  CompiledPage& page_;
};

class Compiler {
 public:
  Compiler(const std::filesystem::path& site_root, CompiledPage& page, int32_t fallback_code_page)
      : site_root_(site_root),
        page_(page),
        emitter_(page),
        fallback_code_page_(fallback_code_page) {}

  void CompileFile(const std::string& url_path, int depth, const SourceLocation& included_at) {
    if (depth > kMaxIncludeDepth) {
      throw PageCompileError("Includes nest deeper than " + std::to_string(kMaxIncludeDepth) +
                                 " levels (is a file including itself?)",
                             included_at);
    }
    std::string source = ReadSource(url_path, included_at);
    auto file = static_cast<uint32_t>(page_.files.size());
    page_.files.push_back(url_path);
    uint32_t line = 1;
    std::string_view s = source;
    size_t pos = 0;
    ServerScript script;
    bool script_known = false;
    while (pos < s.size()) {
      size_t open = s.find("<%", pos);
      Include include =
          FindInclude(s.substr(0, open == std::string_view::npos ? s.size() : open), pos);
      // The next server script block stays valid until the scan passes it.
      if (!script_known || (script.begin != std::string_view::npos && script.begin < pos)) {
        script = FindServerScript(s, pos);
        script_known = true;
      }
      size_t next = std::min({open, include.begin, script.begin});
      std::string_view literal =
          s.substr(pos, next == std::string_view::npos ? s.npos : next - pos);
      if (!literal.empty()) {
        emitter_.NewLine(file, line);
        emitter_.Append("__mireldaLiteral(" + std::to_string(page_.literals.size()) + ");");
        page_.literals.emplace_back(literal);
        line += CountLines(literal);
      }
      if (next == std::string_view::npos) break;
      if (next == include.begin) {
        std::string target = ResolveInclude(url_path, include, {url_path, static_cast<int>(line)});
        CompileFile(target, depth + 1, {url_path, static_cast<int>(line)});
        line += CountLines(s.substr(include.begin, include.end - include.begin));
        pos = include.end;
        continue;
      }
      if (next == script.begin) {
        SourceLocation at{url_path, static_cast<int>(line)};
        if (script.other_language) {
          throw PageCompileError(
              "Pages are written in JavaScript here; this script block asks for another language",
              at);
        }
        if (!script.closed) {
          throw PageCompileError("A <script runat=\"server\"> block is never closed", at);
        }
        line += CountLines(s.substr(script.begin, script.code_begin - script.begin));
        emitter_.NewLine(file, line);
        emitter_.Code(s.substr(script.code_begin, script.code_end - script.code_begin), file,
                      &line);
        line += CountLines(s.substr(script.code_end, script.end - script.code_end));
        pos = script.end;
        continue;
      }
      size_t close = s.find("%>", open + 2);
      if (close == std::string_view::npos) {
        throw PageCompileError("A script block opened with <% is never closed with %>",
                               {url_path, static_cast<int>(line)});
      }
      std::string_view body = s.substr(open + 2, close - open - 2);
      if (!body.empty() && body[0] == '@') {
        CheckDirective(body, {url_path, static_cast<int>(line)});
        line += CountLines(body);
      } else if (!body.empty() && body[0] == '=') {
        emitter_.NewLine(file, line);
        emitter_.Append("__mireldaWrite(");
        emitter_.Code(body.substr(1), file, &line);
        // On a line of its own, so that a comment at the end of the expression ends there.
        emitter_.NewLine(file, line);
        emitter_.Append(");");
      } else {
        emitter_.NewLine(file, line);
        emitter_.Code(body, file, &line);
      }
      pos = close + 2;
    }
  }

  void Finish() { emitter_.Close(0, 1); }

 private:
  std::string ReadSource(const std::string& url_path, const SourceLocation& included_at) {
    std::filesystem::path path = HostPath(url_path);
    struct stat st {};
    std::ifstream in(path, std::ios::binary);
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !in) {
      throw PageCompileError("Cannot read the file " + url_path, included_at);
    }
    std::ostringstream content;
    content << in.rdbuf();
    page_.dependencies.push_back(
        {path, static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
         st.st_size});
    std::string source = content.str();
    if (source.rfind("\xEF\xBB\xBF", 0) == 0) source.erase(0, 3);
    if (!IsValidUtf8(source)) source = DecodeFromCodePage(source, fallback_code_page_);
    return source;
  }

  std::filesystem::path HostPath(const std::string& url_path) const {
    std::filesystem::path path = site_root_;
    for (const std::string& part : text::Split(url_path, "/")) {
      if (!part.empty()) path /= part;
    }
    return path;
  }

  // The URL path of an included file; it must stay inside the site.
  static std::string ResolveInclude(const std::string& including, const Include& include,
                                    const SourceLocation& at) {
    std::string target = include.target;
    for (char& c : target) {
      if (c == '\\') c = '/';
    }
    if (target.empty() || target.find('\0') != std::string::npos ||
        (target.size() >= 2 && target[1] == ':')) {
      throw PageCompileError("The include \"" + include.target + "\" names no file of the site",
                             at);
    }
    if (!include.is_virtual && target[0] == '/') {
      throw PageCompileError("An include file=\"...\" is relative; use virtual=\"" +
                                 include.target + "\" for a path from the site's root",
                             at);
    }
    std::string joined =
        target[0] == '/' ? target : including.substr(0, including.rfind('/') + 1) + target;
    std::vector<std::string> kept;
    for (const std::string& part : text::Split(joined, "/")) {
      if (part.empty() || part == ".") continue;
      if (part == "..") {
        if (kept.empty()) {
          throw PageCompileError("The include \"" + include.target + "\" leads out of the site",
                                 at);
        }
        kept.pop_back();
        continue;
      }
      kept.push_back(part);
    }
    std::string out;
    for (const std::string& part : kept) out += "/" + part;
    return out.empty() ? "/" : out;
  }

  static void CheckDirective(std::string_view body, const SourceLocation& at) {
    std::string lower = text::ToLowerAscii(body);
    size_t language = lower.find("language");
    if (language == std::string::npos) return;
    std::string rest = lower.substr(language);
    if (rest.find("javascript") == std::string::npos && rest.find("jscript") == std::string::npos) {
      throw PageCompileError(
          "Pages are written in JavaScript here; this page asks for another language", at);
    }
  }

  const std::filesystem::path& site_root_;
  CompiledPage& page_;
  Emitter emitter_;
  int32_t fallback_code_page_;
};

}  // namespace

SourceLocation CompiledPage::Locate(int script_line) const {
  if (script_line < 1 || static_cast<size_t>(script_line) > lines.size()) {
    return {files.empty() ? url_path : files[0], 1};
  }
  auto [file, line] = lines[static_cast<size_t>(script_line) - 1];
  return {files[file], static_cast<int>(line)};
}

bool CompiledPage::IsCurrent() const {
  for (const Dependency& d : dependencies) {
    struct stat st {};
    if (::stat(d.path.c_str(), &st) != 0) return false;
    int64_t mtime = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (mtime != d.mtime_ns || st.st_size != d.size) return false;
  }
  return true;
}

std::shared_ptr<CompiledPage> CompilePage(const std::filesystem::path& site_root,
                                          const std::string& url_path, int32_t fallback_code_page) {
  auto page = std::make_shared<CompiledPage>();
  page->url_path = url_path;
  Compiler compiler(site_root, *page, fallback_code_page);
  compiler.CompileFile(url_path, 0, {url_path, 1});
  compiler.Finish();
  page->generation = ++g_generation;
  return page;
}

}  // namespace mirelda::host
