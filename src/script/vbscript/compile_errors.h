// Compile errors of page text: the language's numbers and descriptions with the place in the
// page's files, thrown as the page seam's PageError.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/page/script_engine.h"
#include "script/vbscript/ast.h"

namespace mirelda::script::vbscript {

inline constexpr const char kCompileErrorSource[] = "Microsoft VBScript compilation error";

// Throws host::PageError with number's standard description at where (file indexes files).
[[noreturn]] void CompileError(int32_t number, const ast::Location& where,
                               const std::vector<std::string>& files);

}  // namespace mirelda::script::vbscript
