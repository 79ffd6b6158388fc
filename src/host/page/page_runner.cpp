#include "host/page/page_runner.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <vector>

#include "host/objects/code_page.h"
#include "host/objects/http_context.h"
#include "mirelda/registry.h"
#include "mirelda/text.h"

namespace mirelda::host {
namespace {

// Server.Execute nests no deeper than this, so a page that executes itself fails instead of
// exhausting the thread.
constexpr int kMaxExecuteDepth = 16;

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

// A page that needed the shared store while it was down: the visitor may try again shortly, and
// gets nothing of the page, which ran without its session or application values.
Reply StoreDownReply(int32_t code_page) {
  Reply reply;
  reply.status = 503;
  reply.AddHeader("Content-Type", "text/html; charset=" + CharsetName(code_page));
  reply.AddHeader("Retry-After", "5");
  reply.body = EncodeToCodePage(
      "<!DOCTYPE html>\n<html><head><title>Service unavailable</title></head><body>\n"
      "<h1>Service unavailable</h1>\n<p>The session store cannot be reached. Please try again "
      "in a moment.</p>\n</body></html>\n",
      code_page);
  return reply;
}

// Calls an event procedure that the globals of one of a page's languages define.
PageRun CallEvent(PageGlobals& globals, std::string_view procedure, const PageRunInput& input,
                  const std::string& url_path) {
  PageRun run;
  try {
    if (globals.Find(procedure) == PageGlobals::Kind::kFunction) {
      std::vector<Variant> none;
      globals.Call(procedure, none);
    }
  } catch (const EndOfPage&) {
    run.outcome = PageRun::Outcome::kEnded;
  } catch (const TimeLimitReached&) {
    run.outcome = PageRun::Outcome::kFailed;
    run.number = errc::kUnspecified;
    run.description = "The page ran longer than its time limit of " +
                      std::to_string(input.time_limit.count() / 1000) + " seconds";
  } catch (const Error& e) {
    return PageRun::Failed(ScriptFailure(e, SourceLocation{url_path, 0, 0}));
  }
  run.where.file = url_path;
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
// Server.Execute, and the procedures of global.asa the request runs. The request holds a runner
// of each engine for each depth of Server.Execute it reaches (a page may be running a nested
// one), and the shared objects its pages use, until it ends.
class PageRunner::RequestRun final : public PageExecutor {
 public:
  RequestRun(PageRunner& runner, PageServices& services, PageRunInput input,
             std::shared_ptr<const CompiledPage> global)
      : runner_(runner),
        services_(services),
        input_(std::move(input)),
        global_(std::move(global)) {}

  PageRun RunTop(const CompiledPage& page, HttpContext& context) {
    current_ = &context;
    PageRun run = RunOn(page, context, "");
    // An executed page's error that went on up unhandled is reported where it was raised.
    if (run.outcome == PageRun::Outcome::kFailed && raised_ && raised_->number == run.number &&
        raised_->description == run.description) {
      run.where = raised_->where;
      run.source = raised_->source;
    }
    if (run.outcome == PageRun::Outcome::kFailed) last_error_ = InfoOf(run);
    return run;
  }

  // One of global.asa's event procedures, in context.
  PageRun RunEvent(HttpContext& context, std::string_view procedure) {
    current_ = &context;
    return RunOn(*global_, context, procedure);
  }

  void ExecutePage(const std::string& url_path) override {
    if (depth_ >= kMaxExecuteDepth) {
      throw Error(errc::kOutOfStack, "Server.Execute runs pages nested deeper than " +
                                         std::to_string(kMaxExecuteDepth) + " levels");
    }
    SiteTarget target = runner_.site_.ResolveDecoded(url_path);
    if (target.kind != SiteTarget::Kind::kPage) {
      throw Error(errc::kFileNotFound,
                  "Server.Execute: \"" + url_path + "\" is no page of the site");
    }
    std::shared_ptr<const CompiledPage> compiled;
    try {
      compiled = runner_.cache_.Get(target.url_path);
    } catch (const PageError& e) {
      Raise(PageRun::Failed(e.failure()));
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
    PageRun run = RunOn(*compiled, *context, "");
    context->FinishPage();
    if (run.outcome == PageRun::Outcome::kEnded) throw EndOfPage{};
    if (run.outcome == PageRun::Outcome::kFailed) Raise(run);
  }

  AspErrorInfo LastError() override { return last_error_; }

 private:
  PageRun RunOn(const CompiledPage& page, HttpContext& context, std::string_view procedure) {
    PageRunInput input = input_;
    input.context = &context;
    // The page's own objects are made for this run; the page's tags come before global.asa's.
    std::map<std::string, std::shared_ptr<Dispatch>, LessIgnoreCase> made;
    auto add = [&](const ObjectTag& tag) {
      for (const NamedObject& known : input.objects) {
        if (text::EqualsIgnoreCase(known.name, tag.id)) return;
      }
      input.objects.push_back(
          {tag.id, [this, &tag, &made, &context] { return Get(tag, made, context); }});
    };
    for (const ObjectTag& tag : page.source->objects) add(tag);
    if (global_ && global_.get() != &page) {
      for (const ObjectTag& tag : global_->source->objects) add(tag);
    }
    // The other languages' code runs first and stays alive for the whole page, so that the
    // primary language reaches its functions and variables; those runs end after the page.
    const PageRunInput secondary_input = input;
    std::vector<std::unique_ptr<ScriptSession>> sessions;
    for (const CompiledPage::Secondary& secondary : page.secondaries) {
      sessions.push_back(RunnerFor(*secondary.engine).Begin(*secondary.script, secondary_input));
      if (sessions.back()->outcome().outcome != PageRun::Outcome::kCompleted) {
        return sessions.back()->outcome();
      }
      input.peers.push_back(&sessions.back()->globals());
      input.sessions.push_back(sessions.back().get());
    }
    ScriptRunner& runner = RunnerFor(*page.engine);
    if (procedure.empty()) return runner.Run(*page.script, input);
    PageRun run = runner.RunProcedure(*page.script, procedure, input);
    // global.asa may define an event in one of its other languages.
    for (const auto& session : sessions) {
      if (run.outcome != PageRun::Outcome::kCompleted) break;
      run = CallEvent(session->globals(), procedure, input, page.source->url_path);
    }
    return run;
  }

  std::shared_ptr<Dispatch> Get(
      const ObjectTag& tag, std::map<std::string, std::shared_ptr<Dispatch>, LessIgnoreCase>& made,
      HttpContext& context) {
    auto make = [&tag] { return mirelda::CreateObject(tag.prog_id); };
    switch (tag.scope) {
      case ObjectTag::Scope::kPage: {
        std::shared_ptr<Dispatch>& object = made[tag.id];
        if (!object) object = context.Server()->CreateObject(tag.prog_id);
        return object;
      }
      case ObjectTag::Scope::kSession:
        return context.session().Objects()->Use(tag.id, make, input_.deadline, held_);
      case ObjectTag::Scope::kApplication:
        return runner_.application_objects_->Use(tag.id, make, input_.deadline, held_);
    }
    return nullptr;
  }

  ScriptRunner& RunnerFor(const ScriptEngine& engine) {
    for (const auto& [depth, lease] : leases_) {
      if (depth == depth_ && &lease.engine() == &engine) return *lease;
    }
    leases_.emplace_back(depth_, runner_.runners_.Take(engine));
    return *leases_.back().second;
  }

  [[noreturn]] void Raise(const PageRun& run) {
    raised_ = run;
    last_error_ = InfoOf(run);
    throw run.error();
  }

  PageRunner& runner_;
  PageServices& services_;
  PageRunInput input_;
  std::shared_ptr<const CompiledPage> global_;
  HttpContext* current_ = nullptr;
  int depth_ = 0;
  std::optional<PageRun> raised_;  // the last failure of an executed page
  AspErrorInfo last_error_;
  HeldObjects held_;
  std::vector<std::pair<int, RunnerPool::Lease>> leases_;  // by depth; outlive every run
};

PageRunner::PageRunner(const Site& site, const EngineRegistry& engines, PageSettings settings,
                       SessionStore& sessions, ApplicationState& application, AccessLog& log)
    : site_(site),
      engines_(engines),
      settings_(std::move(settings)),
      sessions_(sessions),
      application_(application),
      log_(log),
      cache_(site.root(), engines, settings_.default_language, settings_.code_page),
      ends_(
          sessions,
          [this](const std::string& id, SessionState state) { EndSession(id, std::move(state)); },
          std::chrono::seconds(30)) {
  sessions_.SetEndHandler(
      [this](const std::string& id, SessionState state) { ends_.Push(id, std::move(state)); });
}

PageRunner::~PageRunner() {
  // The thread sweeps the store, which calls the handler: it stops before the handler goes.
  ends_.Stop();
  sessions_.SetEndHandler(nullptr);
}

PageRunInput PageRunner::NewInput() const {
  PageRunInput input;
  input.time_limit =
      std::chrono::duration_cast<std::chrono::milliseconds>(settings_.script_timeout);
  input.deadline = std::chrono::steady_clock::now() + input.time_limit;
  input.memory_limit = settings_.script_memory;
  return input;
}

void PageRunner::LogFailure(const PageRun& run, std::string_view request_id) {
  std::string where = run.where.file + " line " + std::to_string(run.where.line);
  if (run.where.column > 0) where += " column " + std::to_string(run.where.column);
  std::string line = "page error in " + where + ": " + std::to_string(run.number) + " " +
                     run.description;
  if (!run.source.empty()) line += " (" + run.source + ")";
  if (!request_id.empty()) line += " [request " + std::string(request_id) + "]";
  log_.Line(line);
}

Reply PageRunner::FailureReply(const PageRun& run, int32_t code_page) const {
  if (settings_.debug_errors) return ErrorReply(run, code_page);
  SiteTarget own = settings_.error_pages.Find(500);
  std::optional<Reply> reply;
  if (own.kind == SiteTarget::Kind::kStaticFile) reply = settings_.error_pages.FileReply(own, 500);
  return reply ? std::move(*reply) : PlainErrorReply(code_page);
}

std::optional<PageRun> PageRunner::StartApplication(
    const std::shared_ptr<const CompiledPage>& global) {
  if (started_.load(std::memory_order_acquire)) return std::nullopt;
  // Every other first page waits here until the application has started.
  std::lock_guard lock(start_mutex_);
  if (started_.load(std::memory_order_relaxed)) return std::nullopt;
  // A failed start is not repeated for the same global.asa (a second run would redo what the
  // first did before it failed); a changed global.asa gets its own try.
  if (failed_generation_ == global->source->generation) return std::nullopt;
  PageRun run;
  if (global->has_application_start) {
    run = RunDetached(global, "Application_OnStart", "", std::nullopt);
  }
  if (run.outcome != PageRun::Outcome::kFailed) {
    started_.store(true, std::memory_order_release);
    return std::nullopt;
  }
  failed_generation_ = global->source->generation;
  return run;
}

void PageRunner::EndSession(const std::string& id, SessionState state) {
  std::shared_ptr<const CompiledPage> global;
  try {
    global = cache_.GetGlobal();
  } catch (const PageError& e) {
    LogFailure(PageRun::Failed(e.failure()));
    return;
  }
  if (!global || !global->has_session_end) return;
  PageRun run = RunDetached(global, "Session_OnEnd", id, std::move(state));
  if (run.outcome == PageRun::Outcome::kFailed) LogFailure(run);
}

PageRun PageRunner::RunDetached(std::shared_ptr<const CompiledPage> global,
                                std::string_view procedure, const std::string& session_id,
                                std::optional<SessionState> session) {
  MemorySessionStore scratch(1);
  auto request = std::make_shared<RequestData>();
  request->method = "GET";
  request->path = global->source->url_path;
  request->protocol = "HTTP/1.1";
  if (session) {
    scratch.Adopt(session_id, std::move(*session));
    request->headers.emplace_back("Cookie", std::string(kSessionCookieName) + "=" + session_id);
  }
  SessionState defaults;
  defaults.timeout = settings_.session_timeout;
  defaults.code_page = settings_.code_page;
  PageServices services{scratch, application_, defaults,
                        static_cast<int32_t>(settings_.script_timeout.count())};
  PageLocation location{global->source->url_path, site_.root() / global->source->url_path.substr(1),
                        site_.root()};
  PageRunInput input = NewInput();
  services.deadline = input.deadline;
  RequestRun pages(*this, services, std::move(input), std::move(global));
  services.executor = &pages;
  std::shared_ptr<HttpContext> context = HttpContext::Make(std::move(request), location, services);
  PageRun run = pages.RunEvent(*context, procedure);
  try {
    context->FinishPage();
  } catch (const std::exception& e) {
    log_.Line("end of " + std::string(procedure) + " failed: " + e.what());
  } catch (const EndOfPage&) {
    // Response.End from a component's OnEndPage: the run has ended already.
  }
  return run;
}

Reply PageRunner::Run(std::shared_ptr<const RequestData> request, const SiteTarget& page) {
  bool failed = false;
  Reply reply = RunOnce(request, page, &failed);
  if (!failed || settings_.debug_errors) return reply;
  SiteTarget own = settings_.error_pages.Find(500);
  if (own.kind != SiteTarget::Kind::kPage || own.url_path == page.url_path) return reply;
  // The site's 500 page runs for the same request once the failed page has let go of
  // everything; should it fail too, the plain page stands.
  bool failed_again = false;
  Reply shown = RunOnce(std::move(request), own, &failed_again);
  if (failed_again) return reply;
  shown.status = 500;
  for (const auto& [name, value] : reply.headers) {
    if (text::EqualsIgnoreCase(name, "Set-Cookie")) shown.AddHeader(name, value);
  }
  return shown;
}

Reply PageRunner::RunOnce(std::shared_ptr<const RequestData> request, const SiteTarget& page,
                          bool* failed) {
  std::string request_id = request->request_id;
  PageLocation location{page.url_path, page.file, site_.root()};
  SessionState defaults;
  defaults.timeout = settings_.session_timeout;
  defaults.code_page = settings_.code_page;
  PageServices services{sessions_, application_, defaults,
                        static_cast<int32_t>(settings_.script_timeout.count())};
  services.secure_cookies = settings_.secure_cookies;
  PageRun run;
  std::shared_ptr<const CompiledPage> global;
  try {
    global = cache_.GetGlobal();
  } catch (const PageError& e) {
    run = PageRun::Failed(e.failure());
  }
  PageRunInput input = NewInput();
  services.deadline = input.deadline;
  RequestRun pages(*this, services, std::move(input), global);
  services.executor = &pages;
  std::shared_ptr<HttpContext> context = HttpContext::Make(std::move(request), location, services);

  if (run.outcome != PageRun::Outcome::kFailed) {
    try {
      std::shared_ptr<const CompiledPage> compiled = cache_.Get(page.url_path);
      if (compiled->source->directives.code_page) {
        context->SetCodePage(*compiled->source->directives.code_page);
      }
      std::optional<PageRun> before;
      if (global) before = StartApplication(global);
      if (!compiled->source->directives.session_state) {
        context->session().TurnOff();
      } else if (!before && global && global->has_session_start && !context->session().live()) {
        context->session().SessionID();
        PageRun start = pages.RunEvent(*context, "Session_OnStart");
        if (start.outcome != PageRun::Outcome::kCompleted) before = start;
      }
      run = before ? *before : pages.RunTop(*compiled, *context);
    } catch (const PageError& e) {
      run = PageRun::Failed(e.failure());
    } catch (const Error& e) {
      // The session looked up for Session_OnStart: its store may be down.
      run = PageRun::Failed(ScriptFailure(e, SourceLocation{page.url_path, 0, 0}));
    }
  }
  std::optional<std::string> session_cookie;
  try {
    session_cookie = context->FinishPage();
  } catch (const std::exception& e) {
    log_.Line("page end of " + page.url_path + " failed: " + e.what());
  } catch (const EndOfPage&) {
    // Response.End from a component's OnEndPage: the page has ended already.
  }

  for (std::string line : context->response().log_lines()) {
    // One log line per call, whatever the page put into it.
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    log_.Line("page log of " + page.url_path + ": " + line);
  }
  Reply reply;
  if (context->session().store_failed() || context->application().store_failed()) {
    log_.Line("page " + page.url_path + " answered 503: the session store cannot be reached");
    reply = StoreDownReply(context->code_page());
    session_cookie.reset();
  } else if (run.outcome == PageRun::Outcome::kFailed) {
    *failed = true;
    LogFailure(run, request_id);
    reply = FailureReply(run, context->code_page());
    context->response().AddCookieHeaders(reply);
  } else {
    reply = context->response().Finish();
  }
  if (session_cookie) reply.AddHeader("Set-Cookie", *session_cookie);
  // Pages are private to their visitor unless the page asked for stricter ("no-store").
  bool cache_set = std::any_of(reply.headers.begin(), reply.headers.end(), [](const auto& h) {
    return text::EqualsIgnoreCase(h.first, "Cache-Control");
  });
  if (!cache_set) reply.AddHeader("Cache-Control", "private");
  return reply;
}

}  // namespace mirelda::host
