// Runs one page request: makes the page context, compiles (or reuses) the page, runs it in the
// calling thread's script engine, and turns the outcome into a reply. An error no script caught
// becomes status 500 with a page naming the error number, description, file and line; cookies
// the page set before the error are still sent. Safe to call from several threads at once.
#pragma once

#include <chrono>
#include <memory>

#include "host/access_log.h"
#include "host/application.h"
#include "host/page_cache.h"
#include "host/reply.h"
#include "host/request.h"
#include "host/session_store.h"
#include "host/site.h"

namespace mirelda::host {

struct PageSettings {
  int32_t code_page = 936;
  std::chrono::seconds session_timeout{20 * 60};
  std::chrono::seconds script_timeout{90};
};

class PageRunner {
 public:
  PageRunner(const Site& site, PageSettings settings, SessionStore& sessions, AccessLog& log);

  Reply Run(std::shared_ptr<const RequestData> request, const SiteTarget& page);

 private:
  const Site& site_;
  PageSettings settings_;
  SessionStore& sessions_;
  AccessLog& log_;
  ApplicationState application_;
  PageCache cache_;
};

}  // namespace mirelda::host
