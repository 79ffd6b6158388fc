// Runs one page request: makes the page context, compiles (or reuses) the page, runs it on the
// calling thread's runner of the page's engine, and turns the outcome into a reply. An error no
// script handled becomes status 500 with a page naming the error number, description, file and
// line; cookies the page set before the error are still sent. Safe to call from several threads
// at once.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "host/http/access_log.h"
#include "host/http/reply.h"
#include "host/http/site.h"
#include "host/objects/request.h"
#include "host/page/page_cache.h"
#include "host/page/script_engine.h"
#include "host/state/application_state.h"
#include "host/state/session_store.h"

namespace mirelda::host {

struct PageSettings {
  int32_t code_page = 936;
  std::chrono::seconds session_timeout{20 * 60};
  std::chrono::seconds script_timeout{90};
  std::string default_language = "vbscript";  // canonical engine name
  size_t script_memory = size_t{512} << 20;
};

class PageRunner {
 public:
  // engines must outlive the runner.
  PageRunner(const Site& site, const EngineRegistry& engines, PageSettings settings,
             SessionStore& sessions, AccessLog& log);

  Reply Run(std::shared_ptr<const RequestData> request, const SiteTarget& page);

 private:
  class RequestRun;

  const Site& site_;
  const EngineRegistry& engines_;
  PageSettings settings_;
  SessionStore& sessions_;
  AccessLog& log_;
  ApplicationState application_;
  PageCache cache_;
};

}  // namespace mirelda::host
