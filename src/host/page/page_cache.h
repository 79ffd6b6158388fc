// Compiled pages by URL path: parsed and compiled on first use, and again when the page or one of
// its includes changes. A page's files are looked at no more than once a second, however often
// it is asked for, so a change is seen within about a second. Safe to use from any thread.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/page/page_parser.h"
#include "host/page/script_engine.h"
#include "host/state/guarded.h"

namespace mirelda::host {

// A page ready to run: its source and what its language's engine made of it.
struct CompiledPage {
  std::shared_ptr<const PageSource> source;
  const ScriptEngine* engine = nullptr;
  std::shared_ptr<const CompiledScript> script;
  // The page's code in each of its other languages, in the order they first appear; their
  // top-level code runs before the page. Empty for a page in one language.
  struct Secondary {
    const ScriptEngine* engine = nullptr;
    std::shared_ptr<const CompiledScript> script;
  };
  std::vector<Secondary> secondaries;
  // For global.asa: which of its event procedures it defines.
  bool has_application_start = false;
  bool has_session_start = false;
  bool has_session_end = false;
};

class PageCache {
 public:
  // engines must outlive the cache. default_language is a canonical engine name.
  PageCache(std::filesystem::path site_root, const EngineRegistry& engines,
            std::string default_language, int32_t fallback_code_page);

  // The current compilation of the page at url_path. Throws PageError.
  std::shared_ptr<const CompiledPage> Get(const std::string& url_path);
  // The site's global.asa (global.asa, Global.asa or GLOBAL.ASA in the site's folder), compiled
  // without its literal text, which no visitor ever sees; null when the site has none. Throws
  // PageError.
  std::shared_ptr<const CompiledPage> GetGlobal();

  // The URL path of the site's global.asa as it is now; empty when the site has none.
  std::string GlobalUrlPath() const;
  // The page (global: as global.asa) parsed and given its engine, as Get and GetGlobal compile
  // it, but not compiled (script is null) and not kept. Throws PageError.
  std::shared_ptr<CompiledPage> Read(const std::string& url_path, bool global) const;

 private:
  // A compilation and when its files were last looked at.
  struct Entry {
    std::shared_ptr<const CompiledPage> page;  // null: global.asa, known to be missing
    std::chrono::steady_clock::time_point checked;
  };
  // Whether entry, if it was looked at within the last second, may be used without looking at
  // its files; otherwise marks it looked at now, for the caller to look.
  bool FreshEnough(Entry& entry, std::chrono::steady_clock::time_point now)
      MIRELDA_REQUIRES(mutex_);
  std::shared_ptr<const CompiledPage> Compile(const std::string& url_path, bool global) const;

  std::filesystem::path site_root_;
  const EngineRegistry& engines_;
  PageParseOptions parse_options_;
  Mutex mutex_;
  std::unordered_map<std::string, Entry> pages_ MIRELDA_GUARDED_BY(mutex_);
  std::optional<Entry> global_ MIRELDA_GUARDED_BY(mutex_);  // none until first asked for
};

// The languages of a page's code other than its primary one, in the order they first appear.
std::vector<std::string> OtherLanguages(const PageSource& source);
// What the engine of one language of a page of two languages is given: for the primary
// language the literal text and its own code (marked as reached by the others), for another only
// that language's code.
PageSource LanguagePart(const PageSource& source, const std::string& language);

}  // namespace mirelda::host
