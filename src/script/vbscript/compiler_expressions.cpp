// Expressions: names to what they stand for, calls to procedures, built-ins, array elements or
// default members, "a.b" to late-bound members with a call-site cache.
#include "script/vbscript/builtins/text_units.h"
#include "script/vbscript/compiler.h"

namespace mirelda::script::vbscript {
namespace {

Expr Node(ExprKind kind, const ast::Expr& tree) {
  Expr expr;
  expr.kind = kind;
  expr.where = WhereOf(tree.where);
  expr.parenthesised = tree.parenthesised;
  return expr;
}

bool IsNumber(const Variant& value) {
  return value.is_numeric() && value.type() != VarType::kBoolean;
}

}  // namespace

Expr Compiler::Variable(const Resolved& resolved, const ast::Expr& tree) {
  ExprKind kind = ExprKind::kMissing;
  switch (resolved.kind) {
    case Resolved::Kind::kLocal: kind = ExprKind::kLocal; break;
    case Resolved::Kind::kGlobal: kind = ExprKind::kGlobal; break;
    case Resolved::Kind::kField: kind = ExprKind::kField; break;
    case Resolved::Kind::kResult: kind = ExprKind::kResult; break;
    case Resolved::Kind::kIntrinsic: kind = ExprKind::kIntrinsic; break;
    case Resolved::Kind::kConstant: kind = ExprKind::kConstant; break;
    default: break;
  }
  Expr expr = Node(kind, tree);
  expr.slot = resolved.slot;
  if (kind == ExprKind::kConstant) expr.value = resolved.value;
  return expr;
}

Expr Compiler::CompileExpr(const ast::Expr& tree) {
  switch (tree.kind) {
    case ast::ExprKind::kLiteral: {
      Expr expr = Node(ExprKind::kConstant, tree);
      expr.value = tree.value;
      return expr;
    }
    case ast::ExprKind::kName:
      return CompileName(tree, Use::kRead, false);
    case ast::ExprKind::kMember:
      return CompileMember(tree);
    case ast::ExprKind::kCall:
      return CompileCall(tree, Use::kRead);
    case ast::ExprKind::kMissing:
      return Node(ExprKind::kMissing, tree);
    case ast::ExprKind::kMe:
      if (!context_.owner) Fail(1037, tree.where);
      return Node(ExprKind::kMe, tree);
    case ast::ExprKind::kNew: {
      Expr expr = Node(ExprKind::kNew, tree);
      Resolved r = Resolve(FoldCase(tree.name), Use::kRead, false);
      if (r.kind == Resolved::Kind::kClass) expr.class_def = r.class_def;
      // A class the page does not define may still come from ExecuteGlobal before this runs.
      expr.name = FoldCase(tree.name);
      return expr;
    }
    case ast::ExprKind::kUnary: {
      Expr operand = CompileExpr(tree.children[0]);
      auto op = static_cast<ast::UnaryOp>(tree.op);
      // "-1" is a constant (and a literal to comparisons), not an operation.
      if (op != ast::UnaryOp::kNot && operand.kind == ExprKind::kConstant &&
          IsNumber(operand.value)) {
        if (op == ast::UnaryOp::kNegate) operand.value = Negate(operand.value);
        operand.where = WhereOf(tree.where);
        operand.parenthesised = tree.parenthesised;
        return operand;
      }
      Expr expr = Node(ExprKind::kUnary, tree);
      expr.op = static_cast<uint8_t>(op);
      expr.children.push_back(std::move(operand));
      return expr;
    }
    case ast::ExprKind::kBinary: {
      auto op = static_cast<ast::BinaryOp>(tree.op);
      Expr left = CompileExpr(tree.children[0]);
      Expr right = CompileExpr(tree.children[1]);
      Expr expr = Node(ExprKind::kBinary, tree);
      if (op == ast::BinaryOp::kIs) {
        expr.kind = ExprKind::kIs;
      } else if (op >= ast::BinaryOp::kEq) {
        expr.kind = ExprKind::kCompare;
        expr.op = static_cast<uint8_t>(static_cast<int>(op) - static_cast<int>(ast::BinaryOp::kEq));
        if (left.kind == ExprKind::kConstant && right.kind != ExprKind::kConstant) {
          expr.literal = LiteralSide::kLeft;
        } else if (right.kind == ExprKind::kConstant && left.kind != ExprKind::kConstant) {
          expr.literal = LiteralSide::kRight;
        }
      } else {
        expr.op = tree.op;
      }
      expr.children.push_back(std::move(left));
      expr.children.push_back(std::move(right));
      return expr;
    }
  }
  Fail(1002, tree.where);
}

Expr Compiler::CompileName(const ast::Expr& tree, Use use, bool statement) {
  std::string folded = FoldCase(tree.name);
  Resolved r = Resolve(folded, use, false);
  switch (r.kind) {
    case Resolved::Kind::kProcedure:
    case Resolved::Kind::kMeMethod: {
      Expr expr = Node(r.kind == Resolved::Kind::kProcedure ? ExprKind::kCall : ExprKind::kMeCall,
                       tree);
      expr.procedure = r.procedure;
      return expr;
    }
    case Resolved::Kind::kBuiltin: {
      Expr expr = Node(ExprKind::kBuiltin, tree);
      expr.builtin = r.builtin;
      return expr;
    }
    case Resolved::Kind::kNone:
    case Resolved::Kind::kClass:
      break;
    case Resolved::Kind::kLocal:
      if (IsUndeclaredLocal(folded)) {
        Expr expr = Node(ExprKind::kDynamic, tree);
        expr.name = folded;
        expr.slot = r.slot;
        return expr;
      }
      return Variable(r, tree);
    default:
      return Variable(r, tree);
  }
  if (folded == "eval" && r.kind == Resolved::Kind::kNone) Fail(1002, tree.where);
  Expr expr = Node(ExprKind::kDynamic, tree);
  expr.name = folded;
  if (r.kind == Resolved::Kind::kNone && !option_explicit_) {
    Resolved made = MakeVariable(tree.name);
    // A name used as a statement may be a procedure that ExecuteGlobal makes later, and a name
    // a procedure uses may be a global or a named object, so they are looked up when they run;
    // a global made by use simply is that variable (named objects bind to it on first use).
    if (!statement && made.kind == Resolved::Kind::kGlobal) return Variable(made, tree);
    expr.slot = made.slot;
    expr.op = made.kind == Resolved::Kind::kGlobal ? 1 : 0;
  }
  return expr;
}

Expr Compiler::CompileCall(const ast::Expr& tree, Use use) {
  const ast::Expr& callee = tree.children[0];
  Expr expr;
  if (callee.kind == ast::ExprKind::kName) {
    std::string folded = FoldCase(callee.name);
    Resolved r = Resolve(folded, use, true);
    switch (r.kind) {
      case Resolved::Kind::kProcedure:
      case Resolved::Kind::kMeMethod:
        expr = Node(r.kind == Resolved::Kind::kProcedure ? ExprKind::kCall : ExprKind::kMeCall,
                    tree);
        expr.procedure = r.procedure;
        break;
      case Resolved::Kind::kBuiltin:
        expr = Node(ExprKind::kBuiltin, tree);
        expr.builtin = r.builtin;
        break;
      case Resolved::Kind::kNone:
        if (folded == "eval" || folded == "getref") {
          if (tree.children.size() != 2) Fail(1002, tree.where);
          expr = Node(folded == "eval" ? ExprKind::kEval : ExprKind::kGetRef, tree);
          break;
        }
        [[fallthrough]];
      case Resolved::Kind::kClass: {
        expr = Node(ExprKind::kDynamic, tree);
        expr.name = folded;
        if (r.kind == Resolved::Kind::kNone && !option_explicit_) {
          Resolved made = MakeVariable(callee.name);
          expr.slot = made.slot;
          expr.op = made.kind == Resolved::Kind::kGlobal ? 1 : 0;
        }
        break;
      }
      default:
        expr = Node(ExprKind::kIndex, tree);
        expr.children.push_back(Variable(r, callee));
        break;
    }
  } else if (callee.kind == ast::ExprKind::kMember) {
    expr = CompileMember(callee);
    expr.where = WhereOf(tree.where);
    expr.parenthesised = tree.parenthesised;
  } else {
    expr = Node(ExprKind::kIndex, tree);
    expr.children.push_back(CompileExpr(callee));
  }
  expr.has_args = true;
  CompileArgs(tree, 1, expr);
  return expr;
}

Expr Compiler::CompileMember(const ast::Expr& tree) {
  Expr expr = Node(ExprKind::kMember, tree);
  expr.name = tree.name;
  expr.slot = chunk_.cache_base + chunk_.cache_count++;
  if (tree.with_target) {
    expr.children.push_back(Node(ExprKind::kWithTarget, tree));
  } else {
    expr.children.push_back(CompileExpr(tree.children[0]));
  }
  return expr;
}

Expr Compiler::CompileTarget(const ast::Expr& tree, Use use) {
  switch (tree.kind) {
    case ast::ExprKind::kName:
      return CompileName(tree, use, false);
    case ast::ExprKind::kCall:
      return CompileCall(tree, use);
    default:
      return CompileExpr(tree);
  }
}

void Compiler::CompileArgs(const ast::Expr& tree, size_t first, Expr& into) {
  for (size_t i = first; i < tree.children.size(); ++i) {
    into.children.push_back(CompileExpr(tree.children[i]));
  }
}

}  // namespace mirelda::script::vbscript
