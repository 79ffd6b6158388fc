#include "host/page/page_runner.h"

#include <cstdio>
#include <unordered_map>

#include "host/objects/code_page.h"
#include "host/objects/http_context.h"
#include "mirelda/text.h"

namespace mirelda::host {
namespace {

// Each worker thread keeps its own runner of each engine: a runner serves one thread.
ScriptRunner& ThreadRunner(const ScriptEngine& engine) {
  thread_local std::unordered_map<const ScriptEngine*, std::unique_ptr<ScriptRunner>> runners;
  std::unique_ptr<ScriptRunner>& runner = runners[&engine];
  if (!runner) runner = engine.NewRunner();
  return *runner;
}

std::string Where(const SourceLocation& where) {
  std::string text = where.file + ", line " + std::to_string(where.line);
  if (where.column > 0) text += ", column " + std::to_string(where.column);
  return text;
}

Reply ErrorReply(const PageRun& run, int32_t code_page) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<uint32_t>(run.number));
  std::string html =
      "<!DOCTYPE html>\n<html><head><title>Page error</title></head><body>\n"
      "<h1>Page error</h1>\n<p>Error number: " +
      std::to_string(run.number) + " (" + hex +
      ")</p>\n<p>Description: " + text::EscapeHtml(run.description) + "</p>\n" +
      (run.source.empty() ? "" : "<p>Source: " + text::EscapeHtml(run.source) + "</p>\n") +
      "<p>File: " + text::EscapeHtml(Where(run.where)) + "</p>\n</body></html>\n";
  Reply reply;
  reply.status = 500;
  reply.AddHeader("Content-Type", "text/html; charset=" + CharsetName(code_page));
  reply.body = EncodeToCodePage(html, code_page);
  return reply;
}

PageRun Failed(const PageError& e) {
  PageRun run;
  run.outcome = PageRun::Outcome::kFailed;
  run.number = e.number();
  run.description = e.description();
  run.source = e.source();
  run.where = e.where();
  return run;
}

}  // namespace

PageRunner::PageRunner(const Site& site, const EngineRegistry& engines, PageSettings settings,
                       SessionStore& sessions, AccessLog& log)
    : site_(site),
      engines_(engines),
      settings_(std::move(settings)),
      sessions_(sessions),
      log_(log),
      cache_(site.root(), engines, settings_.default_language, settings_.code_page) {}

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
    if (compiled->source->directives.code_page) {
      context->SetCodePage(*compiled->source->directives.code_page);
    }
    PageRunInput input;
    input.context = context.get();
    input.time_limit =
        std::chrono::duration_cast<std::chrono::milliseconds>(settings_.script_timeout);
    input.deadline = std::chrono::steady_clock::now() + input.time_limit;
    input.memory_limit = settings_.script_memory;
    run = ThreadRunner(*compiled->engine).Run(*compiled->script, input);
  } catch (const PageError& e) {
    run = Failed(e);
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
    std::string where = run.where.file + " line " + std::to_string(run.where.line);
    if (run.where.column > 0) where += " column " + std::to_string(run.where.column);
    log_.Line("page error in " + where + ": " + std::to_string(run.number) + " " + run.description);
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
