// The seam between the page host and the script languages. The host parses a page into a
// PageSource, asks the engine of the page's language to compile it once, and runs the compiled
// script against a page's ScriptingContext on the worker thread that serves the request. The
// host knows no language; an engine knows no HTTP. EngineRegistry is the one place that names the
// engines.
//
// Threading: an engine and its compiled scripts are immutable and shared by every thread; a
// ScriptRunner belongs to one thread, which runs one page on it at a time (a page that runs
// another page, as Server.Execute does, runs it on the same runner, nested).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/page/page_source.h"
#include "mirelda/error.h"
#include "mirelda/host.h"
#include "mirelda/variant.h"

namespace mirelda::host {

// A failure of a page's code in the one shape every language and the host share, for compile
// errors, run-time errors and the faults a check finds: the runtime's error (number,
// description, source) and the place in the page's files it belongs to. Compile errors carry the
// language's compile error numbers (1002 "Syntax error", 1025 "Expected end of statement", ...).
struct ScriptFailure : ErrorInfo {
  SourceLocation where;

  ScriptFailure() = default;
  ScriptFailure(const Error& error, SourceLocation at)
      : ErrorInfo{error.number(), error.description(), error.source()}, where(std::move(at)) {}
  // The failure as the Error a caller of the page (Server.Execute) raises.
  Error error() const { return Error(number, description, source); }
};

// A ScriptFailure thrown, by compiling: an Error itself, so whatever catches Errors catches it.
class PageError : public Error {
 public:
  explicit PageError(ScriptFailure failure) : Error(failure.error()), failure_(std::move(failure)) {}
  PageError(const Error& error, SourceLocation where)
      : PageError(ScriptFailure(error, std::move(where))) {}
  const ScriptFailure& failure() const { return failure_; }
  const SourceLocation& where() const { return failure_.where; }

 private:
  ScriptFailure failure_;
};

// A fault that a check of a page finds without running it: what the language would raise, and
// where.
using PageFinding = ScriptFailure;

// An object the page reaches by name besides the five of the context, as global.asa's object
// tags declare them. get makes (or finds) it on first use; a page that never names it never
// makes it.
struct NamedObject {
  std::string name;
  std::function<std::shared_ptr<Dispatch>()> get;
};

// Thrown across the seam when a call into another language's script passed the page's deadline:
// the page fails with the time limit, and no handler in either language stops that.
struct TimeLimitReached {};

// The globals of a running script as the page's code in another language reaches them: a name
// that code does not define itself is looked up here, without regard to case. Get, Put and Call
// raise the callee's own Error (number, description), EndOfPage for Response.End and
// TimeLimitReached for the time limit. Belongs to the thread that runs the page.
class PageGlobals {
 public:
  enum class Kind : uint8_t { kNone, kVariable, kFunction };

  virtual ~PageGlobals() = default;
  virtual Kind Find(std::string_view name) = 0;
  // The names the script defines, as it spells them.
  virtual std::vector<std::pair<std::string, Kind>> Names() = 0;
  virtual Variant Get(std::string_view name) = 0;
  virtual void Put(std::string_view name, const Variant& value) = 0;
  virtual Variant Call(std::string_view name, std::vector<Variant>& args) = 0;
};

class ScriptSession;

// What a run is given besides the compiled script.
struct PageRunInput {
  ScriptingContext* context = nullptr;
  // The run fails, as a script error, once the clock passes the deadline; time_limit is only for
  // the message ("The page ran longer than its time limit of 90 seconds").
  std::chrono::steady_clock::time_point deadline;
  std::chrono::milliseconds time_limit{90000};
  // The most memory the page's script values may hold; a page that needs more fails with
  // Out of memory (7).
  size_t memory_limit = size_t{512} << 20;
  std::vector<NamedObject> objects;
  // The globals of the page's code in its other languages, whose top-level code has run; empty
  // for a page in one language.
  std::vector<PageGlobals*> peers;
  // The runs of those languages, which a run whose globals others can reach hands them to.
  std::vector<ScriptSession*> sessions;
};

// How a run went; for kFailed, its ScriptFailure says what no script handled and where it was
// raised ("Microsoft VBScript runtime error", a component's source, ...).
struct PageRun : ScriptFailure {
  enum class Outcome {
    kCompleted,  // ran to its end
    kEnded,      // stopped by Response.End (Redirect alone does not stop a page)
    kFailed,     // an error no script handled, or the time limit
  };
  Outcome outcome = Outcome::kCompleted;

  static PageRun Failed(ScriptFailure failure) {
    PageRun run;
    static_cast<ScriptFailure&>(run) = std::move(failure);
    run.outcome = Outcome::kFailed;
    return run;
  }
};

// A page compiled by one engine. Immutable; shared by every thread.
class CompiledScript {
 public:
  virtual ~CompiledScript() = default;
};

// The code of a page in one of its other languages, begun for the whole page: its top-level code
// has run and its globals stay alive until the session is destroyed, which ends the run.
class ScriptSession {
 public:
  virtual ~ScriptSession() = default;
  // How the top-level code went; the page goes on only after kCompleted.
  virtual const PageRun& outcome() const = 0;
  virtual PageGlobals& globals() = 0;
  // The globals of the page's primary language, which the session's code reaches where it
  // defines no name itself, while the primary run lasts; null when it ends.
  virtual void Reach(PageGlobals* primary) = 0;
};

// One thread's instance of an engine: the state a run needs (a script heap, a value stack).
class ScriptRunner {
 public:
  virtual ~ScriptRunner() = default;

  // Runs the page's code and literal text in page order against input.context. Response.End
  // (EndOfPage) ends the run as kEnded; errors are reported in the result, never thrown.
  virtual PageRun Run(const CompiledScript& script, const PageRunInput& input) = 0;

  // Runs the page's top-level code, then calls the procedure of that name without arguments
  // (global.asa's Application_OnStart, Session_OnStart, Session_OnEnd). A script that has no
  // such procedure completes without calling anything.
  virtual PageRun RunProcedure(const CompiledScript& script, std::string_view procedure,
                               const PageRunInput& input) = 0;

  // Runs the top-level code of a page's other language and keeps its state for the page's
  // primary language to reach. input must outlive the session; this runner runs nothing else
  // until the session is destroyed.
  virtual std::unique_ptr<ScriptSession> Begin(const CompiledScript& script,
                                               const PageRunInput& input) = 0;
};

class ScriptEngine {
 public:
  virtual ~ScriptEngine() = default;

  // The canonical name that PageSource segments and directives carry ("vbscript").
  virtual std::string_view name() const = 0;
  // Compiles the literal text of the page and the code pieces in this engine's language. Throws
  // PageError for a syntax error (with file, line and column). Safe to call from any thread.
  virtual std::shared_ptr<const CompiledScript> Compile(const PageSource& source) const = 0;
  // Compiles the page as Compile does and returns what else its code shows to be wrong before
  // it runs, such as names that nothing defines. known: names the host defines when the page
  // runs (its objects, the object tags of the page and of global.asa), in any letter case.
  // Throws PageError as Compile does. This default only compiles.
  virtual std::vector<PageFinding> Check(const PageSource& source,
                                         const std::vector<std::string>& known) const;
  // Compiles the code of a page in this engine's language when the page's primary language is
  // another (source holds only this language's code), for ScriptRunner::Begin.
  virtual std::shared_ptr<const CompiledScript> CompileSecondary(
      const PageSource& source) const = 0;
  // A runner for the calling thread.
  virtual std::unique_ptr<ScriptRunner> NewRunner() const = 0;
};

// The engines a host knows, by the names pages give their language in (any letter case):
// "VBScript" and "VBS", "JavaScript" and "JScript".
class EngineRegistry {
 public:
  void Add(std::shared_ptr<const ScriptEngine> engine, std::vector<std::string> names);

  // The engine of a language name or of a canonical name; null when there is none.
  const ScriptEngine* Find(std::string_view language) const;
  // The canonical name of a language name; empty when no engine takes it.
  std::string Canonical(std::string_view language) const;
  const std::vector<std::shared_ptr<const ScriptEngine>>& engines() const { return engines_; }

 private:
  std::vector<std::shared_ptr<const ScriptEngine>> engines_;
  std::vector<std::pair<std::string, const ScriptEngine*>> names_;
};

}  // namespace mirelda::host
