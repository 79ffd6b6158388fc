#include "script/javascript/javascript_engine.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>

#include "mirelda/error.h"
#include "script/javascript/page_script.h"
#include "script/javascript/script_heap.h"
#include "script/javascript/script_objects.h"
#include "script/javascript/script_values.h"

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

duk_ret_t InitialiseHeap(duk_context* ctx, void*) {
  InstallObjectSupport(ctx);
  duk_push_global_stash(ctx);
  duk_push_object(ctx);
  duk_put_prop_string(ctx, -2, kPagesKey);
  duk_push_c_function(ctx, WriteLiteral, 1);
  duk_put_prop_string(ctx, -2, kLiteralKey);
  duk_push_c_function(ctx, WriteValue, 1);
  duk_put_prop_string(ctx, -2, kWriteKey);
  duk_push_object(ctx);
  CollectGlobalKeys(ctx);
  duk_put_prop_string(ctx, -2, kGlobalsKey);
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

// Removes the globals a page made (assignments to undeclared names), so the next page of this
// thread does not see them.
duk_ret_t RemovePageGlobals(duk_context* ctx, void*) {
  duk_push_global_stash(ctx);
  duk_get_prop_string(ctx, -1, kGlobalsKey);
  duk_idx_t known = duk_get_top_index(ctx);
  duk_push_object(ctx);
  duk_idx_t now = duk_get_top_index(ctx);
  CollectGlobalKeys(ctx);
  duk_idx_t extra = duk_push_array(ctx);
  duk_uarridx_t count = 0;
  duk_enum(ctx, now, DUK_ENUM_OWN_PROPERTIES_ONLY | DUK_ENUM_INCLUDE_SYMBOLS);
  while (duk_next(ctx, -1, 0)) {
    duk_dup(ctx, -1);
    if (duk_has_prop(ctx, known)) {
      duk_pop(ctx);
    } else {
      duk_put_prop_index(ctx, extra, count++);
    }
  }
  duk_pop(ctx);
  for (duk_uarridx_t i = 0; i < count; ++i) {
    duk_get_prop_index(ctx, extra, i);
    // One at a time: a global the page made undeletable must not keep the others.
    duk_safe_call(ctx, DeleteGlobal, nullptr, 1, 1);
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
    duk_def_prop(ctx, -3,
                 DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_SET_CONFIGURABLE |
                     DUK_DEFPROP_SET_ENUMERABLE);
  }
  duk_pop(ctx);
}

struct RunState {
  std::unordered_map<std::string, uint64_t>* compiled;
  const PageScript* page;
  ScriptingContext* context;
  std::string_view procedure;  // called after the page's code; empty for none
};

duk_ret_t CallPageFunction(duk_context* ctx, void* udata) {
  auto* state = static_cast<RunState*>(udata);
  const PageScript& page = *state->page;
  duk_push_global_stash(ctx);
  duk_idx_t stash = duk_get_top_index(ctx);
  duk_get_prop_string(ctx, stash, kPagesKey);
  duk_idx_t pages = duk_get_top_index(ctx);
  auto it = state->compiled->find(page.url_path);
  if (it == state->compiled->end() || it->second != page.generation) {
    duk_push_lstring(ctx, page.script.data(), page.script.size());
    duk_push_lstring(ctx, page.url_path.data(), page.url_path.size());
    if (duk_pcompile(ctx, DUK_COMPILE_FUNCTION) != 0) return duk_throw(ctx);
    duk_put_prop_lstring(ctx, pages, page.url_path.data(), page.url_path.size());
    (*state->compiled)[page.url_path] = page.generation;
  }
  DefineNamedObjects(ctx);
  duk_get_prop_lstring(ctx, pages, page.url_path.data(), page.url_path.size());
  ScriptingContext& context = *state->context;
  PushObject(ctx, context.Request());
  PushObject(ctx, context.Response());
  PushObject(ctx, context.Server());
  PushObject(ctx, context.Session());
  PushObject(ctx, context.Application());
  duk_get_prop_string(ctx, stash, kLiteralKey);
  duk_get_prop_string(ctx, stash, kWriteKey);
  if (state->procedure.empty()) {
    duk_push_undefined(ctx);
  } else {
    duk_push_lstring(ctx, state->procedure.data(), state->procedure.size());
  }
  duk_call(ctx, 8);
  return 0;
}

duk_ret_t CompilePageFunction(duk_context* ctx, void* udata) {
  const auto& page = *static_cast<const PageScript*>(udata);
  duk_push_lstring(ctx, page.script.data(), page.script.size());
  duk_push_lstring(ctx, page.url_path.data(), page.url_path.size());
  duk_compile(ctx, DUK_COMPILE_FUNCTION);
  return 0;
}

struct Description {
  bool has_number = false;
  int32_t number = 0;
  std::string text;
  int line = 0;
};

std::string StringProperty(duk_context* ctx, duk_idx_t idx, const char* key) {
  duk_get_prop_string(ctx, idx, key);
  std::string value;
  if (duk_is_string(ctx, -1)) {
    duk_size_t size = 0;
    const char* s = duk_get_lstring(ctx, -1, &size);
    value = ScriptStringToUtf8(std::string_view(s, size));
  }
  duk_pop(ctx);
  return value;
}

// Reads what a page threw (the value at the top of the stack); getters of a thrown object may run,
// hence the protected call.
duk_ret_t Describe(duk_context* ctx, void* udata) {
  auto* out = static_cast<Description*>(udata);
  duk_idx_t thrown = duk_get_top_index(ctx);
  if (!duk_is_object(ctx, thrown)) {
    duk_size_t size = 0;
    const char* s = duk_safe_to_lstring(ctx, thrown, &size);
    out->text = ScriptStringToUtf8(std::string_view(s, size));
    return 0;
  }
  duk_get_prop_string(ctx, thrown, "number");
  if (duk_is_number(ctx, -1)) {
    out->has_number = true;
    out->number = static_cast<int32_t>(duk_get_int(ctx, -1));
  }
  duk_pop(ctx);
  out->text = StringProperty(ctx, thrown, "description");
  if (out->text.empty()) {
    std::string name = StringProperty(ctx, thrown, "name");
    std::string message = StringProperty(ctx, thrown, "message");
    // The engine's own "(line N)" counts lines of the compiled script, not of the page.
    size_t at = message.rfind(" (line ");
    if (at != std::string::npos && message.back() == ')') message.resize(at);
    out->text = name.empty() ? message : message.empty() ? name : name + ": " + message;
  }
  duk_get_prop_string(ctx, thrown, kScriptErrorLineKey);
  out->line = duk_get_int_default(ctx, -1, 0);
  duk_pop(ctx);
  if (out->line <= 0) {
    duk_get_prop_string(ctx, thrown, "lineNumber");
    out->line = duk_get_int_default(ctx, -1, 0);
    duk_pop(ctx);
  }
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

  host::PageRun Run(const host::CompiledScript& script, const host::PageRunInput& input) override;
  host::PageRun RunProcedure(const host::CompiledScript& script, std::string_view procedure,
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
    Description description;
    duk_safe_call(ctx, Describe, &description, 1, 1);
    duk_set_top(ctx, 0);
    throw host::PageError(Error(description.has_number ? description.number : errc::kUnspecified,
                                description.text, "Microsoft JScript compilation error"),
                          page.Locate(description.line));
  }

 private:
  host::PageRun RunPage(const host::CompiledScript& script, std::string_view procedure,
                        const host::PageRunInput& input);

  ScriptHeap heap_;
  std::unordered_map<std::string, uint64_t> compiled_;  // page -> generation in the stash
};

host::PageRun JavaScriptRunner::Run(const host::CompiledScript& script,
                                    const host::PageRunInput& input) {
  return RunPage(script, "", input);
}

host::PageRun JavaScriptRunner::RunPage(const host::CompiledScript& script,
                                        std::string_view procedure,
                                        const host::PageRunInput& input) {
  const auto& page = static_cast<const PageScript&>(script);
  ScriptingContext& context = *input.context;
  ScriptHeap& heap = heap_;
  duk_context* ctx = heap.ctx;
  std::shared_ptr<ResponseObject> response = context.Response();
  heap.page = &page;
  heap.response = response.get();
  heap.memory_limit = input.memory_limit;
  heap.end_requested = false;
  heap.timed_out = false;
  heap.deadline = input.deadline;
  heap.named = &input.objects;
  heap.running = true;
  ClearPendingError();

  RunState state{&compiled_, &page, &context, procedure};
  duk_int_t rc = duk_safe_call(ctx, CallPageFunction, &state, 0, 1);
  heap.running = false;
  bool ended = heap.end_requested;
  bool timed_out = heap.timed_out;
  heap.end_requested = false;
  heap.timed_out = false;

  host::PageRun run;
  if (ended) {
    run.outcome = host::PageRun::Outcome::kEnded;
  } else if (rc != DUK_EXEC_SUCCESS) {
    Description description;
    duk_safe_call(ctx, Describe, &description, 1, 1);
    run.outcome = host::PageRun::Outcome::kFailed;
    run.number = description.has_number ? description.number : errc::kUnspecified;
    run.description = description.text;
    run.where = page.Locate(description.line);
    if (timed_out) {
      run.number = errc::kUnspecified;
      run.description = "The page ran longer than its time limit of " +
                        std::to_string(input.time_limit.count() / 1000) + " seconds";
    }
  }
  duk_set_top(ctx, 0);
  duk_safe_call(ctx, RemovePageGlobals, nullptr, 0, 1);
  duk_set_top(ctx, 0);
  heap.objects.clear();
  heap.named = nullptr;
  heap.page = nullptr;
  heap.response = nullptr;
  ClearPendingError();
  return run;
}

host::PageRun JavaScriptRunner::RunProcedure(const host::CompiledScript& script,
                                             std::string_view procedure,
                                             const host::PageRunInput& input) {
  return RunPage(script, procedure, input);
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
  std::unique_ptr<host::ScriptRunner> NewRunner() const override {
    return std::make_unique<JavaScriptRunner>(size_t{512} << 20);
  }
};

}  // namespace

std::shared_ptr<const host::ScriptEngine> MakeJavaScriptEngine() {
  return std::make_shared<JavaScriptEngine>();
}

}  // namespace mirelda::script::javascript
