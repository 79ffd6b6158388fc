#include "script/javascript/javascript_engine.h"

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>
#include <unordered_map>

#include "mirelda/error.h"
#include "script/javascript/known_globals.h"
#include "script/javascript/language_bridge.h"
#include "script/javascript/page_script.h"
#include "script/javascript/script_heap.h"
#include "script/javascript/script_objects.h"
#include "script/javascript/script_values.h"
#include "script/javascript/thrown_value.h"

// Asked by the engine's executor every so many instructions (see duktape_unit.cpp): true stops
// the running script. Once true it stays true until the page has unwound.
extern "C" int mirelda_script_interrupted(void* heap_udata) {
  auto* heap = static_cast<mirelda::script::javascript::ScriptHeap*>(heap_udata);
  if (!heap) return 0;
  if (heap->end_requested || heap->timed_out) return 1;
  if (heap->running && std::chrono::steady_clock::now() >= heap->deadline) {
    heap->timed_out = true;
    return 1;
  }
  return 0;
}

namespace mirelda::script::javascript {
namespace {

constexpr const char kPagesKey[] = DUK_HIDDEN_SYMBOL("mireldaPages");
constexpr const char kGlobalsKey[] = DUK_HIDDEN_SYMBOL("mireldaGlobals");
constexpr const char kLiteralKey[] = DUK_HIDDEN_SYMBOL("mireldaLiteral");
constexpr const char kWriteKey[] = DUK_HIDDEN_SYMBOL("mireldaWrite");
constexpr const char kScopeKey[] = DUK_HIDDEN_SYMBOL("mireldaScope");
constexpr const char kEndKey[] = DUK_HIDDEN_SYMBOL("mireldaEnd");
// The page's objects, which a secondary run's code reaches as globals.
constexpr const char* kIntrinsicNames[kIntrinsicCount] = {"Request", "Response", "Server",
                                                          "Session", "Application"};

// Every allocation carries its size in front, so the heap's total is known exactly.
struct alignas(16) AllocationHeader {
  size_t size;
};

void* Allocate(void* udata, duk_size_t size) {
  auto* heap = static_cast<ScriptHeap*>(udata);
  if (size > heap->memory_limit - heap->allocated) return nullptr;
  auto* header = static_cast<AllocationHeader*>(std::malloc(sizeof(AllocationHeader) + size));
  if (!header) return nullptr;
  header->size = size;
  heap->allocated += size;
  return header + 1;
}

void Release(void* udata, void* ptr) {
  if (!ptr) return;
  auto* heap = static_cast<ScriptHeap*>(udata);
  auto* header = static_cast<AllocationHeader*>(ptr) - 1;
  heap->allocated -= header->size;
  std::free(header);
}

void* Reallocate(void* udata, void* ptr, duk_size_t size) {
  if (!ptr) return Allocate(udata, size);
  if (size == 0) {
    Release(udata, ptr);
    return nullptr;
  }
  auto* heap = static_cast<ScriptHeap*>(udata);
  auto* header = static_cast<AllocationHeader*>(ptr) - 1;
  size_t old = header->size;
  if (size > old && size - old > heap->memory_limit - heap->allocated) return nullptr;
  auto* moved =
      static_cast<AllocationHeader*>(std::realloc(header, sizeof(AllocationHeader) + size));
  if (!moved) return nullptr;
  moved->size = size;
  heap->allocated = heap->allocated - old + size;
  return moved + 1;
}

[[noreturn]] void Fatal(void*, const char* message) {
  std::fprintf(stderr, "mirelda-host: fatal script engine error: %s\n",
               message ? message : "(none)");
  std::abort();
}

duk_ret_t WriteLiteral(duk_context* ctx) {
  return Guarded(ctx, [&] {
    ScriptHeap& heap = ScriptHeap::Of(ctx);
    duk_uint_t index = duk_get_uint(ctx, 0);
    if (heap.page && heap.response && index < heap.page->literals.size()) {
      heap.response->Write(Variant(heap.page->literals[index]));
    }
    return 0;
  });
}

duk_ret_t WriteValue(duk_context* ctx) {
  return Guarded(ctx, [&] {
    ScriptHeap& heap = ScriptHeap::Of(ctx);
    Variant value = ToVariant(ctx, 0, Undefined::kEmpty);
    if (heap.response) heap.response->Write(value);
    return 0;
  });
}

// Puts the keys of the global object's own properties into the object at the top of the stack.
void CollectGlobalKeys(duk_context* ctx) {
  duk_idx_t into = duk_get_top_index(ctx);
  duk_push_global_object(ctx);
  duk_enum(
      ctx, -1,
      DUK_ENUM_OWN_PROPERTIES_ONLY | DUK_ENUM_INCLUDE_NONENUMERABLE | DUK_ENUM_INCLUDE_SYMBOLS);
  while (duk_next(ctx, -1, 0)) {
    duk_push_true(ctx);
    duk_put_prop(ctx, into);
  }
  duk_pop_2(ctx);
}

// __mireldaScope(get, set): the page function hands over the reader and writer of its own
// scope, for the names its other languages reach.
duk_ret_t KeepScope(duk_context* ctx) {
  duk_push_global_stash(ctx);
  duk_dup(ctx, 0);
  duk_put_prop_literal(ctx, -2, kScopeGetKey);
  duk_dup(ctx, 1);
  duk_put_prop_literal(ctx, -2, kScopeSetKey);
  return 0;
}

duk_ret_t ForgetScope(duk_context* ctx, void*) {
  duk_push_global_stash(ctx);
  duk_del_prop_literal(ctx, -1, kScopeGetKey);
  duk_del_prop_literal(ctx, -1, kScopeSetKey);
  return 0;
}

// __mireldaEnd(): the page's code has ended.
duk_ret_t EndOfCode(duk_context* ctx) {
  HoldFinalizers(ctx);
  return 0;
}

// Puts a native function in the stash, which keeps it for the heap's life, and returns its
// heap pointer, through which each page run pushes it.
void* StashFunction(duk_context* ctx, duk_idx_t stash, const char* key, duk_c_function function,
                    duk_idx_t nargs) {
  duk_push_c_function(ctx, function, nargs);
  void* kept = duk_get_heapptr(ctx, -1);
  duk_put_prop_string(ctx, stash, key);
  return kept;
}

duk_ret_t InitialiseHeap(duk_context* ctx, void*) {
  InstallObjectSupport(ctx);
  ScriptHeap& heap = ScriptHeap::Of(ctx);
  duk_push_global_stash(ctx);
  duk_idx_t stash = duk_get_top_index(ctx);
  duk_push_object(ctx);
  duk_put_prop_literal(ctx, -2, kPagesKey);
  heap.literal_function = StashFunction(ctx, stash, kLiteralKey, WriteLiteral, 1);
  heap.write_function = StashFunction(ctx, stash, kWriteKey, WriteValue, 1);
  heap.scope_function = StashFunction(ctx, stash, kScopeKey, KeepScope, 2);
  heap.end_function = StashFunction(ctx, stash, kEndKey, EndOfCode, 0);
  duk_push_object(ctx);
  CollectGlobalKeys(ctx);
  duk_put_prop_literal(ctx, -2, kGlobalsKey);
  duk_pop(ctx);
  return 0;
}

// A safe call shares its caller's value stack: its argument is the top value, not index 0.
duk_ret_t DeleteGlobal(duk_context* ctx, void*) {
  duk_push_global_object(ctx);
  duk_dup(ctx, -2);
  duk_del_prop(ctx, -2);
  return 0;
}

// Pushes an array of the global object's own keys that the heap did not start with: the globals
// the running page made. Runs after every page, so it looks each key up as it enumerates
// instead of gathering them into an object first.
void PushPageGlobalKeys(duk_context* ctx) {
  duk_push_global_stash(ctx);
  duk_get_prop_literal(ctx, -1, kGlobalsKey);
  duk_idx_t known = duk_get_top_index(ctx);
  duk_idx_t extra = duk_push_array(ctx);
  duk_uarridx_t count = 0;
  duk_push_global_object(ctx);
  duk_enum(
      ctx, -1,
      DUK_ENUM_OWN_PROPERTIES_ONLY | DUK_ENUM_INCLUDE_NONENUMERABLE | DUK_ENUM_INCLUDE_SYMBOLS);
  while (duk_next(ctx, -1, 0)) {
    duk_dup(ctx, -1);
    if (duk_has_prop(ctx, known)) {
      duk_pop(ctx);
    } else {
      duk_put_prop_index(ctx, extra, count++);
    }
  }
  duk_pop_2(ctx);
  duk_replace(ctx, known - 1);
  duk_set_top(ctx, known);
}

// Removes the globals a page made (assignments to undeclared names), so the next page of this
// thread does not see them.
duk_ret_t RemovePageGlobals(duk_context* ctx, void*) {
  duk_push_global_stash(ctx);
  duk_get_prop_literal(ctx, -1, kGlobalsKey);
  bool none = GlobalsAllKnown(ctx, -1);
  duk_pop_2(ctx);
  if (none) return 0;
  PushPageGlobalKeys(ctx);
  duk_idx_t extra = duk_get_top_index(ctx);
  auto count = static_cast<duk_uarridx_t>(duk_get_length(ctx, extra));
  for (duk_uarridx_t i = 0; i < count; ++i) {
    duk_get_prop_index(ctx, extra, i);
    // One at a time: a global the page made undeletable must not keep the others.
    duk_safe_call(ctx, DeleteGlobal, nullptr, 1, 1);
    duk_pop(ctx);
  }
  return 0;
}

duk_ret_t DefinePeers(duk_context* ctx, void* udata) {
  DefinePeerGlobals(ctx, *static_cast<std::vector<host::PageGlobals*>*>(udata));
  return 0;
}

// The names of the globals a secondary run's code made, for the page's other languages: not the
// objects the host put there.
duk_ret_t CollectPageGlobalNames(duk_context* ctx, void* udata) {
  auto* names = static_cast<std::vector<std::string>*>(udata);
  const ScriptHeap& heap = ScriptHeap::Of(ctx);
  PushPageGlobalKeys(ctx);
  duk_idx_t extra = duk_get_top_index(ctx);
  auto count = static_cast<duk_uarridx_t>(duk_get_length(ctx, extra));
  for (duk_uarridx_t i = 0; i < count; ++i) {
    duk_get_prop_index(ctx, extra, i);
    if (duk_is_string(ctx, -1) && !duk_is_symbol(ctx, -1)) {
      duk_size_t size = 0;
      const char* s = duk_get_lstring(ctx, -1, &size);
      std::string name(s, size);
      bool host_object = false;
      for (const char* intrinsic : kIntrinsicNames) host_object |= name == intrinsic;
      if (heap.named) {
        for (const host::NamedObject& object : *heap.named) host_object |= name == object.name;
      }
      if (!host_object) names->push_back(std::move(name));
    }
    duk_pop(ctx);
  }
  return 0;
}

// The getter of a named object: made on the page's first use of the name.
duk_ret_t GetNamedObject(duk_context* ctx) {
  return Guarded(ctx, [&] {
    ScriptHeap& heap = ScriptHeap::Of(ctx);
    auto index = static_cast<size_t>(duk_get_current_magic(ctx));
    if (!heap.named || index >= heap.named->size()) {
      duk_push_undefined(ctx);
      return 1;
    }
    PushObject(ctx, (*heap.named)[index].get());
    return 1;
  });
}

// Named objects are accessors of the global object for the run; RemovePageGlobals takes them
// away again. A name the global object already has (a built-in) keeps its meaning.
void DefineNamedObjects(duk_context* ctx) {
  ScriptHeap& heap = ScriptHeap::Of(ctx);
  if (!heap.named) return;
  duk_push_global_object(ctx);
  for (size_t i = 0; i < heap.named->size() && i < 0x7fff; ++i) {
    const std::string& name = (*heap.named)[i].name;
    if (duk_has_prop_lstring(ctx, -1, name.data(), name.size())) continue;
    duk_push_lstring(ctx, name.data(), name.size());
    duk_push_c_function(ctx, GetNamedObject, 0);
    duk_set_magic(ctx, -1, static_cast<duk_int_t>(i));
    duk_def_prop(
        ctx, -3,
        DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_SET_CONFIGURABLE | DUK_DEFPROP_SET_ENUMERABLE);
  }
  duk_pop(ctx);
}

struct RunState {
  std::unordered_map<std::string, uint64_t>* compiled;
  const PageScript* page;
  ScriptingContext* context;
  std::string_view procedure;  // called after the page's code; empty for none
  const std::vector<host::PageGlobals*>* peers;
};

duk_ret_t CallPageFunction(duk_context* ctx, void* udata) {
  auto* state = static_cast<RunState*>(udata);
  const PageScript& page = *state->page;
  duk_push_global_stash(ctx);
  duk_idx_t stash = duk_get_top_index(ctx);
  duk_get_prop_literal(ctx, stash, kPagesKey);
  duk_idx_t pages = duk_get_top_index(ctx);
  // URL paths begin with "/": a key with a space before it cannot be a page's own.
  std::string key = page.secondary ? " " + page.url_path : page.url_path;
  auto it = state->compiled->find(key);
  if (it == state->compiled->end() || it->second != page.generation) {
    duk_push_lstring(ctx, page.script.data(), page.script.size());
    duk_push_lstring(ctx, page.url_path.data(), page.url_path.size());
    if (duk_pcompile(ctx, page.secondary ? DUK_COMPILE_EVAL : DUK_COMPILE_FUNCTION) != 0) {
      return duk_throw(ctx);
    }
    duk_put_prop_lstring(ctx, pages, key.data(), key.size());
    (*state->compiled)[key] = page.generation;
  }
  DefineNamedObjects(ctx);
  if (!state->peers->empty()) DefinePeerGlobals(ctx, *state->peers);
  ScriptingContext& context = *state->context;
  if (page.secondary) {
    duk_push_global_object(ctx);
    duk_idx_t global = duk_get_top_index(ctx);
    PushIntrinsics(ctx, context);
    for (size_t i = kIntrinsicCount; i-- > 0;) duk_put_prop_string(ctx, global, kIntrinsicNames[i]);
    duk_pop(ctx);
    duk_get_prop_lstring(ctx, pages, key.data(), key.size());
    duk_call(ctx, 0);
    return 0;
  }
  duk_get_prop_lstring(ctx, pages, key.data(), key.size());
  PushIntrinsics(ctx, context);
  const ScriptHeap& heap = ScriptHeap::Of(ctx);
  duk_push_heapptr(ctx, heap.literal_function);
  duk_push_heapptr(ctx, heap.write_function);
  if (state->procedure.empty()) {
    duk_push_undefined(ctx);
  } else {
    duk_push_lstring(ctx, state->procedure.data(), state->procedure.size());
  }
  duk_push_heapptr(ctx, heap.scope_function);
  duk_push_heapptr(ctx, heap.end_function);
  duk_call(ctx, 10);
  return 0;
}

duk_ret_t CompilePageFunction(duk_context* ctx, void* udata) {
  const auto& page = *static_cast<const PageScript*>(udata);
  duk_push_lstring(ctx, page.script.data(), page.script.size());
  duk_push_lstring(ctx, page.url_path.data(), page.url_path.size());
  duk_compile(ctx, DUK_COMPILE_FUNCTION);
  return 0;
}

}  // namespace

ScriptHeap& ScriptHeap::Of(duk_context* ctx) {
  duk_memory_functions functions{};
  duk_get_memory_functions(ctx, &functions);
  return *static_cast<ScriptHeap*>(functions.udata);
}

namespace {

class JavaScriptRunner final : public host::ScriptRunner {
 public:
  explicit JavaScriptRunner(size_t memory_limit) {
    heap_.memory_limit = memory_limit;
    heap_.ctx = duk_create_heap(Allocate, Reallocate, Release, &heap_, Fatal);
    if (!heap_.ctx) throw Error(errc::kUnspecified, "The script engine could not start");
    if (duk_safe_call(heap_.ctx, InitialiseHeap, nullptr, 0, 1) != DUK_EXEC_SUCCESS) {
      duk_destroy_heap(heap_.ctx);
      throw Error(errc::kUnspecified, "The script engine could not start");
    }
    duk_set_top(heap_.ctx, 0);
  }
  ~JavaScriptRunner() override { duk_destroy_heap(heap_.ctx); }
  JavaScriptRunner(const JavaScriptRunner&) = delete;
  JavaScriptRunner& operator=(const JavaScriptRunner&) = delete;

  host::PageRun Run(const host::CompiledScript& script, const host::PageRunInput& input) override {
    return RunPage(script, "", input);
  }
  host::PageRun RunProcedure(const host::CompiledScript& script, std::string_view procedure,
                             const host::PageRunInput& input) override {
    return RunPage(script, procedure, input);
  }
  std::unique_ptr<host::ScriptSession> Begin(const host::CompiledScript& script,
                                             const host::PageRunInput& input) override;

  // Compiles the page's function, as its first run would, without running it. Throws
  // host::PageError with what that run would report for a syntax error.
  void CompileOnly(const PageScript& page) {
    duk_context* ctx = heap_.ctx;
    if (duk_safe_call(ctx, CompilePageFunction, const_cast<PageScript*>(&page), 0, 1) ==
        DUK_EXEC_SUCCESS) {
      duk_set_top(ctx, 0);
      return;
    }
    ThrownValue thrown = TakeThrownValue(ctx);
    duk_set_top(ctx, 0);
    throw host::PageError(Error(thrown.has_number ? thrown.number : errc::kUnspecified,
                                thrown.description, "Microsoft JScript compilation error"),
                          page.Locate(thrown.line));
  }

 private:
  class Session;

  host::PageRun RunPage(const host::CompiledScript& script, std::string_view procedure,
                        const host::PageRunInput& input);
  // The heap takes on the page: its limits, its objects and a clear interrupt.
  void Enter(const PageScript& page, const host::PageRunInput& input);
  // Runs the page's code (and then the procedure, unless empty) and says how it went.
  host::PageRun Execute(const PageScript& page, std::string_view procedure,
                        const host::PageRunInput& input);
  // The page leaves the heap, with the globals it made.
  void Leave();

  ScriptHeap heap_;
  std::shared_ptr<ResponseObject> response_;
  std::unordered_map<std::string, uint64_t> compiled_;  // page -> generation in the stash
};

// The page's JavaScript when another language runs the page: the heap keeps the page and the
// globals its code made until the session ends.
class JavaScriptRunner::Session final : public host::ScriptSession {
 public:
  Session(JavaScriptRunner& runner, const PageScript& page, const host::PageRunInput& input)
      : runner_(runner) {
    runner_.Enter(page, input);
    outcome_ = runner_.Execute(page, "", input);
    std::vector<std::string> names;
    if (outcome_.outcome == host::PageRun::Outcome::kCompleted) {
      duk_safe_call(runner_.heap_.ctx, CollectPageGlobalNames, &names, 0, 1);
      duk_set_top(runner_.heap_.ctx, 0);
    }
    globals_.emplace(runner_.heap_, names);
    // Calls from the other language run under the page's deadline.
    runner_.heap_.running = true;
  }
  ~Session() override { runner_.Leave(); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const host::PageRun& outcome() const override { return outcome_; }
  host::PageGlobals& globals() override { return *globals_; }
  void Reach(host::PageGlobals* primary) override {
    ScriptHeap& heap = runner_.heap_;
    if (!primary) {
      // The functions and accessors stay until the session ends, reaching nothing.
      for (auto& peer : heap.peer_names) peer.first = nullptr;
      return;
    }
    std::vector<host::PageGlobals*> peers{primary};
    duk_safe_call(heap.ctx, DefinePeers, &peers, 0, 1);
    duk_set_top(heap.ctx, 0);
  }

 private:
  JavaScriptRunner& runner_;
  host::PageRun outcome_;
  std::optional<ScriptGlobals> globals_;
};

std::unique_ptr<host::ScriptSession> JavaScriptRunner::Begin(const host::CompiledScript& script,
                                                             const host::PageRunInput& input) {
  return std::make_unique<Session>(*this, static_cast<const PageScript&>(script), input);
}

host::PageRun JavaScriptRunner::RunPage(const host::CompiledScript& script,
                                        std::string_view procedure,
                                        const host::PageRunInput& input) {
  const auto& page = static_cast<const PageScript&>(script);
  Enter(page, input);
  // The page's other languages reach the names its function declares through its scope.
  std::optional<ScriptGlobals> scope;
  if (page.exposes_scope && !input.sessions.empty()) {
    scope.emplace(heap_, page.declared_names, true);
    for (host::ScriptSession* session : input.sessions) session->Reach(&*scope);
  }
  host::PageRun run = Execute(page, procedure, input);
  if (scope) {
    for (host::ScriptSession* session : input.sessions) session->Reach(nullptr);
  }
  Leave();
  return run;
}

void JavaScriptRunner::Enter(const PageScript& page, const host::PageRunInput& input) {
  ScriptHeap& heap = heap_;
  response_ = input.context->Response();
  heap.page = &page;
  heap.response = response_.get();
  heap.memory_limit = input.memory_limit;
  heap.end_requested = false;
  heap.timed_out = false;
  heap.deadline = input.deadline;
  heap.named = &input.objects;
  ClearPendingError();
}

host::PageRun JavaScriptRunner::Execute(const PageScript& page, std::string_view procedure,
                                        const host::PageRunInput& input) {
  ScriptHeap& heap = heap_;
  duk_context* ctx = heap.ctx;
  heap.running = true;
  RunState state{&compiled_, &page, input.context, procedure, &input.peers};
  duk_int_t rc = duk_safe_call(ctx, CallPageFunction, &state, 0, 1);
  // The objects of the wrappers that died with the page function stay in heap.objects until
  // Leave lets go of them all.
  ResumeFinalizers(ctx);
  heap.running = false;
  bool ended = heap.end_requested;
  bool timed_out = heap.timed_out;
  heap.end_requested = false;
  heap.timed_out = false;

  host::PageRun run;
  if (ended) {
    run.outcome = host::PageRun::Outcome::kEnded;
  } else if (rc != DUK_EXEC_SUCCESS) {
    ThrownValue thrown = TakeThrownValue(ctx);
    run.outcome = host::PageRun::Outcome::kFailed;
    run.number = thrown.has_number ? thrown.number : errc::kUnspecified;
    run.description = thrown.description;
    run.where = page.Locate(thrown.line);
    if (timed_out) {
      run.number = errc::kUnspecified;
      run.description = "The page ran longer than its time limit of " +
                        std::to_string(input.time_limit.count() / 1000) + " seconds";
    }
  }
  duk_set_top(ctx, 0);
  return run;
}

void JavaScriptRunner::Leave() {
  ScriptHeap& heap = heap_;
  duk_context* ctx = heap.ctx;
  heap.running = false;
  heap.end_requested = false;
  heap.timed_out = false;
  duk_set_top(ctx, 0);
  duk_safe_call(ctx, RemovePageGlobals, nullptr, 0, 1);
  duk_set_top(ctx, 0);
  duk_safe_call(ctx, ForgetScope, nullptr, 0, 1);
  duk_set_top(ctx, 0);
  heap.objects.clear();
  heap.page_targets.clear();
  heap.page_objects = {};
  heap.peer_names.clear();
  heap.named = nullptr;
  heap.page = nullptr;
  heap.response = nullptr;
  response_.reset();
  ClearPendingError();
}

class JavaScriptEngine final : public host::ScriptEngine {
 public:
  std::string_view name() const override { return "javascript"; }
  std::shared_ptr<const host::CompiledScript> Compile(
      const host::PageSource& source) const override {
    return BuildPageScript(source);
  }
  // Duktape compiles a page on its first run, in that thread's heap; a check compiles it in a
  // heap of its own.
  std::vector<host::PageFinding> Check(const host::PageSource& source,
                                       const std::vector<std::string>&) const override {
    std::shared_ptr<const PageScript> page = BuildPageScript(source);
    JavaScriptRunner(size_t{512} << 20).CompileOnly(*page);
    return {};
  }
  std::shared_ptr<const host::CompiledScript> CompileSecondary(
      const host::PageSource& source) const override {
    return BuildSecondaryScript(source);
  }
  std::unique_ptr<host::ScriptRunner> NewRunner() const override {
    return std::make_unique<JavaScriptRunner>(size_t{512} << 20);
  }
};

}  // namespace

std::shared_ptr<const host::ScriptEngine> MakeJavaScriptEngine() {
  return std::make_shared<JavaScriptEngine>();
}

}  // namespace mirelda::script::javascript
