#include "host/page_runner.h"

#include <cstdio>

#include "host/code_page.h"
#include "host/http_context.h"
#include "host/script_engine.h"
#include "mirelda/text.h"

namespace mirelda::host {
namespace {

// Each worker thread keeps its own engine: a script heap serves one thread.
ScriptEngine& ThreadEngine() {
  thread_local ScriptEngine engine;
  return engine;
}

Reply ErrorReply(const PageRun& run, int32_t code_page) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<uint32_t>(run.number));
  std::string html =
      "<!DOCTYPE html>\n<html><head><title>Page error</title></head><body>\n"
      "<h1>Page error</h1>\n<p>Error number: " +
      std::to_string(run.number) + " (" + hex +
      ")</p>\n<p>Description: " + text::EscapeHtml(run.description) +
      "</p>\n<p>File: " + text::EscapeHtml(run.where.file) + ", line " +
      std::to_string(run.where.line) + "</p>\n</body></html>\n";
  Reply reply;
  reply.status = 500;
  reply.AddHeader("Content-Type", "text/html; charset=" + CharsetName(code_page));
  reply.body = EncodeToCodePage(html, code_page);
  return reply;
}

}  // namespace

PageRunner::PageRunner(const Site& site, PageSettings settings, SessionStore& sessions,
                       AccessLog& log)
    : site_(site),
      settings_(settings),
      sessions_(sessions),
      log_(log),
      cache_(site.root(), settings.code_page) {}

Reply PageRunner::Run(std::shared_ptr<const RequestData> request, const SiteTarget& page) {
  PageLocation location{page.url_path, page.file, site_.root()};
  SessionState defaults;
  defaults.timeout = settings_.session_timeout;
  defaults.code_page = settings_.code_page;
  PageServices services{sessions_, application_, defaults,
                        static_cast<int32_t>(settings_.script_timeout.count())};
  std::shared_ptr<HttpContext> context = HttpContext::Make(std::move(request), location, services);

  PageRun run;
  try {
    std::shared_ptr<const CompiledPage> compiled = cache_.Get(page.url_path);
    run = ThreadEngine().Run(
        *compiled, *context,
        std::chrono::duration_cast<std::chrono::milliseconds>(settings_.script_timeout));
  } catch (const PageCompileError& e) {
    run.outcome = PageRun::Outcome::kFailed;
    run.number = errc::kUnspecified;
    run.description = e.what();
    run.where = e.where();
  }
  std::optional<std::string> session_cookie;
  try {
    session_cookie = context->FinishPage();
  } catch (const std::exception& e) {
    log_.Line("page end of " + page.url_path + " failed: " + e.what());
  } catch (const EndOfPage&) {
    // Response.End from a component's OnEndPage: the page has ended already.
  }

  Reply reply;
  if (run.outcome == PageRun::Outcome::kFailed) {
    log_.Line("page error in " + run.where.file + " line " + std::to_string(run.where.line) + ": " +
              std::to_string(run.number) + " " + run.description);
    reply = ErrorReply(run, context->code_page());
    context->response().AddCookieHeaders(reply);
  } else {
    reply = context->response().Finish();
  }
  if (session_cookie) reply.AddHeader("Set-Cookie", *session_cookie);
  reply.AddHeader("Cache-Control", "private");
  return reply;
}

}  // namespace mirelda::host
