// mirelda-host --check: every page of a site compiled without serving it, and what its code
// shows to be wrong before it runs: syntax errors of either language, what the engine of the
// page's language finds (ScriptEngine::Check), and ProgIDs that this host cannot create.
#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>

#include "host/page/script_engine.h"

namespace mirelda::host {

struct SiteCheckSettings {
  std::string default_language = "vbscript";  // canonical name, as PageCache takes it
  int32_t fallback_code_page = 936;
};

// Checks global.asa and every .asp file under site_root (any letter case, in every folder) and
// writes one line per finding to out, "FILE:LINE:COL: error NUMBER: DESCRIPTION" with FILE the
// URL path of the page or include the fault is in (a fault of an include that several pages use
// is written once), then "N pages checked, M problems". ProgIDs are looked up in the class table
// and in the registration store at RegistrationStore::DefaultPath(). Returns the number of
// findings. Throws Error, naming the folder, when it cannot be read.
size_t CheckSite(const std::filesystem::path& site_root, const EngineRegistry& engines,
                 const SiteCheckSettings& settings, std::ostream& out);

}  // namespace mirelda::host
