#include "script/vbscript/objects/regexp_object.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <string_view>

#include "mirelda/error.h"
#include "script/vbscript/builtins/text_units.h"
#include "script/vbscript/objects/err_object.h"
#include "script/vbscript/objects/match_objects.h"

namespace mirelda::script::vbscript {
namespace {

// Backtracking steps from one starting position, nesting depth, and the matcher's memory in KiB.
// Sound patterns stay far below them; (a+)+$ on a long line of a's does not.
constexpr uint32_t kMatchLimit = 1'000'000;
constexpr uint32_t kDepthLimit = 250'000;
constexpr PCRE2_SIZE kHeapLimitKiB = 64 * 1024;

[[noreturn]] void Raise(int32_t number, std::string description = {}) {
  throw Error(number, std::move(description), kRuntimeErrorSource);
}

std::string Message(int code) {
  PCRE2_UCHAR buffer[256];
  int length = pcre2_get_error_message(code, buffer, sizeof buffer);
  if (length < 0) return {};
  return std::string(reinterpret_cast<const char*>(buffer), static_cast<size_t>(length));
}

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// PCRE2 reads the JavaScript pattern language nearly as it is (with the options Compile sets).
// Where they part: \v is a vertical tab here, a class of vertical space there; and a backslash
// before a letter that has no meaning of its own stands for the letter, where PCRE2 gives some
// such letters a meaning (\h \K \Q \R \A \z ...) or refuses them.
std::string Translate(std::string_view pattern) {
  static constexpr std::string_view kEscapes = "bBdDwWsSfnrtvcxu";
  std::string out;
  out.reserve(pattern.size());
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c != '\\' || i + 1 == pattern.size()) {
      out += c;
      continue;
    }
    char next = pattern[++i];
    if (next == 'v') {
      out += "\\x0B";
    } else if (IsAsciiLetter(next) && kEscapes.find(next) == std::string_view::npos) {
      out += next;
    } else {
      out += '\\';
      out += next;
    }
  }
  return out;
}

struct CompileContext {
  pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
  ~CompileContext() { pcre2_compile_context_free(context); }
};

struct MatchData {
  pcre2_match_data* data;
  ~MatchData() { pcre2_match_data_free(data); }
};

}  // namespace

struct RegExpObject::Compiled {
  pcre2_code* code = nullptr;
  pcre2_match_context* context = nullptr;
  uint32_t groups = 0;

  Compiled() = default;
  Compiled(const Compiled&) = delete;
  Compiled& operator=(const Compiled&) = delete;
  ~Compiled() {
    pcre2_match_context_free(context);
    pcre2_code_free(code);
  }
};

RegExpObject::RegExpObject() = default;
RegExpObject::~RegExpObject() = default;

void RegExpObject::SetPattern(std::string pattern) {
  pattern_ = std::move(pattern);
  compiled_.reset();
  compiled_for_invalid_.reset();
}

void RegExpObject::SetIgnoreCase(bool on) {
  ignore_case_ = on;
  compiled_.reset();
  compiled_for_invalid_.reset();
}

void RegExpObject::SetMultiLine(bool on) {
  multi_line_ = on;
  compiled_.reset();
  compiled_for_invalid_.reset();
}

const RegExpObject::Compiled& RegExpObject::Code(bool invalid_text) {
  std::unique_ptr<Compiled>& slot = invalid_text ? compiled_for_invalid_ : compiled_;
  if (slot) return *slot;
  // Text that is not valid UTF-8 still matches (a stray byte matches no pattern character); $
  // without MultiLine is the very end, as in JavaScript; \uhhhh and [] [^] read the JavaScript
  // way; CR and LF both end a line for ^ $ and the dot.
  uint32_t options = PCRE2_UTF | PCRE2_NEVER_BACKSLASH_C | PCRE2_ALT_BSUX |
                     PCRE2_ALLOW_EMPTY_CLASS | PCRE2_DOLLAR_ENDONLY;
  if (invalid_text) options |= PCRE2_MATCH_INVALID_UTF;
  if (ignore_case_) options |= PCRE2_CASELESS;
  if (multi_line_) options |= PCRE2_MULTILINE;
  CompileContext compile;
  if (!compile.context) Raise(errc::kOutOfMemory);
  pcre2_set_newline(compile.context, PCRE2_NEWLINE_ANYCRLF);
  std::string translated = Translate(pattern_);
  int error = 0;
  PCRE2_SIZE where = 0;
  auto compiled = std::make_unique<Compiled>();
  compiled->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(translated.data()),
                                 translated.size(), options, &error, &where, compile.context);
  if (!compiled->code) {
    if (error == PCRE2_ERROR_HEAPLIMIT || error == PCRE2_ERROR_NOMEMORY) Raise(errc::kOutOfMemory);
    int32_t number = error == PCRE2_ERROR_MISSING_CLOSING_PARENTHESIS ? errc::kRegExpExpectedParen
                                                                       : errc::kRegExpSyntax;
    Raise(number, StandardDescription(number) + ": " + Message(error));
  }
  compiled->context = pcre2_match_context_create(nullptr);
  if (!compiled->context) Raise(errc::kOutOfMemory);
  pcre2_set_match_limit(compiled->context, kMatchLimit);
  pcre2_set_depth_limit(compiled->context, kDepthLimit);
  pcre2_set_heap_limit(compiled->context, kHeapLimitKiB);
  pcre2_pattern_info(compiled->code, PCRE2_INFO_CAPTURECOUNT, &compiled->groups);
  slot = std::move(compiled);
  return *slot;
}

std::vector<RegExpObject::Found> RegExpObject::Find(const std::string& text, bool all) {
  const Compiled* code = &Code(false);
  MatchData match{pcre2_match_data_create_from_pattern(code->code, nullptr)};
  if (!match.data) Raise(errc::kOutOfMemory);
  auto subject = reinterpret_cast<PCRE2_SPTR>(text.data());
  std::vector<Found> found;
  size_t offset = 0;
  // The first match checks the whole text once; the later ones need not.
  uint32_t checked = 0;
  while (offset <= text.size()) {
    int rc = pcre2_match(code->code, subject, text.size(), offset, checked, match.data,
                         code->context);
    if (rc <= PCRE2_ERROR_UTF8_ERR1 && rc >= PCRE2_ERROR_UTF8_ERR21 && checked == 0) {
      code = &Code(true);
      MatchData again{pcre2_match_data_create_from_pattern(code->code, nullptr)};
      if (!again.data) Raise(errc::kOutOfMemory);
      std::swap(match.data, again.data);
      checked = PCRE2_NO_UTF_CHECK;  // ignored by this code, which takes any text
      continue;
    }
    checked = PCRE2_NO_UTF_CHECK;
    if (rc == PCRE2_ERROR_NOMATCH) break;
    if (rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT ||
        rc == PCRE2_ERROR_HEAPLIMIT) {
      Raise(errc::kOutOfStack, kRegExpTooComplex);
    }
    if (rc == PCRE2_ERROR_NOMEMORY) Raise(errc::kOutOfMemory);
    if (rc < 0) Raise(errc::kInternalError, "Regular expression: " + Message(rc));
    const PCRE2_SIZE* vector = pcre2_get_ovector_pointer(match.data);
    Found f;
    f.start = vector[0];
    f.end = vector[1];
    for (uint32_t g = 1; g <= code->groups; ++g) {
      bool set = vector[2 * g] != PCRE2_UNSET;
      f.groups.push_back(set ? vector[2 * g] : std::string::npos);
      f.groups.push_back(set ? vector[2 * g + 1] : std::string::npos);
    }
    found.push_back(std::move(f));
    if (!all) break;
    const Found& last = found.back();
    if (last.end > last.start) {
      offset = last.end;
    } else if (last.end == text.size()) {
      break;
    } else {
      // An empty match moves the search on by one character, so it cannot find itself again.
      offset = last.end + ByteOffset(std::string_view(text).substr(last.end), 1);
    }
  }
  return found;
}

bool RegExpObject::Test(std::string text) { return !Find(text, false).empty(); }

std::shared_ptr<Dispatch> RegExpObject::Execute(std::string text) {
  std::vector<std::shared_ptr<MatchObject>> matches;
  // Positions count from the start of the text; each match carries on from the one before.
  size_t counted_bytes = 0;
  size_t counted_units = 0;
  for (const Found& f : Find(text, global_)) {
    counted_units += UnitCount(std::string_view(text).substr(counted_bytes, f.start - counted_bytes));
    counted_bytes = f.start;
    std::vector<Variant> groups;
    for (size_t g = 0; g < f.groups.size(); g += 2) {
      if (f.groups[g] == std::string::npos) {
        groups.emplace_back();
      } else {
        groups.emplace_back(text.substr(f.groups[g], f.groups[g + 1] - f.groups[g]));
      }
    }
    matches.push_back(std::make_shared<MatchObject>(text.substr(f.start, f.end - f.start),
                                                    static_cast<int32_t>(counted_units),
                                                    std::move(groups)));
  }
  return std::make_shared<MatchCollection>(std::move(matches));
}

namespace {

// Appends what replacement says for one match: $1..$99 a group ($nn only when the pattern has
// that many groups, else $n and the digit after), $& the match, $` the text before it, $' the
// text after it, $$ a dollar; any other $ stands for itself.
void Substitute(std::string& out, std::string_view replacement, std::string_view text,
                size_t start, size_t end, const std::vector<size_t>& groups) {
  size_t count = groups.size() / 2;
  auto group = [&](size_t n) {
    size_t from = groups[2 * (n - 1)];
    if (from != std::string::npos) out.append(text.substr(from, groups[2 * n - 1] - from));
  };
  auto digit = [&](size_t i) {
    return i < replacement.size() && replacement[i] >= '0' && replacement[i] <= '9';
  };
  for (size_t i = 0; i < replacement.size(); ++i) {
    char c = replacement[i];
    if (c != '$' || i + 1 == replacement.size()) {
      out += c;
      continue;
    }
    char next = replacement[i + 1];
    if (next == '$') {
      out += '$';
    } else if (next == '&') {
      out.append(text.substr(start, end - start));
    } else if (next == '`') {
      out.append(text.substr(0, start));
    } else if (next == '\'') {
      out.append(text.substr(end));
    } else if (digit(i + 1)) {
      size_t one = static_cast<size_t>(next - '0');
      size_t two = digit(i + 2) ? one * 10 + static_cast<size_t>(replacement[i + 2] - '0') : 0;
      if (two >= 1 && two <= count) {
        group(two);
        ++i;
      } else if (one >= 1 && one <= count) {
        group(one);
      } else {
        out += c;
        continue;
      }
    } else {
      out += c;
      continue;
    }
    ++i;
  }
}

}  // namespace

std::string RegExpObject::Replace(std::string text, std::string replacement) {
  std::string out;
  size_t copied = 0;
  for (const Found& f : Find(text, global_)) {
    out.append(text, copied, f.start - copied);
    Substitute(out, replacement, text, f.start, f.end, f.groups);
    copied = f.end;
  }
  out.append(text, copied);
  return out;
}

const MemberTable& RegExpObject::Members() const {
  static const MemberTable table =
      MemberTableBuilder<RegExpObject>("IRegExp2")
          .Get<&RegExpObject::Pattern>("Pattern")
          .Let<&RegExpObject::SetPattern>("Pattern", {Arg("pattern")})
          .Get<&RegExpObject::IgnoreCase>("IgnoreCase")
          .Let<&RegExpObject::SetIgnoreCase>("IgnoreCase", {Arg("on")})
          .Get<&RegExpObject::Global>("Global")
          .Let<&RegExpObject::SetGlobal>("Global", {Arg("on")})
          .Get<&RegExpObject::MultiLine>("MultiLine")
          .Let<&RegExpObject::SetMultiLine>("MultiLine", {Arg("on")})
          .Method<&RegExpObject::Test>("Test", {Arg("text")})
          .Method<&RegExpObject::Execute>("Execute", {Arg("text")})
          .Method<&RegExpObject::Replace>("Replace", {Arg("text"), Arg("replacement")})
          .Build();
  return table;
}

}  // namespace mirelda::script::vbscript
