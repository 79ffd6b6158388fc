// Statements: control flow, declarations, error handling and the page's output.
#include <array>

#include "mirelda/host.h"
#include "script/vbscript/fast_operators.h"
#include "script/vbscript/machine.h"

namespace mirelda::script::vbscript {
namespace {

// The language's own errors carry its source; a component's Error keeps the one it gave.
Error WithSource(const Error& e) {
  if (!e.source().empty()) return e;
  return Error(e.number(), e.description(), kRuntimeErrorSource);
}

// A For loop's bounds as numbers: text becomes a Double, Empty an Integer 0.
Variant LoopNumber(const Variant& v) {
  switch (v.type()) {
    case VarType::kByte:
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kCurrency:
      return v;
    case VarType::kEmpty:
      return Variant(int16_t{0});
    case VarType::kBoolean:
      return Variant(static_cast<int16_t>(v.ToBool() ? -1 : 0));
    default:
      return Variant(v.ToDouble());
  }
}

}  // namespace

Flow Machine::RunBlock(const Block& block, Frame& frame) {
  for (const Stmt& stmt : block) {
    try {
      Flow flow = RunStatement(stmt, frame);
      if (flow != Flow::kNext) return flow;
    } catch (const Error& e) {
      if (!frame.resume_next) {
        Fail(stmt.where);
        throw;
      }
      fail_where_.reset();
      ResumeNext::Record(WithSource(e));
    }
    if (terminates_->waiting.load(std::memory_order_relaxed)) RunTerminates();
  }
  return Flow::kNext;
}

Flow Machine::RunStatement(const Stmt& stmt, Frame& frame) {
  switch (stmt.kind) {
    case StmtKind::kCall: {
      const Expr& call = stmt.exprs[0];
      if (call.kind == ExprKind::kMember) {
        EvalMember(call, frame, true);
      } else {
        Eval(call, frame);
      }
      return Flow::kNext;
    }
    case StmtKind::kAssign: {
      const Expr& target = stmt.exprs[0];
      PlainNumber number;
      if ((target.kind == ExprKind::kLocal || target.kind == ExprKind::kGlobal) && !HasPeers() &&
          stmt.exprs[1].kind == ExprKind::kBinary && Arithmetic(stmt.exprs[1], frame, &number)) {
        // A plain variable takes a sum of plain numbers as it is.
        (target.kind == ExprKind::kLocal ? frame.local(target.slot) : Global(target.slot)) =
            number.ToVariant();
        return Flow::kNext;
      }
      Assign(target, Eval(stmt.exprs[1], frame), false, frame);
      return Flow::kNext;
    }
    case StmtKind::kSet: {
      Variant value = Eval(stmt.exprs[1], frame);
      if (!value.is_object()) throw Error(errc::kObjectRequired, {}, kRuntimeErrorSource);
      Assign(stmt.exprs[0], std::move(value), true, frame);
      return Flow::kNext;
    }
    case StmtKind::kAppend:
      for (size_t i = 1; i < stmt.exprs.size(); ++i) Append(stmt.exprs[0], stmt.exprs[i], frame);
      return Flow::kNext;
    case StmtKind::kIf:
      for (size_t i = 0; i < stmt.exprs.size(); ++i) {
        if (Condition(stmt.exprs[i], frame)) return RunBlock(stmt.blocks[i], frame);
      }
      if (stmt.blocks.size() > stmt.exprs.size()) return RunBlock(stmt.blocks.back(), frame);
      return Flow::kNext;
    case StmtKind::kSelect:
      return RunSelect(stmt, frame);
    case StmtKind::kFor:
      return RunFor(stmt, frame);
    case StmtKind::kForEach:
      return RunForEach(stmt, frame);
    case StmtKind::kDo:
      return RunDo(stmt, frame);
    case StmtKind::kExit:
      switch (static_cast<ExitKind>(stmt.sub)) {
        case ExitKind::kDo:
          return Flow::kExitDo;
        case ExitKind::kFor:
          return Flow::kExitFor;
        case ExitKind::kProcedure:
          return Flow::kExitProcedure;
      }
      return Flow::kNext;
    case StmtKind::kDim:
    case StmtKind::kReDim:
      RunDim(stmt, frame);
      return Flow::kNext;
    case StmtKind::kErase: {
      Variant* array = VariableOf(stmt.exprs[0], frame);
      if (!array || !array->is_array()) throw Error(errc::kTypeMismatch, {}, kRuntimeErrorSource);
      array->MutableArray()->Erase();
      return Flow::kNext;
    }
    case StmtKind::kOnErrorResumeNext:
      frame.resume_next = true;
      ClearPendingError();
      return Flow::kNext;
    case StmtKind::kOnErrorGoto0:
      frame.resume_next = false;
      ClearPendingError();
      return Flow::kNext;
    case StmtKind::kLiteral:
      if (response_ && stmt.slot < program_->literals.size()) {
        response_->Write(Variant(program_->literals[stmt.slot]));
      }
      return Flow::kNext;
    case StmtKind::kWrite:
      Write(EvalValue(stmt.exprs[0], frame));
      return Flow::kNext;
    case StmtKind::kExecute:
    case StmtKind::kExecuteGlobal:
      Execute(EvalValue(stmt.exprs[0], frame), frame, stmt.kind == StmtKind::kExecuteGlobal);
      return Flow::kNext;
    case StmtKind::kWith: {
      frame.with.push_back(Eval(stmt.exprs[0], frame));
      struct Pop {
        std::vector<Variant>& with;
        ~Pop() { with.pop_back(); }
      } pop{frame.with};
      return RunBlock(stmt.blocks[0], frame);
    }
    case StmtKind::kRandomize:
      // Rnd is not among the built-ins yet; the seed's expression still runs for its effects.
      if (!stmt.exprs.empty()) EvalValue(stmt.exprs[0], frame);
      return Flow::kNext;
  }
  return Flow::kNext;
}

void Machine::Write(const Variant& value) {
  if (response_ && !value.is_null() && !value.is_empty()) response_->Write(value);
}

// The truth of an If, While or Until test; a comparison of plain numbers needs no Variant.
bool Machine::Condition(const Expr& expr, Frame& frame) {
  if (expr.kind == ExprKind::kCompare) {
    PlainNumber x, y;
    if (Arithmetic(expr.children[0], frame, &x) && Arithmetic(expr.children[1], frame, &y)) {
      return Holds(static_cast<CompareOp>(expr.op), Order(x, y));
    }
  }
  return IsTrue(EvalValue(expr, frame));
}

Flow Machine::RunFor(const Stmt& stmt, Frame& frame) {
  const Expr& counter = stmt.exprs[0];
  Variant start = LoopNumber(EvalValue(stmt.exprs[1], frame));
  Variant end = LoopNumber(EvalValue(stmt.exprs[2], frame));
  Variant step = stmt.exprs.size() > 3 ? LoopNumber(EvalValue(stmt.exprs[3], frame))
                                       : Variant(int16_t{1});
  bool down = step.ToDouble() < 0;
  Assign(counter, std::move(start), false, frame);
  PlainNumber last, by;
  if ((counter.kind == ExprKind::kLocal || counter.kind == ExprKind::kGlobal) && !HasPeers() &&
      NumberOf(end, &last) && NumberOf(step, &by)) {
    // A plain counter is read, tested and stepped where it lies; what the body leaves in it
    // counts, and anything but a plain number goes back to the general steps below.
    for (;;) {
      Variant& variable = counter.kind == ExprKind::kLocal ? frame.local(counter.slot)
                                                           : Global(counter.slot);
      PlainNumber now, next;
      if (!NumberOf(variable, &now)) break;
      int order = Order(now, last);
      if (down ? order < 0 : order > 0) return Flow::kNext;
      Flow flow = RunBlock(stmt.blocks[0], frame);
      if (flow == Flow::kExitFor) return Flow::kNext;
      if (flow != Flow::kNext) return flow;
      CheckDeadline();
      Variant& after = counter.kind == ExprKind::kLocal ? frame.local(counter.slot)
                                                        : Global(counter.slot);
      if (!NumberOf(after, &now) || !FastBinary(Binary::kAdd, now, by, &next)) {
        after = Add(LoopNumber(after), step);
        continue;
      }
      after = next.ToVariant();
    }
  }
  for (;;) {
    Variant current = Eval(counter, frame);
    int order = 0;
    if (!FastOrder(current, end, &order) && !CompareOrder(current, end, &order)) {
      throw Error(errc::kTypeMismatch, {}, kRuntimeErrorSource);
    }
    if (down ? order < 0 : order > 0) break;
    Flow flow = RunBlock(stmt.blocks[0], frame);
    if (flow == Flow::kExitFor) break;
    if (flow != Flow::kNext) return flow;
    CheckDeadline();
    Variant next;
    current = Eval(counter, frame);
    if (!FastBinary(Binary::kAdd, current, step, &next)) next = Add(LoopNumber(current), step);
    Assign(counter, std::move(next), false, frame);
  }
  return Flow::kNext;
}

Flow Machine::RunForEach(const Stmt& stmt, Frame& frame) {
  Variant group = Eval(stmt.exprs[1], frame);
  std::vector<Variant> items;
  if (group.is_array()) {
    items = group.AsArray().items();
  } else if (group.is_object()) {
    items = ObjectOf(group)->Enumerate();
  } else {
    throw Error(errc::kObjectNotCollection, {}, kRuntimeErrorSource);
  }
  for (Variant& item : items) {
    bool set = item.is_object();
    Assign(stmt.exprs[0], std::move(item), set, frame);
    Flow flow = RunBlock(stmt.blocks[0], frame);
    if (flow == Flow::kExitFor) break;
    if (flow != Flow::kNext) return flow;
    CheckDeadline();
  }
  return Flow::kNext;
}

Flow Machine::RunDo(const Stmt& stmt, Frame& frame) {
  auto test = static_cast<LoopTest>(stmt.sub);
  auto holds = [&] { return Condition(stmt.exprs[0], frame); };
  for (;;) {
    if (test == LoopTest::kWhileBefore && !holds()) break;
    if (test == LoopTest::kUntilBefore && holds()) break;
    Flow flow = RunBlock(stmt.blocks[0], frame);
    if (flow == Flow::kExitDo) break;
    if (flow != Flow::kNext) return flow;
    if (test == LoopTest::kWhileAfter && !holds()) break;
    if (test == LoopTest::kUntilAfter && holds()) break;
    CheckDeadline();
  }
  return Flow::kNext;
}

Flow Machine::RunSelect(const Stmt& stmt, Frame& frame) {
  Variant subject = EvalValue(stmt.exprs[0], frame);
  for (const CaseClause& clause : stmt.cases) {
    if (clause.items.empty()) return RunBlock(clause.body, frame);
    for (const CaseItem& item : clause.items) {
      bool hit = false;
      switch (item.kind) {
        case CaseItem::Kind::kValue:
          hit = IsTrue(Compare(subject, EvalValue(item.first, frame), CompareOp::kEq,
                               CompareMode::kBinary, item.literal));
          break;
        case CaseItem::Kind::kRange:
          hit = IsTrue(Compare(subject, EvalValue(item.first, frame), CompareOp::kGe,
                               CompareMode::kBinary, item.literal)) &&
                IsTrue(Compare(subject, EvalValue(item.last, frame), CompareOp::kLe,
                               CompareMode::kBinary, item.literal));
          break;
        case CaseItem::Kind::kIs:
          hit = IsTrue(Compare(subject, EvalValue(item.first, frame), item.op,
                               CompareMode::kBinary, item.literal));
          break;
      }
      if (hit) return RunBlock(clause.body, frame);
    }
  }
  return Flow::kNext;
}

void Machine::RunDim(const Stmt& stmt, Frame& frame) {
  for (size_t i = 0; i < stmt.exprs.size(); ++i) {
    const std::vector<Expr>& uppers = stmt.bounds[i];
    bool redim = stmt.kind == StmtKind::kReDim;
    bool dynamic = i < stmt.dynamic.size() && stmt.dynamic[i];
    if (!redim && uppers.empty() && !dynamic) continue;
    Variant* target = VariableOf(stmt.exprs[i], frame);
    if (!target) throw Error(errc::kTypeMismatch, {}, kRuntimeErrorSource);
    std::vector<ArrayBound> bounds;
    size_t total = 1;
    for (const Expr& upper : uppers) {
      int32_t top = EvalValue(upper, frame).ToLong();
      bounds.push_back(ArrayBound{0, top});
      size_t size = top < 0 ? 0 : static_cast<size_t>(top) + 1;
      if (size != 0 && total > input_.memory_limit / sizeof(Variant) / size) {
        throw Error(7, {}, kRuntimeErrorSource);
      }
      total *= size;
    }
    if (total * sizeof(Variant) > input_.memory_limit) throw Error(7, {}, kRuntimeErrorSource);
    if (!redim) {
      // Dim: "a(3)" makes a fixed array, "a()" a dynamic one, once; running the Dim again keeps it.
      if (!target->is_array()) {
        *target = Variant(VariantArray::WithBounds(std::move(bounds), !uppers.empty()));
      }
    } else if (target->is_array()) {
      target->MutableArray()->Redim(std::move(bounds), stmt.preserve);
    } else {
      *target = Variant(VariantArray::WithBounds(std::move(bounds), false));
    }
  }
}

}  // namespace mirelda::script::vbscript
