// Code the page compiles while it runs: Execute (in the running procedure's scope),
// ExecuteGlobal (at the top level) and Eval (an expression in the running scope).
#include "script/vbscript/compiler.h"
#include "script/vbscript/machine.h"
#include "script/vbscript/parser.h"

namespace mirelda::script::vbscript {

GlobalTable& Machine::RuntimeGlobals() {
  // The page's own table is shared by every run; a run that adds names works on a copy.
  if (!runtime_globals_) runtime_globals_ = program_->globals;
  return *runtime_globals_;
}

namespace {

RuntimeScope ScopeOf(GlobalTable& globals, const Frame& frame, bool global, uint32_t cache_base,
                     bool option_explicit) {
  RuntimeScope scope;
  scope.globals = &globals;
  scope.procedure = global ? nullptr : frame.procedure;
  scope.owner = global || !frame.me ? nullptr : &frame.me->def();
  scope.cache_base = cache_base;
  scope.option_explicit = option_explicit;
  return scope;
}

}  // namespace

void Machine::Execute(const Variant& code, Frame& frame, bool global) {
  EnterCall();
  ast::Program tree = ParseCode(code.ToString(), program_->files);
  GlobalTable& globals = RuntimeGlobals();
  auto cache_base = static_cast<uint32_t>(caches_.size());
  std::shared_ptr<Chunk> chunk = CompileChunk(
      tree, ScopeOf(globals, frame, global, cache_base, program_->main.option_explicit));
  chunks_.push_back(chunk);
  globals_.resize(globals.variable_names.size());
  caches_.resize(cache_base + chunk->cache_count);
  ++depth_;
  struct Depth {
    uint32_t& depth;
    ~Depth() { --depth; }
  } depth{depth_};
  if (global) {
    Frame top;
    RunBlock(chunk->body, top);
  } else {
    RunBlock(chunk->body, frame);
  }
}

Variant Machine::EvalText(const Variant& code, Frame& frame) {
  EnterCall();
  std::unique_ptr<ast::Expr> tree = ParseEval(code.ToString(), program_->files);
  GlobalTable& globals = RuntimeGlobals();
  auto cache_base = static_cast<uint32_t>(caches_.size());
  std::shared_ptr<Chunk> chunk = CompileEval(
      *tree, ScopeOf(globals, frame, false, cache_base, program_->main.option_explicit));
  chunks_.push_back(chunk);
  globals_.resize(globals.variable_names.size());
  caches_.resize(cache_base + chunk->cache_count);
  return Eval(chunk->expression, frame);
}

}  // namespace mirelda::script::vbscript
