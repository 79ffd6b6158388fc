#include "script/vbscript/page_check.h"

#include <unordered_set>

#include "mirelda/error.h"
#include "script/vbscript/builtins/text_units.h"

namespace mirelda::script::vbscript {

std::vector<host::PageFinding> FindUndefinedNames(const Program& program,
                                                  const std::vector<std::string>& known) {
  std::vector<host::PageFinding> findings;
  const Chunk& chunk = program.main;
  if (chunk.compiles_code) return findings;
  std::unordered_set<std::string> skip;
  for (const std::string& name : known) skip.insert(FoldCase(name));
  for (const NameUse& use : chunk.unresolved) {
    std::string folded = FoldCase(use.name);
    if (skip.count(folded)) continue;
    // Under Option Explicit the page stops at any undeclared name, called or not, as a run does.
    int32_t number = errc::kTypeMismatch;
    if (chunk.option_explicit) {
      number = errc::kVariableUndefined;
    } else if (use.form != NameUse::Form::kCall || chunk.assigned.count(folded)) {
      // Without Option Explicit a name is a variable by use; only calling one that nothing
      // ever assigns is sure to fail.
      continue;
    }
    skip.insert(folded);
    host::PageFinding finding;
    finding.number = number;
    finding.description = StandardDescription(number) + ": '" + use.name + "'";
    if (use.where.file < program.files.size()) finding.where.file = program.files[use.where.file];
    finding.where.line = static_cast<int>(use.where.line);
    finding.where.column = static_cast<int>(use.where.column);
    findings.push_back(std::move(finding));
  }
  return findings;
}

}  // namespace mirelda::script::vbscript
