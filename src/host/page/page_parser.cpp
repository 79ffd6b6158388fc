#include "host/page/page_parser.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>

#include "host/objects/code_page.h"
#include "host/page/script_engine.h"
#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::host {
namespace {

constexpr int kMaxIncludeDepth = 16;

std::atomic<uint64_t> g_generation{0};

[[noreturn]] void Fail(const std::string& message, SourceLocation where) {
  throw PageError(Error(errc::kUnspecified, message, "Active Server Pages"), std::move(where));
}

bool StartsWithNoCase(std::string_view s, size_t at, std::string_view word) {
  return at <= s.size() && s.size() - at >= word.size() &&
         text::EqualsIgnoreCase(s.substr(at, word.size()), word);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Line and column (in characters) of positions in a text, found by walking forward.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  // Moves to pos, which is never before the current position.
  void MoveTo(size_t pos) {
    for (; at_ < pos && at_ < text_.size(); ++at_) {
      char c = text_[at_];
      if (c == '\n') {
        ++line_;
        column_ = 1;
      } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
        ++column_;
      }
    }
  }
  uint32_t line() const { return line_; }
  uint32_t column() const { return column_; }

 private:
  std::string_view text_;
  size_t at_ = 0;
  uint32_t line_ = 1;
  uint32_t column_ = 1;
};

// "name = value" pairs of a directive or a tag; values may be quoted with " or '.
std::vector<std::pair<std::string, std::string>> ReadAttributes(std::string_view s) {
  std::vector<std::pair<std::string, std::string>> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    size_t name_begin = i;
    while (i < s.size() && !IsBlank(s[i]) && s[i] != '=') ++i;
    std::string name(s.substr(name_begin, i - name_begin));
    while (i < s.size() && IsBlank(s[i])) ++i;
    std::string value;
    if (i < s.size() && s[i] == '=') {
      ++i;
      while (i < s.size() && IsBlank(s[i])) ++i;
      if (i < s.size() && (s[i] == '"' || s[i] == '\'')) {
        char quote = s[i++];
        size_t close = s.find(quote, i);
        if (close == std::string_view::npos) close = s.size();
        value = s.substr(i, close - i);
        i = close + 1;
      } else {
        size_t value_begin = i;
        while (i < s.size() && !IsBlank(s[i])) ++i;
        value = s.substr(value_begin, i - value_begin);
      }
    }
    if (!name.empty()) out.emplace_back(text::ToLowerAscii(name), value);
  }
  return out;
}

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

Include FindInclude(std::string_view s, size_t from, size_t until) {
  Include found;
  for (size_t at = s.find("<!--", from); at != std::string_view::npos && at < until;
       at = s.find("<!--", at + 4)) {
    if (ReadInclude(s, at, &found)) return found;
  }
  return Include();
}

// A "<script runat="server">code</script>" block found in literal text.
struct ServerScript {
  size_t begin = std::string_view::npos;  // of "<script"
  size_t code_begin = 0;
  size_t code_end = 0;
  size_t end = 0;        // after "</script>"
  std::string language;  // as the tag names it; empty when it names none
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
  bool server = false;
  std::string language;
  for (const auto& [name, value] : ReadAttributes(s.substr(i, close - i))) {
    if (name == "runat") server = text::EqualsIgnoreCase(value, "server");
    if (name == "language") language = value;
  }
  if (!server) return false;
  out->begin = at;
  out->code_begin = close + 1;
  out->language = language;
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
  return ServerScript();
}

// An "<object runat="server" ...>" tag found in literal text, with its "</object>" if one follows.
struct ServerObject {
  size_t begin = std::string_view::npos;  // of "<object"
  size_t end = 0;                         // after the tag, or after "</object>"
  std::vector<std::pair<std::string, std::string>> attributes;
};

ServerObject FindServerObject(std::string_view s, size_t from) {
  for (size_t at = FindNoCase(s, "<object", from); at != std::string_view::npos;
       at = FindNoCase(s, "<object", at + 7)) {
    size_t i = at + 7;
    if (i >= s.size() || !(IsBlank(s[i]) || s[i] == '>')) continue;
    size_t close = s.find('>', i);
    if (close == std::string_view::npos) break;
    std::string_view inside = s.substr(i, close - i);
    bool self_closing = !inside.empty() && inside.back() == '/';
    if (self_closing) inside.remove_suffix(1);
    ServerObject found;
    found.attributes = ReadAttributes(inside);
    bool server = false;
    for (const auto& [name, value] : found.attributes) {
      if (name == "runat") server = text::EqualsIgnoreCase(value, "server");
    }
    if (!server) continue;
    found.begin = at;
    found.end = close + 1;
    size_t end_tag = self_closing ? std::string_view::npos : FindNoCase(s, "</object", found.end);
    size_t next_open = FindNoCase(s, "<object", found.end);
    if (end_tag != std::string_view::npos && end_tag < next_open) {
      size_t end = s.find('>', end_tag);
      if (end != std::string_view::npos) found.end = end + 1;
    }
    return found;
  }
  return ServerObject();
}

// The first directive of a page's raw bytes, read before the page is decoded because it may name
// the code page the page is written in. Directives are ASCII in every code page pages use.
std::string_view FirstDirective(std::string_view raw) {
  size_t open = raw.find("<%");
  while (open != std::string_view::npos) {
    size_t i = open + 2;
    while (i < raw.size() && IsBlank(raw[i])) ++i;
    size_t close = raw.find("%>", i);
    if (close == std::string_view::npos) return {};
    if (i < raw.size() && raw[i] == '@') return raw.substr(i + 1, close - i - 1);
    open = raw.find("<%", close + 2);
  }
  return {};
}

std::optional<int32_t> ParseCodePage(const std::string& value, const SourceLocation& at) {
  int32_t n = 0;
  bool digits = !value.empty() && value.size() <= 6;
  for (char c : value) {
    digits = digits && c >= '0' && c <= '9';
    if (digits) n = n * 10 + (c - '0');
  }
  if (!digits || !IsSupportedCodePage(n)) {
    Fail("The page names the code page \"" + value + "\", which this host cannot read", at);
  }
  return n;
}

class Parser {
 public:
  Parser(const std::filesystem::path& site_root, const PageParseOptions& options, PageSource& page)
      : site_root_(site_root), options_(options), page_(page) {}

  void ParseFile(const std::string& url_path, int depth, const SourceLocation& included_at) {
    if (depth > kMaxIncludeDepth) {
      Fail("Includes nest deeper than " + std::to_string(kMaxIncludeDepth) +
               " levels (is a file including itself?)",
           included_at);
    }
    std::string raw = ReadRaw(url_path, included_at);
    if (depth == 0) ReadPageDirective(raw, url_path);
    std::string source = Decode(raw, url_path);
    auto file = static_cast<uint32_t>(page_.files.size());
    page_.files.push_back(url_path);
    std::string_view s = source;
    Cursor cursor(s);
    auto here = [&](size_t pos) {
      cursor.MoveTo(pos);
      return SourceLocation{url_path, static_cast<int>(cursor.line()),
                            static_cast<int>(cursor.column())};
    };
    auto add = [&](SegmentKind kind, std::string language, size_t begin, size_t end,
                   bool script_block) {
      if (begin >= end) return;
      cursor.MoveTo(begin);
      Segment segment;
      segment.kind = kind;
      segment.language = std::move(language);
      segment.text = std::string(s.substr(begin, end - begin));
      segment.file = file;
      segment.line = cursor.line();
      segment.column = cursor.column();
      segment.script_block = script_block;
      page_.segments.push_back(std::move(segment));
    };

    size_t pos = 0;
    ServerScript script;
    ServerObject object;
    bool tags_known = false;
    while (pos < s.size()) {
      size_t open = s.find("<%", pos);
      Include include = FindInclude(s, pos, open);
      // The next server script block and object tag stay valid until the scan passes them.
      if (!tags_known || (script.begin != std::string_view::npos && script.begin < pos)) {
        script = FindServerScript(s, pos);
      }
      if (!tags_known || (object.begin != std::string_view::npos && object.begin < pos)) {
        object = FindServerObject(s, pos);
      }
      tags_known = true;
      size_t next = std::min({open, include.begin, script.begin, object.begin});
      add(SegmentKind::kLiteral, "", pos, next == std::string_view::npos ? s.size() : next, false);
      if (next == std::string_view::npos) break;
      if (next == object.begin) {
        AddObject(object, here(object.begin));
        pos = object.end;
        continue;
      }
      if (next == include.begin) {
        SourceLocation at = here(include.begin);
        ParseFile(ResolveInclude(url_path, include, at), depth + 1, at);
        pos = include.end;
        continue;
      }
      if (next == script.begin) {
        SourceLocation at = here(script.begin);
        if (!script.closed) Fail("A <script runat=\"server\"> block is never closed", at);
        std::string language;
        if (!script.language.empty()) language = LanguageOf(script.language, at);
        add(SegmentKind::kCode, language, script.code_begin, script.code_end, true);
        pos = script.end;
        continue;
      }
      size_t close = s.find("%>", open + 2);
      if (close == std::string_view::npos) {
        Fail("A script block opened with <% is never closed with %>", here(open));
      }
      size_t body = open + 2;
      size_t first = body;
      while (first < close && IsBlank(s[first])) ++first;
      if (first < close && s[first] == '@') {
        // Read before decoding (the page's own) or ignored (an include's): a directive belongs
        // to the page as a whole.
      } else if (body < close && s[body] == '=') {
        add(SegmentKind::kExpression, "", body + 1, close, false);
      } else {
        add(SegmentKind::kCode, "", body, close, false);
      }
      pos = close + 2;
    }
  }

  void AddObject(const ServerObject& object, const SourceLocation& at) {
    ObjectTag tag;
    tag.where = at;
    std::string scope = "page";
    for (const auto& [name, value] : object.attributes) {
      if (name == "id") tag.id = value;
      if (name == "progid") tag.prog_id = value;
      if (name == "scope") scope = text::ToLowerAscii(value);
      if (name == "classid") {
        Fail("A server object tag names its class by progid here, not by classid", at);
      }
    }
    if (tag.id.empty() || tag.prog_id.empty()) {
      Fail("A server object tag needs an id and a progid", at);
    }
    bool global = text::EqualsIgnoreCase(at.file, "/global.asa");
    if (scope == "session" && global) {
      tag.scope = ObjectTag::Scope::kSession;
    } else if (scope == "application" && global) {
      tag.scope = ObjectTag::Scope::kApplication;
    } else if (scope != "page") {
      Fail("The scope of a server object tag is Page" +
               std::string(global ? ", Session or Application" : " outside global.asa") +
               ", not \"" + scope + "\"",
           at);
    }
    for (const ObjectTag& known : page_.objects) {
      if (text::EqualsIgnoreCase(known.id, tag.id)) {
        Fail("The server object \"" + tag.id + "\" is declared twice", at);
      }
    }
    page_.objects.push_back(std::move(tag));
  }

  // Code pieces that name no language are in the page's primary language.
  void Finish() {
    for (Segment& segment : page_.segments) {
      if (segment.kind != SegmentKind::kLiteral && segment.language.empty()) {
        segment.language = page_.directives.language;
      }
    }
  }

 private:
  std::string ReadRaw(const std::string& url_path, const SourceLocation& included_at) {
    std::filesystem::path path = HostPath(url_path);
    struct stat st {};
    std::ifstream in(path, std::ios::binary);
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !in) {
      Fail("Cannot read the file " + url_path, included_at);
    }
    std::ostringstream content;
    content << in.rdbuf();
    page_.dependencies.push_back(
        {path, static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
         st.st_size});
    return content.str();
  }

  void ReadPageDirective(std::string_view raw, const std::string& url_path) {
    page_.directives.language = options_.default_language;
    SourceLocation at{url_path, 1, 1};
    for (const auto& [name, value] : ReadAttributes(FirstDirective(raw))) {
      if (name == "language") {
        page_.directives.language = LanguageOf(value, at);
      } else if (name == "codepage") {
        page_.directives.code_page = ParseCodePage(value, at);
      } else if (name == "enablesessionstate") {
        page_.directives.session_state = !text::EqualsIgnoreCase(value, "false");
      }
    }
  }

  std::string LanguageOf(const std::string& name, const SourceLocation& at) const {
    std::string canonical =
        options_.canonical_language ? options_.canonical_language(name) : std::string();
    if (canonical.empty()) {
      Fail("This host runs no script language named \"" + name + "\"", at);
    }
    return canonical;
  }

  // The text of a file: in the page's code page when its directive names one, otherwise UTF-8
  // when it is valid UTF-8 and the fallback code page when not.
  std::string Decode(std::string raw, const std::string& url_path) const {
    if (raw.rfind("\xEF\xBB\xBF", 0) == 0) raw.erase(0, 3);
    std::string out;
    size_t bad = 0;
    int32_t code_page = page_.directives.code_page.value_or(kCodePageUtf8);
    if (DecodeStrictly(raw, code_page, &out, &bad)) return out;
    if (!page_.directives.code_page) {
      code_page = options_.fallback_code_page;
      if (DecodeStrictly(raw, code_page, &out, &bad)) return out;
    }
    int line = 1 + static_cast<int>(std::count(raw.begin(), raw.begin() + bad, '\n'));
    Fail("The file " + url_path + " holds bytes that are no text in " +
             (page_.directives.code_page ? "its code page " + std::to_string(code_page)
                                         : "UTF-8 or the code page " + std::to_string(code_page)),
         {url_path, line, 0});
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
    std::replace(target.begin(), target.end(), '\\', '/');
    if (target.empty() || target.find('\0') != std::string::npos ||
        (target.size() >= 2 && target[1] == ':')) {
      Fail("The include \"" + include.target + "\" names no file of the site", at);
    }
    if (!include.is_virtual && target[0] == '/') {
      Fail("An include file=\"...\" is relative; use virtual=\"" + include.target +
               "\" for a path from the site's root",
           at);
    }
    std::string joined =
        target[0] == '/' ? target : including.substr(0, including.rfind('/') + 1) + target;
    std::vector<std::string> kept;
    for (const std::string& part : text::Split(joined, "/")) {
      if (part.empty() || part == ".") continue;
      if (part == "..") {
        if (kept.empty()) Fail("The include \"" + include.target + "\" leads out of the site", at);
        kept.pop_back();
        continue;
      }
      kept.push_back(part);
    }
    std::string out;
    for (const std::string& part : kept) out += "/" + part;
    return out.empty() ? "/" : out;
  }

  const std::filesystem::path& site_root_;
  const PageParseOptions& options_;
  PageSource& page_;
};

}  // namespace

std::shared_ptr<const PageSource> ParsePage(const std::filesystem::path& site_root,
                                            const std::string& url_path,
                                            const PageParseOptions& options) {
  auto page = std::make_shared<PageSource>();
  page->url_path = url_path;
  Parser parser(site_root, options, *page);
  parser.ParseFile(url_path, 0, {url_path, 1, 1});
  parser.Finish();
  page->generation = ++g_generation;
  return page;
}

}  // namespace mirelda::host
