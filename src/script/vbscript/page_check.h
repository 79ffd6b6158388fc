// What a compiled page shows to be wrong before it runs: under Option Explicit, names nothing
// declares (error 500 when the page runs); in any page, calls of names that are neither a
// procedure, a built-in, a variable nor an object the host names (error 13).
#pragma once

#include <string>
#include <vector>

#include "host/page/script_engine.h"
#include "script/vbscript/program.h"

namespace mirelda::script::vbscript {

// The findings of program, each name once, at its first use. known: names the host defines at
// run time, in any letter case. A page that runs Execute or ExecuteGlobal may define any name
// then, so none of its names is reported.
std::vector<host::PageFinding> FindUndefinedNames(const Program& program,
                                                  const std::vector<std::string>& known);

}  // namespace mirelda::script::vbscript
