// Compound statements (If, Select Case, the loops, With), procedures and classes.
#include "script/vbscript/parser.h"

namespace mirelda::script::vbscript {

void Parser::ExpectEnd(Keyword closing, int32_t error) {
  if (!IsKeyword(Keyword::kEnd)) Fail(1014);
  Next();
  ExpectKeyword(closing, error);
}

void Parser::ParseIf(ast::Block& block, Scope scope) {
  ast::Stmt stmt;
  stmt.kind = ast::StmtKind::kIf;
  stmt.where = Next().where;
  stmt.exprs.push_back(ParseExpression());
  ExpectKeyword(Keyword::kThen, 1017);
  if (Peek().kind != TokenKind::kNewline && Peek().kind != TokenKind::kColon &&
      Peek().kind != TokenKind::kEnd) {
    stmt.blocks.emplace_back();
    ParseSingleLine(stmt.blocks.back(), scope);
    if (AcceptKeyword(Keyword::kElse)) {
      stmt.blocks.emplace_back();
      ParseSingleLine(stmt.blocks.back(), scope);
    }
    block.push_back(std::move(stmt));
    return;
  }
  // A block If is never ended by a one-line If's Else.
  int single_line = single_line_;
  single_line_ = 0;
  stmt.blocks.emplace_back();
  ParseBlock(stmt.blocks.back(), scope);
  for (;;) {
    if (AcceptKeyword(Keyword::kElseIf)) {
      stmt.exprs.push_back(ParseExpression());
      ExpectKeyword(Keyword::kThen, 1017);
      stmt.blocks.emplace_back();
      ParseBlock(stmt.blocks.back(), scope);
    } else if (AcceptKeyword(Keyword::kElse)) {
      stmt.blocks.emplace_back();
      ParseBlock(stmt.blocks.back(), scope);
      ExpectEnd(Keyword::kIf, 1012);
      break;
    } else {
      ExpectEnd(Keyword::kIf, 1012);
      break;
    }
  }
  single_line_ = single_line;
  block.push_back(std::move(stmt));
}

void Parser::ParseSelect(ast::Block& block, Scope scope) {
  ast::Stmt stmt;
  stmt.kind = ast::StmtKind::kSelect;
  stmt.where = Next().where;
  ExpectKeyword(Keyword::kCase, 1021);
  stmt.exprs.push_back(ParseExpression());
  EndStatement();
  // Only white space of the page may stand between "Select Case" and the first Case.
  while (IsSeparator(Peek()) || Peek().kind == TokenKind::kLiteral) Next();
  while (AcceptKeyword(Keyword::kCase)) {
    ast::CaseClause clause;
    if (AcceptKeyword(Keyword::kElse)) {
      clause.is_else = true;
    } else {
      do {
        ast::CaseItem item;
        if (AcceptKeyword(Keyword::kIs)) {
          item.kind = ast::CaseItem::Kind::kIs;
          const Token& op = Peek();
          if (op.kind != TokenKind::kSymbol) Fail(1002);
          switch (op.symbol) {
            case '=': item.op = ast::BinaryOp::kEq; break;
            case kNe: item.op = ast::BinaryOp::kNe; break;
            case '<': item.op = ast::BinaryOp::kLt; break;
            case kLe: item.op = ast::BinaryOp::kLe; break;
            case '>': item.op = ast::BinaryOp::kGt; break;
            case kGe: item.op = ast::BinaryOp::kGe; break;
            default: Fail(1002);
          }
          Next();
          item.first = ParseExpression();
        } else {
          item.first = ParseExpression();
          if (AcceptKeyword(Keyword::kTo)) {
            item.kind = ast::CaseItem::Kind::kRange;
            item.last = ParseExpression();
          }
        }
        clause.items.push_back(std::move(item));
      } while (AcceptSymbol(','));
    }
    ParseBlock(clause.body, scope);
    bool is_else = clause.is_else;
    stmt.cases.push_back(std::move(clause));
    if (is_else) break;
  }
  ExpectEnd(Keyword::kSelect, 1022);
  block.push_back(std::move(stmt));
}

void Parser::ParseFor(ast::Block& block, Scope scope) {
  ast::Stmt stmt;
  stmt.where = Next().where;
  bool each = AcceptKeyword(Keyword::kEach);
  ast::Expr counter;
  counter.kind = ast::ExprKind::kName;
  counter.where = Peek().where;
  counter.name = ExpectName();
  stmt.exprs.push_back(std::move(counter));
  if (each) {
    stmt.kind = ast::StmtKind::kForEach;
    ExpectKeyword(Keyword::kIn, 1046);
    stmt.exprs.push_back(ParseExpression());
  } else {
    stmt.kind = ast::StmtKind::kFor;
    ExpectSymbol('=', 1011);
    stmt.exprs.push_back(ParseExpression());
    ExpectKeyword(Keyword::kTo, 1013);
    stmt.exprs.push_back(ParseExpression());
    if (AcceptKeyword(Keyword::kStep)) stmt.exprs.push_back(ParseExpression());
  }
  EndStatement();
  stmt.blocks.emplace_back();
  ParseBlock(stmt.blocks.back(), scope);
  ExpectKeyword(Keyword::kNext, 1020);
  if (IsName()) Next();
  block.push_back(std::move(stmt));
}

void Parser::ParseDo(ast::Block& block, Scope scope) {
  ast::Stmt stmt;
  stmt.kind = ast::StmtKind::kDo;
  stmt.where = Next().where;
  if (AcceptKeyword(Keyword::kWhile)) {
    stmt.loop = ast::LoopKind::kWhileBefore;
  } else if (AcceptKeyword(Keyword::kUntil)) {
    stmt.loop = ast::LoopKind::kUntilBefore;
  } else if (!AtStatementEnd()) {
    Fail(1028);
  }
  if (stmt.loop != ast::LoopKind::kForever) stmt.exprs.push_back(ParseExpression());
  EndStatement();
  stmt.blocks.emplace_back();
  ParseBlock(stmt.blocks.back(), scope);
  ExpectKeyword(Keyword::kLoop, 1019);
  if (IsKeyword(Keyword::kWhile) || IsKeyword(Keyword::kUntil)) {
    if (stmt.loop != ast::LoopKind::kForever) Fail(1025);
    stmt.loop = Next().keyword == Keyword::kWhile ? ast::LoopKind::kWhileAfter
                                                  : ast::LoopKind::kUntilAfter;
    stmt.exprs.push_back(ParseExpression());
  }
  block.push_back(std::move(stmt));
}

void Parser::ParseWhile(ast::Block& block, Scope scope) {
  ast::Stmt stmt;
  stmt.kind = ast::StmtKind::kDo;
  stmt.loop = ast::LoopKind::kWhileBefore;
  stmt.where = Next().where;
  stmt.exprs.push_back(ParseExpression());
  EndStatement();
  stmt.blocks.emplace_back();
  ParseBlock(stmt.blocks.back(), scope);
  ExpectKeyword(Keyword::kWend, 1018);
  block.push_back(std::move(stmt));
}

void Parser::ParseWith(ast::Block& block, Scope scope) {
  ast::Stmt stmt;
  stmt.kind = ast::StmtKind::kWith;
  stmt.where = Next().where;
  stmt.exprs.push_back(ParseExpression());
  EndStatement();
  stmt.blocks.emplace_back();
  ++with_depth_;
  ParseBlock(stmt.blocks.back(), scope);
  --with_depth_;
  ExpectEnd(Keyword::kWith, 1029);
  block.push_back(std::move(stmt));
}

void Parser::ParseExit(ast::Block& block) {
  ast::Stmt stmt;
  stmt.kind = ast::StmtKind::kExit;
  stmt.where = Next().where;
  switch (Peek().kind == TokenKind::kName ? Peek().keyword : Keyword::kNone) {
    case Keyword::kDo: stmt.exit = ast::ExitKind::kDo; break;
    case Keyword::kFor: stmt.exit = ast::ExitKind::kFor; break;
    case Keyword::kSub: stmt.exit = ast::ExitKind::kSub; break;
    case Keyword::kFunction: stmt.exit = ast::ExitKind::kFunction; break;
    case Keyword::kProperty: stmt.exit = ast::ExitKind::kProperty; break;
    default: Fail(1002);
  }
  Next();
  block.push_back(std::move(stmt));
}

void Parser::ParseOnError(ast::Block& block) {
  ast::Stmt stmt;
  stmt.where = Next().where;
  ExpectKeyword(Keyword::kError, 1002);
  if (AcceptKeyword(Keyword::kResume)) {
    ExpectKeyword(Keyword::kNext, 1002);
    stmt.kind = ast::StmtKind::kOnErrorResumeNext;
  } else if (AcceptKeyword(Keyword::kGoTo)) {
    const Token& target = Peek();
    if (target.kind != TokenKind::kNumber || target.value.ToDouble() != 0) Fail(1002);
    Next();
    stmt.kind = ast::StmtKind::kOnErrorGoto0;
  } else {
    Fail(1002);
  }
  block.push_back(std::move(stmt));
}

ast::Procedure Parser::ParseProcedure(bool is_public, bool is_default, bool in_class) {
  ast::Procedure procedure;
  procedure.is_public = is_public;
  procedure.is_default = is_default;
  procedure.where = Peek().where;
  Keyword opening = Next().keyword;
  Keyword closing = opening;
  int32_t closing_error = opening == Keyword::kSub ? 1016 : 1015;
  if (opening == Keyword::kSub) {
    procedure.kind = ast::ProcedureKind::kSub;
  } else if (opening == Keyword::kFunction) {
    procedure.kind = ast::ProcedureKind::kFunction;
  } else {
    if (!in_class) Fail(1048);
    closing_error = 1050;
    if (AcceptKeyword(Keyword::kGet)) {
      procedure.kind = ast::ProcedureKind::kPropertyGet;
    } else if (AcceptKeyword(Keyword::kLet)) {
      procedure.kind = ast::ProcedureKind::kPropertyLet;
    } else if (AcceptKeyword(Keyword::kSet)) {
      procedure.kind = ast::ProcedureKind::kPropertySet;
    } else {
      Fail(1049);
    }
  }
  if (is_default && (procedure.kind == ast::ProcedureKind::kPropertyLet ||
                     procedure.kind == ast::ProcedureKind::kPropertySet)) {
    Fail(1058);
  }
  procedure.name = ExpectName();
  if (AcceptSymbol('(') && !AcceptSymbol(')')) {
    do {
      ast::Parameter param;
      if (AcceptKeyword(Keyword::kByVal)) {
        param.by_ref = false;
      } else {
        AcceptKeyword(Keyword::kByRef);
      }
      param.where = Peek().where;
      param.name = ExpectName();
      if (AcceptSymbol('(')) {
        ExpectSymbol(')', 1006);
        param.array = true;
      }
      procedure.params.push_back(std::move(param));
    } while (AcceptSymbol(','));
    ExpectSymbol(')', 1006);
  }
  if ((procedure.kind == ast::ProcedureKind::kPropertyLet ||
       procedure.kind == ast::ProcedureKind::kPropertySet) &&
      procedure.params.empty()) {
    FailAt(1054, procedure.where);
  }
  EndStatement();
  ParseBlock(procedure.body, Scope::kProcedure);
  ExpectEnd(closing, closing_error);
  return procedure;
}

void Parser::ParseClass() {
  ast::Class def;
  def.where = Next().where;
  def.name = ExpectName();
  EndStatement();
  for (;;) {
    while (IsSeparator(Peek()) || Peek().kind == TokenKind::kLiteral) Next();
    if (Peek().kind == TokenKind::kEnd) Fail(1014);
    if (AcceptKeyword(Keyword::kEnd)) {
      ExpectKeyword(Keyword::kClass, 1047);
      break;
    }
    bool is_public = true;
    bool access = false;
    bool is_default = false;
    if (IsKeyword(Keyword::kPublic) || IsKeyword(Keyword::kPrivate)) {
      access = true;
      is_public = Next().keyword == Keyword::kPublic;
      if (AcceptKeyword(Keyword::kDefault)) {
        if (!is_public) Fail(1057);
        is_default = true;
      }
    } else if (IsKeyword(Keyword::kDefault)) {
      Fail(1057);
    }
    if (IsKeyword(Keyword::kSub) || IsKeyword(Keyword::kFunction) ||
        IsKeyword(Keyword::kProperty)) {
      def.methods.push_back(ParseProcedure(is_public, is_default, true));
    } else if (is_default) {
      Fail(1056);
    } else if (AcceptKeyword(Keyword::kConst)) {
      ParseConst(def.constants, is_public);
    } else if (AcceptKeyword(Keyword::kDim) || (access && IsName())) {
      do {
        ast::Field field;
        field.decl = ParseDecl(false);
        field.is_public = is_public;
        def.fields.push_back(std::move(field));
      } while (AcceptSymbol(','));
    } else {
      Fail(1024);
    }
    EndStatement();
  }
  program_->classes.push_back(std::move(def));
}

}  // namespace mirelda::script::vbscript
