// Runs one page request: makes the page context, compiles (or reuses) the page, runs it on a
// runner of the page's engine taken from the pool, and turns the outcome into a reply. An error no
// script handled is logged with the request's id and becomes status 500: the site's own 500 page
// (a file, or a page run for the same request), else a plain page that tells nothing of the
// error, or with debug_errors a page naming the error number, description, file and line.
// Cookies the page set before the error are still sent. Safe to call from several threads at
// once.
//
// A site's global.asa takes part: Application_OnStart runs once, before the first page;
// Session_OnStart runs on the first page of each new session, before that page; Session_OnEnd
// runs on a thread of the runner once a session has ended; and the objects its object tags
// declare are reached by name from every page.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "host/http/access_log.h"
#include "host/http/error_pages.h"
#include "host/http/reply.h"
#include "host/http/site.h"
#include "host/objects/request.h"
#include "host/page/page_cache.h"
#include "host/page/runner_pool.h"
#include "host/page/script_engine.h"
#include "host/page/session_ends.h"
#include "host/state/application_state.h"
#include "host/state/session_store.h"
#include "host/state/shared_objects.h"

namespace mirelda::host {

struct PageSettings {
  int32_t code_page = 936;
  std::chrono::seconds session_timeout{20 * 60};
  std::chrono::seconds script_timeout{90};
  std::string default_language = "vbscript";  // canonical engine name
  size_t script_memory = size_t{512} << 20;
  bool secure_cookies = false;  // the session cookie carries Secure
  bool debug_errors = false;    // the 500 page names the error and where it happened
  ErrorPages error_pages;       // the site's own 500 page
};

class PageRunner {
 public:
  // engines, sessions and application must outlive the runner.
  PageRunner(const Site& site, const EngineRegistry& engines, PageSettings settings,
             SessionStore& sessions, ApplicationState& application, AccessLog& log);
  ~PageRunner();
  PageRunner(const PageRunner&) = delete;
  PageRunner& operator=(const PageRunner&) = delete;

  Reply Run(std::shared_ptr<const RequestData> request, const SiteTarget& page);

 private:
  class RequestRun;

  PageRunInput NewInput() const;
  // Application_OnStart, when it has not run yet; the failure when it fails now.
  std::optional<PageRun> StartApplication(const std::shared_ptr<const CompiledPage>& global);
  void EndSession(const std::string& id, SessionState state);
  // Runs a procedure of global.asa outside any request, on a scratch session store that holds
  // the one session given (or none); what it writes goes nowhere.
  PageRun RunDetached(std::shared_ptr<const CompiledPage> global, std::string_view procedure,
                      const std::string& session_id, std::optional<SessionState> session);
  void LogFailure(const PageRun& run, std::string_view request_id = {});
  // One page run; *failed tells whether it ended in an error no script handled.
  Reply RunOnce(std::shared_ptr<const RequestData> request, const SiteTarget& page, bool* failed);
  // The 500 reply of a failed page, but for the site's own 500 page when that is a page.
  Reply FailureReply(const PageRun& run, int32_t code_page) const;

  const Site& site_;
  const EngineRegistry& engines_;
  PageSettings settings_;
  SessionStore& sessions_;
  ApplicationState& application_;
  AccessLog& log_;
  PageCache cache_;
  RunnerPool runners_;
  // The application objects of global.asa's object tags.
  std::shared_ptr<SharedObjects> application_objects_ = std::make_shared<SharedObjects>();
  std::mutex start_mutex_;
  std::atomic<bool> started_{false};
  uint64_t failed_generation_ = 0;  // of the global.asa whose start failed; under start_mutex_
  SessionEnds ends_;                // last: its thread uses everything above
};

}  // namespace mirelda::host
