// Code the page compiles while it runs: Execute (in the running procedure's scope),
// ExecuteGlobal (at the top level) and Eval (an expression in the running scope).
#include "script/vbscript/machine.h"

namespace mirelda::script::vbscript {

GlobalTable& Machine::RuntimeGlobals() {
  // The page's own table is shared by every run; a run that adds names works on a copy.
  if (!runtime_globals_) runtime_globals_ = program_->globals;
  return *runtime_globals_;
}

RuntimeScope Machine::ScopeOf(const Frame& frame, bool global) {
  if (!program_->compiler) throw Error(errc::kInvalidProcedureCall, {}, kRuntimeErrorSource);
  RuntimeScope scope;
  scope.globals = &RuntimeGlobals();
  scope.procedure = global ? nullptr : frame.procedure;
  scope.owner = global || !frame.me ? nullptr : &frame.me->def();
  scope.cache_base = static_cast<uint32_t>(caches_.size());
  scope.option_explicit = program_->main.option_explicit;
  return scope;
}

void Machine::Adopt(const std::shared_ptr<Chunk>& chunk, const RuntimeScope& scope) {
  chunks_.push_back(chunk);
  globals_.resize(scope.globals->variable_names.size());
  caches_.resize(scope.cache_base + chunk->cache_count);
}

void Machine::Execute(const Variant& code, Frame& frame, bool global) {
  EnterCall();
  RuntimeScope scope = ScopeOf(frame, global);
  std::shared_ptr<Chunk> chunk = program_->compiler->CompileStatements(code.ToString(), scope);
  Adopt(chunk, scope);
  ++depth_;
  struct Depth {
    uint32_t& depth;
    ~Depth() { --depth; }
  } depth{depth_};
  try {
    if (global) {
      Frame top;
      RunBlock(chunk->body, top);
    } else {
      RunBlock(chunk->body, frame);
    }
  } catch (const Error&) {
    // The executed text has no place in the page's files: the failure is the Execute's own.
    fail_where_.reset();
    throw;
  }
}

Variant Machine::EvalText(const Variant& code, Frame& frame) {
  EnterCall();
  RuntimeScope scope = ScopeOf(frame, false);
  std::shared_ptr<Chunk> chunk = program_->compiler->CompileExpression(code.ToString(), scope);
  Adopt(chunk, scope);
  return Eval(chunk->expression, frame);
}

}  // namespace mirelda::script::vbscript
