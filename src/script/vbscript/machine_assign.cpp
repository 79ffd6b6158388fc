// Where values go: assignment to variables, array elements and members, and the arguments of
// calls, whose ByRef parameters write back to the caller's variables and array elements.
#include "script/vbscript/machine.h"

namespace mirelda::script::vbscript {
namespace {

[[noreturn]] void Raise(int32_t number) { throw Error(number, {}, kRuntimeErrorSource); }

bool IsVariable(const Expr& expr) {
  switch (expr.kind) {
    case ExprKind::kLocal:
    case ExprKind::kGlobal:
    case ExprKind::kField:
    case ExprKind::kResult:
      return true;
    case ExprKind::kDynamic:
      return expr.children.empty();
    default:
      return false;
  }
}

std::vector<int64_t> Indices(const std::vector<Variant>& args) {
  std::vector<int64_t> indices;
  indices.reserve(args.size());
  for (const Variant& arg : args) indices.push_back((arg.is_object() ? ValueOf(arg) : arg).ToLong());
  return indices;
}

}  // namespace

Variant* Machine::VariableOf(const Expr& expr, Frame& frame) {
  switch (expr.kind) {
    case ExprKind::kLocal:
      return &frame.local(expr.slot);
    case ExprKind::kGlobal:
      return &Global(expr.slot);
    case ExprKind::kField:
      return &frame.me->fields()[expr.slot];
    case ExprKind::kResult:
      return &frame.result;
    case ExprKind::kDynamic: {
      const GlobalEntry* entry = FindDynamic(expr.name);
      // A procedure's undeclared name is the global of that name once the global is there:
      // declared, or given a value by the code that used it without declaring it.
      bool local = expr.op == 0 && expr.slot != kNoSlot;
      if (entry && entry->kind == GlobalEntry::Kind::kVariable &&
          (entry->declared || !local || !Global(entry->slot).is_empty())) {
        return &Global(entry->slot);
      }
      if (named_.count(expr.name) || expr.slot == kNoSlot ||
          (entry && entry->kind != GlobalEntry::Kind::kVariable)) {
        return nullptr;
      }
      // op 1: the name falls back to a global slot, 0: to a local of the procedure.
      return expr.op == 1 ? &Global(expr.slot) : &frame.local(expr.slot);
    }
    default:
      return nullptr;
  }
}

void Machine::Assign(const Expr& target, Variant value, bool set, Frame& frame) {
  switch (target.kind) {
    case ExprKind::kLocal:
    case ExprKind::kGlobal:
    case ExprKind::kField:
    case ExprKind::kResult:
    case ExprKind::kDynamic: {
      if (target.kind == ExprKind::kDynamic && !target.children.empty()) break;
      Variant* variable = VariableOf(target, frame);
      if (!variable) {
        Raise(FindDynamic(target.name) || named_.count(target.name) ? errc::kIllegalAssignment
                                                                    : errc::kVariableUndefined);
      }
      if (!set && value.is_object()) value = ValueOf(value);
      *variable = std::move(value);
      return;
    }
    case ExprKind::kIndex: {
      const Expr& base = target.children[0];
      std::vector<Variant> args;
      EvalArgs(target, 1, frame, args);
      Variant* variable = IsVariable(base) ? VariableOf(base, frame) : nullptr;
      if (variable && variable->is_array()) {
        if (!set && value.is_object()) value = ValueOf(value);
        std::vector<int64_t> indices = Indices(args);
        variable->MutableArray()->at(indices) = std::move(value);
        return;
      }
      Variant holder = variable ? *variable : Eval(base, frame);
      if (!holder.is_object()) Raise(errc::kTypeMismatch);
      LatePut(*ObjectOf(holder), "", args, std::move(value), set);
      return;
    }
    case ExprKind::kMember: {
      std::shared_ptr<Dispatch> object = ObjectOf(Eval(target.children[0], frame));
      std::vector<Variant> args;
      EvalArgs(target, 1, frame, args);
      LatePut(*object, target.name, args, std::move(value), set, &caches_[target.slot]);
      return;
    }
    case ExprKind::kMeCall: {
      // A Property Let or Set of the running class, named without "Me.".
      std::vector<Variant> args;
      EvalArgs(target, 0, frame, args);
      if (!set && value.is_object()) value = ValueOf(value);
      args.push_back(std::move(value));
      CallMethod(*target.procedure, frame.me, args);
      return;
    }
    default:
      break;
  }
  Raise(errc::kIllegalAssignment);
}

void Machine::Append(const Expr& target, const Expr& tail, Frame& frame) {
  Variant add = EvalValue(tail, frame);
  Variant* variable = VariableOf(target, frame);
  if (variable && variable->is_string() && !add.is_array() && !add.is_bytes()) {
    std::string* text = variable->MutableText();
    std::string more = add.ToText();
    CheckTextSize(text->size() + more.size(), input_.memory_limit);
    text->append(more);
    return;
  }
  Variant joined = Concat(EvalValue(target, frame), add);
  if (joined.is_string()) CheckTextSize(joined.MutableText()->size(), input_.memory_limit);
  Assign(target, std::move(joined), false, frame);
}

Variant Machine::CallWithArgs(const Expr& call, const Procedure& procedure,
                              std::shared_ptr<ClassInstance> me, size_t first, Frame& frame) {
  size_t count = call.children.size() - first;
  if (count != procedure.params.size()) Raise(errc::kWrongArgumentCount);
  std::vector<Variant> temps(count);
  std::vector<Variant*> refs(count);
  // Array elements passed ByRef: the value goes in a temporary and comes back after the call.
  struct Element {
    size_t arg;
    std::vector<int64_t> indices;
  };
  std::vector<Element> elements;
  for (size_t i = 0; i < count; ++i) {
    const Expr& arg = call.children[first + i];
    refs[i] = &temps[i];
    if (procedure.params[i].by_ref && !arg.parenthesised) {
      if (IsVariable(arg)) {
        if (Variant* variable = VariableOf(arg, frame)) {
          refs[i] = variable;
          continue;
        }
      } else if (arg.kind == ExprKind::kIndex && IsVariable(arg.children[0])) {
        std::vector<Variant> args;
        EvalArgs(arg, 1, frame, args);
        Variant* array = VariableOf(arg.children[0], frame);
        if (array && array->is_array()) {
          std::vector<int64_t> indices = Indices(args);
          temps[i] = array->AsArray().at(indices);
          elements.push_back(Element{i, std::move(indices)});
          continue;
        }
        temps[i] = LateIndex(array ? *array : Variant(), args);
        continue;
      }
    }
    temps[i] = Eval(arg, frame);
    if (temps[i].is_missing()) temps[i] = Variant();
  }
  Variant result = Call(procedure, std::move(me), refs);
  for (Element& element : elements) {
    Variant* array = VariableOf(call.children[first + element.arg].children[0], frame);
    if (array && array->is_array()) {
      array->MutableArray()->at(element.indices) = std::move(temps[element.arg]);
    }
  }
  return result;
}

Variant Machine::LateWithArgs(const Expr& expr, Dispatch& object, size_t first, bool statement,
                              Frame& frame) {
  std::vector<Variant> args;
  EvalArgs(expr, first, frame, args);
  MemberCache* cache = expr.slot == kNoSlot ? nullptr : &caches_[expr.slot];
  Variant result = statement ? LateCall(object, expr.name, args, cache)
                             : LateGet(object, expr.name, args, cache);
  // A component's ByRef parameters come back in args; the caller's variables take them.
  for (size_t i = 0; i < args.size(); ++i) {
    const Expr& arg = expr.children[first + i];
    if (arg.parenthesised || !IsVariable(arg)) continue;
    Variant* variable = VariableOf(arg, frame);
    if (variable && !(*variable == args[i])) *variable = std::move(args[i]);
  }
  return result;
}

}  // namespace mirelda::script::vbscript
