// The language's RegExp object (New RegExp): a JavaScript-flavoured pattern run by PCRE2. The
// pattern compiles once per change of Pattern, IgnoreCase or MultiLine, at its first use, so a bad
// pattern raises where Test, Execute or Replace use it. Every match runs under step, depth and
// memory limits: a pattern that backtracks without end on some text raises an error instead of
// holding the page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mirelda/dispatch.h"

namespace mirelda::script::vbscript {

// Raised when a match gives up at one of its limits.
inline constexpr const char kRegExpTooComplex[] =
    "Out of stack space: the regular expression needs too many steps on this text";

class RegExpObject final : public Dispatch {
 public:
  RegExpObject();
  ~RegExpObject() override;

  std::string Pattern() { return pattern_; }
  void SetPattern(std::string pattern);
  bool IgnoreCase() { return ignore_case_; }
  void SetIgnoreCase(bool on);
  bool Global() { return global_; }
  void SetGlobal(bool on) { global_ = on; }
  bool MultiLine() { return multi_line_; }
  void SetMultiLine(bool on);

  bool Test(std::string text);
  std::shared_ptr<Dispatch> Execute(std::string text);
  std::string Replace(std::string text, std::string replacement);

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "IRegExp2"; }

 private:
  struct Compiled;
  // One match: byte offsets of the whole match and of each group (npos for a group that took
  // no part).
  struct Found {
    size_t start = 0;
    size_t end = 0;
    std::vector<size_t> groups;  // start, end pairs
  };

  // The pattern compiled for text that is valid UTF-8 (matched without a check of the text on
  // every call, which would make a global match over a long text quadratic), or for text that
  // is not (invalid sequences then match nothing).
  const Compiled& Code(bool invalid_text);
  // The matches in text: the first one only unless all is true.
  std::vector<Found> Find(const std::string& text, bool all);

  std::string pattern_;
  bool ignore_case_ = false;
  bool global_ = false;
  bool multi_line_ = false;
  // Null until used, and after a change.
  std::unique_ptr<Compiled> compiled_;
  std::unique_ptr<Compiled> compiled_for_invalid_;
};

}  // namespace mirelda::script::vbscript
