// Statements. Declarations were made before (Dim and Const of a scope are known throughout it);
// what remains of a Dim is the dimensioning of arrays.
#include "script/vbscript/builtins/text_units.h"
#include "script/vbscript/compiler.h"

namespace mirelda::script::vbscript {
namespace {

bool IsPlainVariable(const Expr& expr) {
  return expr.kind == ExprKind::kLocal || expr.kind == ExprKind::kGlobal ||
         expr.kind == ExprKind::kField || expr.kind == ExprKind::kResult;
}

bool SameVariable(const Expr& a, const Expr& b) {
  if (a.kind == ExprKind::kDynamic && b.kind == ExprKind::kDynamic) {
    return a.name == b.name && a.children.empty() && b.children.empty() && !b.parenthesised;
  }
  return IsPlainVariable(a) && a.kind == b.kind && a.slot == b.slot && !b.parenthesised;
}

}  // namespace

Block Compiler::CompileBlock(const ast::Block& block) {
  Block out;
  out.reserve(block.size());
  for (const ast::Stmt& stmt : block) CompileStatement(stmt, out);
  return out;
}

// "Mid(x, start[, length]) = text" with Mid the built-in (a page may name its own Mid).
bool Compiler::IsMidStatement(const ast::Expr& target) {
  if (target.kind != ast::ExprKind::kCall || target.children.size() < 3 ||
      target.children.size() > 4 || target.children[0].kind != ast::ExprKind::kName ||
      FoldCase(target.children[0].name) != "mid") {
    return false;
  }
  return Resolve("mid", Use::kRead, true).kind == Resolved::Kind::kBuiltin;
}

void Compiler::CompileStatement(const ast::Stmt& stmt, Block& out) {
  Stmt s;
  s.where = WhereOf(stmt.where);
  switch (stmt.kind) {
    case ast::StmtKind::kDim:
    case ast::StmtKind::kReDim:
      CompileDim(stmt, out);
      return;
    case ast::StmtKind::kConst:
      return;
    case ast::StmtKind::kErase:
      s.kind = StmtKind::kErase;
      {
        ast::Expr name;
        name.kind = ast::ExprKind::kName;
        name.name = stmt.names[0];
        name.where = stmt.where;
        s.exprs.push_back(CompileName(name, Use::kLet, false));
      }
      break;
    case ast::StmtKind::kAssign: {
      if (IsMidStatement(stmt.exprs[0])) {
        // Mid(text, start[, length]) = replacement overwrites characters of text in place.
        const ast::Expr& call = stmt.exprs[0];
        Expr replace;
        replace.kind = ExprKind::kBuiltin;
        replace.where = WhereOf(call.where);
        replace.builtin = &MidStatementBuiltin();
        replace.children.push_back(CompileExpr(call.children[1]));
        replace.children.push_back(CompileExpr(call.children[2]));
        Expr length;
        length.kind = ExprKind::kMissing;
        replace.children.push_back(call.children.size() == 4 ? CompileExpr(call.children[3])
                                                             : std::move(length));
        replace.children.push_back(CompileExpr(stmt.exprs[1]));
        s.kind = StmtKind::kAssign;
        s.exprs.push_back(CompileTarget(call.children[1], Use::kLet));
        s.exprs.push_back(std::move(replace));
        break;
      }
      Expr target = CompileTarget(stmt.exprs[0], Use::kLet);
      Expr value = CompileExpr(stmt.exprs[1]);
      // "s = s & more" appends to the text where it lies instead of copying it.
      if (value.kind == ExprKind::kBinary && static_cast<Binary>(value.op) == Binary::kConcat &&
          !value.parenthesised && SameVariable(target, value.children[0])) {
        s.kind = StmtKind::kAppend;
        s.exprs.push_back(std::move(target));
        s.exprs.push_back(std::move(value.children[1]));
      } else {
        s.kind = StmtKind::kAssign;
        s.exprs.push_back(std::move(target));
        s.exprs.push_back(std::move(value));
      }
      break;
    }
    case ast::StmtKind::kSet:
      s.kind = StmtKind::kSet;
      s.exprs.push_back(CompileTarget(stmt.exprs[0], Use::kSet));
      s.exprs.push_back(CompileExpr(stmt.exprs[1]));
      break;
    case ast::StmtKind::kCall:
      CompileCallStatement(stmt, out);
      return;
    case ast::StmtKind::kIf:
      s.kind = StmtKind::kIf;
      for (const ast::Expr& condition : stmt.exprs) s.exprs.push_back(CompileExpr(condition));
      for (const ast::Block& block : stmt.blocks) s.blocks.push_back(CompileBlock(block));
      break;
    case ast::StmtKind::kSelect:
      CompileSelect(stmt, s);
      break;
    case ast::StmtKind::kFor:
    case ast::StmtKind::kForEach: {
      s.kind = stmt.kind == ast::StmtKind::kFor ? StmtKind::kFor : StmtKind::kForEach;
      Expr counter = CompileTarget(stmt.exprs[0], Use::kLet);
      if (!IsPlainVariable(counter) && counter.kind != ExprKind::kDynamic) {
        Fail(1040, stmt.exprs[0].where);
      }
      s.exprs.push_back(std::move(counter));
      for (size_t i = 1; i < stmt.exprs.size(); ++i) s.exprs.push_back(CompileExpr(stmt.exprs[i]));
      ++context_.for_loops;
      s.blocks.push_back(CompileBlock(stmt.blocks[0]));
      --context_.for_loops;
      break;
    }
    case ast::StmtKind::kDo:
      s.kind = StmtKind::kDo;
      s.sub = static_cast<uint8_t>(stmt.loop);
      for (const ast::Expr& condition : stmt.exprs) s.exprs.push_back(CompileExpr(condition));
      ++context_.do_loops;
      s.blocks.push_back(CompileBlock(stmt.blocks[0]));
      --context_.do_loops;
      break;
    case ast::StmtKind::kExit:
      CompileExit(stmt, s);
      break;
    case ast::StmtKind::kWith:
      s.kind = StmtKind::kWith;
      s.exprs.push_back(CompileExpr(stmt.exprs[0]));
      s.blocks.push_back(CompileBlock(stmt.blocks[0]));
      break;
    case ast::StmtKind::kOnErrorResumeNext:
      s.kind = StmtKind::kOnErrorResumeNext;
      break;
    case ast::StmtKind::kOnErrorGoto0:
      s.kind = StmtKind::kOnErrorGoto0;
      break;
    case ast::StmtKind::kRandomize:
      s.kind = StmtKind::kRandomize;
      for (const ast::Expr& seed : stmt.exprs) s.exprs.push_back(CompileExpr(seed));
      break;
    case ast::StmtKind::kLiteralText:
      s.kind = StmtKind::kLiteral;
      s.slot = stmt.literal_index;
      break;
    case ast::StmtKind::kWrite:
      s.kind = StmtKind::kWrite;
      s.exprs.push_back(CompileExpr(stmt.exprs[0]));
      break;
  }
  out.push_back(std::move(s));
}

void Compiler::CompileDim(const ast::Stmt& stmt, Block& out) {
  Stmt s;
  s.kind = stmt.kind == ast::StmtKind::kDim ? StmtKind::kDim : StmtKind::kReDim;
  s.where = WhereOf(stmt.where);
  s.preserve = stmt.preserve;
  for (const ast::Decl& decl : stmt.decls) {
    if (s.kind == StmtKind::kDim && decl.bounds.empty() && !decl.dynamic) continue;
    std::string folded = FoldCase(decl.name);
    Resolved r = Resolve(folded, Use::kLet, false);
    if (r.kind == Resolved::Kind::kNone) {
      r = MakeVariable(decl.name);
      if (context_.procedure) context_.procedure->undeclared.erase(FoldCase(decl.name));
    }
    if (r.kind != Resolved::Kind::kLocal && r.kind != Resolved::Kind::kGlobal &&
        r.kind != Resolved::Kind::kField) {
      Fail(1041, decl.where);
    }
    ast::Expr name;
    name.where = decl.where;
    s.exprs.push_back(Variable(r, name));
    std::vector<Expr> bounds;
    for (const ast::Expr& bound : decl.bounds) bounds.push_back(CompileExpr(bound));
    s.bounds.push_back(std::move(bounds));
    s.dynamic.push_back(decl.dynamic);
  }
  if (!s.exprs.empty()) out.push_back(std::move(s));
}

void Compiler::CompileCallStatement(const ast::Stmt& stmt, Block& out) {
  Stmt s;
  s.where = WhereOf(stmt.where);
  s.kind = StmtKind::kCall;
  const ast::Expr& call = stmt.exprs[0];
  if (call.kind == ast::ExprKind::kCall && call.children[0].kind == ast::ExprKind::kName) {
    std::string folded = FoldCase(call.children[0].name);
    if ((folded == "execute" || folded == "executeglobal") &&
        Resolve(folded, Use::kRead, true).kind == Resolved::Kind::kNone) {
      if (call.children.size() != 2) Fail(1002, call.where);
      s.kind = folded == "execute" ? StmtKind::kExecute : StmtKind::kExecuteGlobal;
      s.exprs.push_back(CompileExpr(call.children[1]));
      out.push_back(std::move(s));
      return;
    }
  }
  switch (call.kind) {
    case ast::ExprKind::kName:
      s.exprs.push_back(CompileName(call, Use::kRead, true));
      break;
    case ast::ExprKind::kCall:
      s.exprs.push_back(CompileCall(call, Use::kRead));
      break;
    default:
      s.exprs.push_back(CompileExpr(call));
      break;
  }
  out.push_back(std::move(s));
}

void Compiler::CompileSelect(const ast::Stmt& stmt, Stmt& s) {
  s.kind = StmtKind::kSelect;
  s.exprs.push_back(CompileExpr(stmt.exprs[0]));
  for (const ast::CaseClause& clause : stmt.cases) {
    CaseClause out;
    if (!clause.is_else) {
      for (const ast::CaseItem& item : clause.items) {
        CaseItem compiled;
        compiled.kind = static_cast<CaseItem::Kind>(item.kind);
        compiled.op = static_cast<CompareOp>(static_cast<int>(item.op) -
                                             static_cast<int>(ast::BinaryOp::kEq));
        compiled.first = CompileExpr(item.first);
        bool literal = compiled.first.kind == ExprKind::kConstant;
        if (item.kind == ast::CaseItem::Kind::kRange) {
          compiled.last = CompileExpr(item.last);
          literal = literal && compiled.last.kind == ExprKind::kConstant;
        }
        if (literal) compiled.literal = LiteralSide::kRight;
        out.items.push_back(std::move(compiled));
      }
    }
    out.body = CompileBlock(clause.body);
    s.cases.push_back(std::move(out));
  }
}

void Compiler::CompileExit(const ast::Stmt& stmt, Stmt& s) {
  s.kind = StmtKind::kExit;
  const Procedure* procedure = context_.procedure ? context_.procedure : context_.running;
  bool valid = false;
  switch (stmt.exit) {
    case ast::ExitKind::kDo:
      valid = context_.do_loops > 0;
      s.sub = static_cast<uint8_t>(ExitKind::kDo);
      break;
    case ast::ExitKind::kFor:
      valid = context_.for_loops > 0;
      s.sub = static_cast<uint8_t>(ExitKind::kFor);
      break;
    case ast::ExitKind::kSub:
      valid = procedure && procedure->kind == ProcedureKind::kSub;
      s.sub = static_cast<uint8_t>(ExitKind::kProcedure);
      break;
    case ast::ExitKind::kFunction:
      valid = procedure && procedure->kind == ProcedureKind::kFunction;
      s.sub = static_cast<uint8_t>(ExitKind::kProcedure);
      break;
    case ast::ExitKind::kProperty:
      valid = procedure && procedure->kind != ProcedureKind::kSub &&
              procedure->kind != ProcedureKind::kFunction;
      s.sub = static_cast<uint8_t>(ExitKind::kProcedure);
      break;
  }
  if (!valid) Fail(1039, stmt.where);
}

}  // namespace mirelda::script::vbscript
