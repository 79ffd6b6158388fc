#include "host/page/page_runner.h"

#include <cstdio>
#include <optional>
#include <unordered_map>
#include <vector>

#include "host/objects/code_page.h"
#include "host/objects/http_context.h"
#include "mirelda/text.h"

namespace mirelda::host {
namespace {

// Server.Execute nests no deeper than this, so a page that executes itself fails instead of
// exhausting the thread.
constexpr int kMaxExecuteDepth = 16;

// Each worker thread keeps its own runner of each engine for each depth of Server.Execute: a
// runner serves one thread, and a page it runs may be running a nested one.
ScriptRunner& ThreadRunner(const ScriptEngine& engine, int depth) {
  thread_local std::vector<std::unordered_map<const ScriptEngine*, std::unique_ptr<ScriptRunner>>>
      runners;
  if (runners.size() <= static_cast<size_t>(depth)) runners.resize(static_cast<size_t>(depth) + 1);
  std::unique_ptr<ScriptRunner>& runner = runners[static_cast<size_t>(depth)][&engine];
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

AspErrorInfo InfoOf(const PageRun& run) {
  AspErrorInfo info;
  info.number = run.number;
  info.description = run.description;
  info.source = run.source;
  info.file = run.where.file;
  info.line = run.where.line;
  info.column = run.where.column;
  info.category = run.source;
  return info;
}

}  // namespace

// The pages of one request: the page the browser asked for and those it runs with
// Server.Execute, each on the thread's runner of its depth.
class PageRunner::RequestRun final : public PageExecutor {
 public:
  RequestRun(PageRunner& runner, PageServices& services, PageRunInput input)
      : runner_(runner), services_(services), input_(std::move(input)) {}

  PageRun RunTop(const CompiledPage& page, HttpContext& context) {
    current_ = &context;
    PageRun run = RunOn(page, context);
    // An executed page's error that went on up unhandled is reported where it was raised.
    if (run.outcome == PageRun::Outcome::kFailed && raised_ && raised_->number == run.number &&
        raised_->description == run.description) {
      run.where = raised_->where;
      run.source = raised_->source;
    }
    if (run.outcome == PageRun::Outcome::kFailed) last_error_ = InfoOf(run);
    return run;
  }

  void ExecutePage(const std::string& url_path) override {
    if (depth_ >= kMaxExecuteDepth) {
      throw Error(errc::kOutOfStack, "Server.Execute runs pages nested deeper than " +
                                         std::to_string(kMaxExecuteDepth) + " levels");
    }
    SiteTarget target = runner_.site_.ResolveDecoded(url_path);
    if (target.kind != SiteTarget::Kind::kPage) {
      throw Error(errc::kFileNotFound, "Server.Execute: \"" + url_path + "\" is no page of the site");
    }
    std::shared_ptr<const CompiledPage> compiled;
    try {
      compiled = runner_.cache_.Get(target.url_path);
    } catch (const PageError& e) {
      Raise(Failed(e));
    }
    PageLocation location{target.url_path, target.file, runner_.site_.root()};
    std::shared_ptr<HttpContext> context = HttpContext::MakeNested(*current_, location, services_);
    HttpContext* caller = current_;
    current_ = context.get();
    ++depth_;
    struct Restore {
      RequestRun& run;
      HttpContext* caller;
      ~Restore() {
        --run.depth_;
        run.current_ = caller;
      }
    } restore{*this, caller};
    PageRun run = RunOn(*compiled, *context);
    context->FinishPage();
    if (run.outcome == PageRun::Outcome::kEnded) throw EndOfPage{};
    if (run.outcome == PageRun::Outcome::kFailed) Raise(run);
  }

  AspErrorInfo LastError() override { return last_error_; }

 private:
  PageRun RunOn(const CompiledPage& page, HttpContext& context) {
    PageRunInput input = input_;
    input.context = &context;
    return ThreadRunner(*page.engine, depth_).Run(*page.script, input);
  }

  [[noreturn]] void Raise(const PageRun& run) {
    raised_ = run;
    last_error_ = InfoOf(run);
    throw Error(run.number, run.description, run.source);
  }

  PageRunner& runner_;
  PageServices& services_;
  PageRunInput input_;
  HttpContext* current_ = nullptr;
  int depth_ = 0;
  std::optional<PageRun> raised_;  // the last failure of an executed page
  AspErrorInfo last_error_;
};

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
  PageRunInput input;
  input.time_limit =
      std::chrono::duration_cast<std::chrono::milliseconds>(settings_.script_timeout);
  input.deadline = std::chrono::steady_clock::now() + input.time_limit;
  input.memory_limit = settings_.script_memory;
  RequestRun pages(*this, services, input);
  services.executor = &pages;
  std::shared_ptr<HttpContext> context = HttpContext::Make(std::move(request), location, services);

  PageRun run;
  try {
    std::shared_ptr<const CompiledPage> compiled = cache_.Get(page.url_path);
    if (compiled->source->directives.code_page) {
      context->SetCodePage(*compiled->source->directives.code_page);
    }
    run = pages.RunTop(*compiled, *context);
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
