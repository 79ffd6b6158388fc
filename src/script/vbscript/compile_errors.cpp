#include "script/vbscript/compile_errors.h"

namespace mirelda::script::vbscript {

void CompileError(int32_t number, const ast::Location& where,
                  const std::vector<std::string>& files) {
  host::SourceLocation location;
  if (where.file < files.size()) location.file = files[where.file];
  location.line = static_cast<int>(where.line);
  location.column = static_cast<int>(where.column);
  throw host::PageError(Error(number, StandardDescription(number), kCompileErrorSource),
                        std::move(location));
}

}  // namespace mirelda::script::vbscript
