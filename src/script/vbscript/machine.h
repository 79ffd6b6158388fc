// The machine: runs compiled chunks for one page run. It walks the resolved tree (program.h);
// values are Variants, operators are the runtime's (variant_ops.h), member access is late binding
// (late_binding.h). Errors are mirelda::Error exceptions: a statement under On Error Resume Next
// records them in the pending error (Err); otherwise they leave the procedure to its caller.
// Response.End (EndOfPage) and the time limit (TimeLimitReached) are no Error, so no handler
// stops them.
//
// A Machine lives for one run; a page that runs another page (Server.Execute) gets a machine of
// its own on the same thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/page/script_engine.h"
#include "mirelda/late_binding.h"
#include "script/vbscript/fast_operators.h"
#include "script/vbscript/objects/class_object.h"
#include "script/vbscript/objects/err_object.h"
#include "script/vbscript/program.h"

namespace mirelda::script::vbscript {

// Thrown when the page's deadline passes; the run fails with the time-limit message. The same
// signal crosses into and out of the page's other languages.
using TimeLimitReached = host::TimeLimitReached;

// One procedure activation (or the top level, procedure null).
struct Frame {
  const Procedure* procedure = nullptr;
  std::shared_ptr<ClassInstance> me;
  std::vector<Variant> values;
  std::vector<Variant*> refs;  // slot -> storage: values[i], or the caller's for a ByRef argument
  Variant result;
  bool resume_next = false;
  std::vector<Variant> with;  // With targets, innermost last

  Variant& local(uint32_t slot) { return *refs[slot]; }
};

enum class Flow : uint8_t { kNext, kExitDo, kExitFor, kExitProcedure };

class Machine : public std::enable_shared_from_this<Machine> {
 public:
  Machine(std::shared_ptr<const Program> program, const host::PageRunInput& input);
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  // Runs the page's top level, then (when procedure is not empty) the procedure of that name.
  host::PageRun Run(std::string_view procedure);

  // For the code of a page whose primary language is another: runs the top level and keeps the
  // run's state until End, so that the other language reaches its globals meanwhile.
  host::PageRun Begin();
  void End();

  // machine_peers.cpp: the run's own globals as the page's other languages reach them (names
  // without regard to case). Call and Get raise the procedure's Error, EndOfPage or
  // TimeLimitReached.
  // The primary language's globals, for a run begun as a secondary one; null withdraws them.
  void Reach(host::PageGlobals* primary) { primary_ = primary; }
  host::PageGlobals::Kind FindOwn(std::string_view name);
  std::vector<std::pair<std::string, host::PageGlobals::Kind>> OwnNames();
  Variant GetOwn(std::string_view name);
  void PutOwn(std::string_view name, const Variant& value);
  Variant CallOwn(std::string_view name, std::vector<Variant>& args);

  // A method or property of a class instance called through its member table; by-reference
  // parameters are bound to args, so the caller sees what the method left there.
  Variant CallMethod(const Procedure& procedure, std::shared_ptr<ClassInstance> me,
                     std::vector<Variant>& args);

 private:
  // The top level (and then the procedure of that name, unless empty) with every failure turned
  // into the run's result.
  host::PageRun RunGuarded(std::string_view procedure);

  // machine_peers.cpp: names this run does not define, looked up in the page's other languages.
  // The peer that has the name, or null.
  bool HasPeers() const { return !input_.peers.empty() || primary_; }
  // Hands the sessions of the page's other languages this run's globals, or (null) withdraws
  // them.
  void ExposeGlobals(bool exposed);
  host::PageGlobals* PeerOf(const std::string& folded, host::PageGlobals::Kind* kind);
  void BindPeerGlobals();
  // The value of a late-bound name (with its arguments) when a peer defines it and this run
  // does not.
  std::optional<Variant> EvalPeer(const Expr& expr, Frame& frame);
  // The value of a name a peer has: a variable's value (indexed by args when there are any) or
  // what its function returns.
  bool IsPeerGlobal(const Expr& expr) const {
    return !peer_globals_.empty() && expr.kind == ExprKind::kGlobal &&
           peer_globals_.count(expr.slot) > 0;
  }
  Variant PeerValue(host::PageGlobals& peer, host::PageGlobals::Kind kind,
                    const std::string& folded, std::vector<Variant>& args);
  // Stores to a peer's variable when target names one; false when it names none.
  bool AssignPeer(const Expr& target, Variant value, bool set);

  // machine.cpp: calls, limits, instances.
  Variant Call(const Procedure& procedure, std::shared_ptr<ClassInstance> me,
               std::span<Variant* const> args);
  void CheckDeadline();
  void EnterCall();
  std::shared_ptr<ClassInstance> NewInstance(const ClassDef& def);
  void RunTerminates();
  void EndInstances();
  std::shared_ptr<const void> OwnerOf(const ClassDef& def) const;
  std::shared_ptr<const void> OwnerOf(const Procedure& procedure) const;
  Variant ReferenceTo(const Variant& name);
  Variant& Global(uint32_t slot) {
    if (peer_globals_.empty() && lazy_globals_.empty()) return globals_[slot];
    return GlobalOfPeerOrObject(slot);
  }
  Variant& GlobalOfPeerOrObject(uint32_t slot);
  Variant Intrinsic(uint32_t slot);
  const GlobalEntry* FindDynamic(const std::string& folded);
  Variant NamedObject(const std::string& folded);

  // machine_statements.cpp
  Flow RunBlock(const Block& block, Frame& frame);
  Flow RunStatement(const Stmt& stmt, Frame& frame);
  Flow RunFor(const Stmt& stmt, Frame& frame);
  bool Condition(const Expr& expr, Frame& frame);
  Flow RunForEach(const Stmt& stmt, Frame& frame);
  Flow RunDo(const Stmt& stmt, Frame& frame);
  Flow RunSelect(const Stmt& stmt, Frame& frame);
  void RunDim(const Stmt& stmt, Frame& frame);
  void Write(const Variant& value);

  // machine_expressions.cpp
  Variant Eval(const Expr& expr, Frame& frame);
  Variant EvalValue(const Expr& expr, Frame& frame);  // objects taken as their default value
  const Variant* Peek(const Expr& expr, Frame& frame);
  bool Arithmetic(const Expr& expr, Frame& frame, PlainNumber* out);
  Variant EvalCall(const Expr& expr, Frame& frame);
  Variant EvalBuiltin(const Expr& expr, Frame& frame);
  Variant EvalConcat(const Expr& expr, Frame& frame);
  Variant EvalIndex(const Expr& expr, Frame& frame);
  Variant EvalMember(const Expr& expr, Frame& frame, bool statement);
  Variant EvalDynamic(const Expr& expr, Frame& frame);
  std::shared_ptr<Dispatch> ObjectOf(const Variant& value);
  void EvalArgs(const Expr& expr, size_t first, Frame& frame, std::vector<Variant>& args);

  // machine_assign.cpp: places values are stored to.
  Variant* VariableOf(const Expr& expr, Frame& frame);  // null unless a plain variable
  void Assign(const Expr& target, Variant value, bool set, Frame& frame);
  void Append(const Expr& target, const Expr& tail, Frame& frame);
  Variant CallWithArgs(const Expr& call, const Procedure& procedure,
                       std::shared_ptr<ClassInstance> me, size_t first, Frame& frame);
  Variant LateWithArgs(const Expr& expr, Dispatch& object, size_t first, bool statement,
                       Frame& frame);

  // machine_dynamic.cpp: code compiled while the page runs.
  void Execute(const Variant& code, Frame& frame, bool global);
  Variant EvalText(const Variant& code, Frame& frame);
  GlobalTable& RuntimeGlobals();
  RuntimeScope ScopeOf(const Frame& frame, bool global);
  void Adopt(const std::shared_ptr<Chunk>& chunk, const RuntimeScope& scope);

  void Fail(const Where& where);

  std::shared_ptr<const Program> program_;
  const host::PageRunInput& input_;
  std::deque<Variant> globals_;
  std::deque<MemberCache> caches_;
  Variant intrinsics_[kIntrinsicCount];
  std::shared_ptr<ErrObject> err_;
  std::shared_ptr<ResponseObject> response_;
  std::vector<std::shared_ptr<Chunk>> chunks_;   // compiled by Execute, ExecuteGlobal and Eval
  std::optional<GlobalTable> runtime_globals_;  // the page's names and those Execute added
  std::unordered_map<std::string, const host::NamedObject*> named_;  // folded name -> object
  std::unordered_map<std::string, Variant> named_made_;
  std::unordered_map<uint32_t, std::string> lazy_globals_;  // undeclared global -> named object
  // Undeclared globals that name a peer's variable or function: read from the peer (a function
  // called without arguments), and a variable written to it.
  struct PeerGlobal {
    host::PageGlobals* peer = nullptr;
    host::PageGlobals::Kind kind = host::PageGlobals::Kind::kNone;
    std::string folded;
  };
  std::unordered_map<uint32_t, PeerGlobal> peer_globals_;
  host::PageGlobals* primary_ = nullptr;        // see Reach
  std::unique_ptr<host::PageGlobals> exposed_;  // this run's globals, for the sessions
  std::shared_ptr<TerminateQueue> terminates_;
  std::vector<std::weak_ptr<ClassInstance>> instances_;
  std::optional<Where> fail_where_;
  uint32_t depth_ = 0;
  const char* stack_limit_ = nullptr;
  uint32_t ticks_ = 0;
};

}  // namespace mirelda::script::vbscript
