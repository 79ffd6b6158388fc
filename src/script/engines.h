// The script languages this host runs, and the names pages give them in. The one place that
// names the engines: the host knows only the seam.
#pragma once

#include "host/page/script_engine.h"

namespace mirelda::script {

// "VBScript" (also "VBS") and "JavaScript" (also "JScript", "ECMAScript").
host::EngineRegistry StandardEngines();

}  // namespace mirelda::script
