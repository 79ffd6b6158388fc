// Expressions: values, operators, calls, indexing and member access.
#include <array>

#include "script/vbscript/fast_operators.h"
#include "script/vbscript/machine.h"
#include "script/vbscript/objects/regexp_object.h"

namespace mirelda::script::vbscript {
namespace {

[[noreturn]] void Raise(int32_t number) { throw Error(number, {}, kRuntimeErrorSource); }

Variant ApplyBinary(Binary op, const Variant& a, const Variant& b) {
  switch (op) {
    case Binary::kAdd:
      return Add(a, b);
    case Binary::kSubtract:
      return Subtract(a, b);
    case Binary::kMultiply:
      return Multiply(a, b);
    case Binary::kDivide:
      return Divide(a, b);
    case Binary::kIntDivide:
      return IntDivide(a, b);
    case Binary::kModulo:
      return Modulo(a, b);
    case Binary::kPower:
      return Power(a, b);
    case Binary::kConcat:
      return Concat(a, b);
    case Binary::kAnd:
      return And(a, b);
    case Binary::kOr:
      return Or(a, b);
    case Binary::kXor:
      return Xor(a, b);
    case Binary::kEqv:
      return Eqv(a, b);
    case Binary::kImp:
      return Imp(a, b);
  }
  Raise(51);
}

}  // namespace

// Both operands of an operator are read in place when neither can run code (a constant or a
// plain variable), so no value is copied and no call can change the other before it is used.
const Variant* Machine::Peek(const Expr& expr, Frame& frame) {
  switch (expr.kind) {
    case ExprKind::kConstant:
      return &expr.value;
    case ExprKind::kLocal:
      return &frame.local(expr.slot);
    case ExprKind::kGlobal:
      return &Global(expr.slot);
    default:
      return nullptr;
  }
}

// a & b & c ... is evaluated left to right as the tree says, each piece joined onto one text
// where it lies, instead of a new text for each "&".
Variant Machine::EvalConcat(const Expr& expr, Frame& frame) {
  std::vector<const Expr*> pieces;
  const Expr* node = &expr;
  while (node->kind == ExprKind::kBinary && static_cast<Binary>(node->op) == Binary::kConcat &&
         (node == &expr || !node->parenthesised)) {
    pieces.push_back(&node->children[1]);
    node = &node->children[0];
  }
  Variant joined = EvalValue(*node, frame);
  for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
    Variant more = EvalValue(**it, frame);
    if (joined.is_string() && !more.is_bytes() && !more.is_array()) {
      std::string* text = joined.MutableText();
      std::string tail = more.ToText();
      CheckTextSize(text->size() + tail.size(), input_.memory_limit);
      text->append(tail);
    } else {
      joined = Concat(joined, more);
      if (joined.is_string()) CheckTextSize(joined.MutableText()->size(), input_.memory_limit);
    }
  }
  return joined;
}

// Arithmetic of constants and plain variables computed on plain numbers, without a Variant for
// each step. It reads and runs nothing else, so when it gives up (another subtype, a call, a
// result for the general rules) the expression is simply evaluated again the ordinary way.
bool Machine::Arithmetic(const Expr& expr, Frame& frame, PlainNumber* out) {
  if (expr.kind == ExprKind::kBinary) {
    auto op = static_cast<Binary>(expr.op);
    if (op != Binary::kAdd && op != Binary::kSubtract && op != Binary::kMultiply &&
        op != Binary::kDivide && op != Binary::kIntDivide && op != Binary::kModulo) {
      return false;
    }
    PlainNumber a, b;
    return Arithmetic(expr.children[0], frame, &a) && Arithmetic(expr.children[1], frame, &b) &&
           FastBinary(op, a, b, out);
  }
  const Variant* v = Peek(expr, frame);
  return v && NumberOf(*v, out);
}

Variant Machine::EvalValue(const Expr& expr, Frame& frame) {
  Variant value = Eval(expr, frame);
  if (value.is_object()) return ValueOf(value);
  return value;
}

std::shared_ptr<Dispatch> Machine::ObjectOf(const Variant& value) {
  if (!value.is_object()) Raise(errc::kObjectRequired);
  std::shared_ptr<Dispatch> object = value.ToObject();
  if (!object) Raise(errc::kObjectVariableNotSet);
  return object;
}

Variant Machine::Eval(const Expr& expr, Frame& frame) {
  switch (expr.kind) {
    case ExprKind::kConstant:
      return expr.value;
    case ExprKind::kMissing:
      return Variant::Missing();
    case ExprKind::kLocal:
      return frame.local(expr.slot);
    case ExprKind::kGlobal:
      return Global(expr.slot);
    case ExprKind::kField:
      return frame.me->fields()[expr.slot];
    case ExprKind::kResult:
      return frame.result;
    case ExprKind::kIntrinsic:
      return Intrinsic(expr.slot);
    case ExprKind::kDynamic:
      return EvalDynamic(expr, frame);
    case ExprKind::kMe:
      if (!frame.me) Raise(errc::kObjectRequired);
      return Variant(std::static_pointer_cast<Dispatch>(frame.me));
    case ExprKind::kWithTarget:
      if (frame.with.empty()) Raise(errc::kObjectRequired);
      return frame.with.back();
    case ExprKind::kUnary: {
      Variant a = EvalValue(expr.children[0], frame);
      switch (static_cast<Unary>(expr.op)) {
        case Unary::kNegate:
          return Negate(a);
        case Unary::kNot:
          return Not(a);
        case Unary::kPlus:
          return a;
      }
      return a;
    }
    case ExprKind::kBinary: {
      auto op = static_cast<Binary>(expr.op);
      if (op == Binary::kConcat) return EvalConcat(expr, frame);
      PlainNumber number;
      if (Arithmetic(expr, frame, &number)) return number.ToVariant();
      Variant result;
      Variant a = EvalValue(expr.children[0], frame);
      Variant b = EvalValue(expr.children[1], frame);
      if (FastBinary(op, a, b, &result)) return result;
      if (op == Binary::kAdd) {
        // + joins texts too, and the result is held to the page's memory limit.
        if (a.is_string() && b.is_string()) {
          CheckTextSize(a.MutableText()->size() + b.MutableText()->size(), input_.memory_limit);
        }
        Variant joined = ApplyBinary(op, a, b);
        if (joined.is_string()) CheckTextSize(joined.MutableText()->size(), input_.memory_limit);
        return joined;
      }
      return ApplyBinary(op, a, b);
    }
    case ExprKind::kCompare: {
      auto op = static_cast<CompareOp>(expr.op);
      int order = 0;
      PlainNumber x, y;
      if (Arithmetic(expr.children[0], frame, &x) && Arithmetic(expr.children[1], frame, &y)) {
        return Variant(Holds(op, Order(x, y)));
      }
      Variant a = EvalValue(expr.children[0], frame);
      Variant b = EvalValue(expr.children[1], frame);
      if (FastOrder(a, b, &order)) return Variant(Holds(op, order));
      return Compare(a, b, op, CompareMode::kBinary, expr.literal);
    }
    case ExprKind::kIs:
      return Variant(Is(Eval(expr.children[0], frame), Eval(expr.children[1], frame)));
    case ExprKind::kCall:
      return CallWithArgs(expr, *expr.procedure, nullptr, 0, frame);
    case ExprKind::kMeCall:
      return CallWithArgs(expr, *expr.procedure, frame.me, 0, frame);
    case ExprKind::kBuiltin:
      return EvalBuiltin(expr, frame);
    case ExprKind::kIndex:
      return EvalIndex(expr, frame);
    case ExprKind::kMember:
      return EvalMember(expr, frame, false);
    case ExprKind::kNew: {
      const ClassDef* def = expr.class_def;
      if (!def) {
        // A class the page did not define, which ExecuteGlobal may have made since.
        const GlobalEntry* entry = FindDynamic(expr.name);
        if (!entry || entry->kind != GlobalEntry::Kind::kClass) {
          // The language's own RegExp, unless the page defines a class of that name.
          if (expr.name == "regexp") {
            return Variant(std::shared_ptr<Dispatch>(std::make_shared<RegExpObject>()));
          }
          Raise(errc::kClassNotDefined);
        }
        def = entry->class_def;
      }
      return Variant(std::static_pointer_cast<Dispatch>(NewInstance(*def)));
    }
    case ExprKind::kEval:
      return EvalText(EvalValue(expr.children[0], frame), frame);
    case ExprKind::kGetRef:
      return ReferenceTo(EvalValue(expr.children[0], frame));
  }
  Raise(51);
}

void Machine::EvalArgs(const Expr& expr, size_t first, Frame& frame, std::vector<Variant>& args) {
  args.reserve(expr.children.size() - first);
  for (size_t i = first; i < expr.children.size(); ++i) args.push_back(Eval(expr.children[i], frame));
}

Variant Machine::EvalBuiltin(const Expr& expr, Frame& frame) {
  const Builtin& builtin = *expr.builtin;
  size_t count = expr.children.size();
  if (count < builtin.min_args || count > builtin.max_args) Raise(errc::kWrongArgumentCount);
  std::vector<Variant> args;
  EvalArgs(expr, 0, frame, args);
  BuiltinCall call{args, input_.memory_limit};
  try {
    return builtin.function(call);
  } catch (const Error& e) {
    if (!e.source().empty()) throw;
    throw Error(e.number(), e.description(), kRuntimeErrorSource);
  }
}

Variant Machine::EvalIndex(const Expr& expr, Frame& frame) {
  size_t count = expr.children.size() - 1;
  const Expr& base = expr.children[0];
  if (IsPeerGlobal(base)) {
    // A name the top level used before is a global slot by now; a peer's function is called.
    const PeerGlobal& peer = peer_globals_.at(base.slot);
    std::vector<Variant> args;
    EvalArgs(expr, 1, frame, args);
    return PeerValue(*peer.peer, peer.kind, peer.folded, args);
  }
  bool variable = base.kind == ExprKind::kLocal || base.kind == ExprKind::kGlobal ||
                  base.kind == ExprKind::kField || base.kind == ExprKind::kResult;
  constexpr size_t kInline = 4;
  if (variable && count > 0 && count <= kInline) {
    // An element of an array variable is read where it lies, without copying the array.
    std::array<Variant, kInline> values;
    for (size_t i = 0; i < count; ++i) values[i] = Eval(expr.children[i + 1], frame);
    Variant* array = VariableOf(base, frame);
    if (array && array->is_array()) {
      std::array<int64_t, kInline> indices{};
      for (size_t i = 0; i < count; ++i) {
        indices[i] = (values[i].is_object() ? ValueOf(values[i]) : values[i]).ToLong();
      }
      return array->AsArray().at(std::span<const int64_t>(indices.data(), count));
    }
    std::vector<Variant> args(std::make_move_iterator(values.begin()),
                              std::make_move_iterator(values.begin() + static_cast<ptrdiff_t>(count)));
    return LateIndex(array ? *array : Variant(), args);
  }
  Variant value = Eval(base, frame);
  std::vector<Variant> args;
  EvalArgs(expr, 1, frame, args);
  return LateIndex(value, args);
}

Variant Machine::EvalMember(const Expr& expr, Frame& frame, bool statement) {
  std::shared_ptr<Dispatch> object = ObjectOf(Eval(expr.children[0], frame));
  return LateWithArgs(expr, *object, 1, statement, frame);
}

Variant Machine::EvalDynamic(const Expr& expr, Frame& frame) {
  if (HasPeers()) {
    if (std::optional<Variant> value = EvalPeer(expr, frame)) return std::move(*value);
  }
  if (const GlobalEntry* entry = FindDynamic(expr.name)) {
    switch (entry->kind) {
      case GlobalEntry::Kind::kProcedure:
        return CallWithArgs(expr, *entry->procedure, nullptr, 0, frame);
      case GlobalEntry::Kind::kConstant:
        return entry->value;
      case GlobalEntry::Kind::kIntrinsic:
      case GlobalEntry::Kind::kVariable:
      case GlobalEntry::Kind::kClass:
        break;
    }
  }
  Variant* variable = VariableOf(expr, frame);
  Variant value;
  if (variable) {
    value = *variable;
  } else if (named_.count(expr.name)) {
    value = NamedObject(expr.name);
  } else {
    Raise(errc::kVariableUndefined);
  }
  if (expr.children.empty()) return value;
  std::vector<Variant> args;
  EvalArgs(expr, 0, frame, args);
  return LateIndex(value, args);
}

}  // namespace mirelda::script::vbscript
