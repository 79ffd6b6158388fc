// Statements, procedures and classes. A statement ends at a line end or ":" (and, inside a
// one-line If, at its Else); literal text between script blocks arrives as a statement of its
// own, so a block If or a loop may enclose it.
#include "script/vbscript/parser.h"

#include "script/vbscript/compile_errors.h"

namespace mirelda::script::vbscript {
ast::Program ParsePieces(std::span<const Piece> pieces, const std::vector<std::string>& files) {
  return Parser(Tokenize(pieces, files), files).ParseProgram();
}

ast::Program ParseCode(std::string_view code, const std::vector<std::string>& files) {
  Piece piece;
  piece.text = code;
  return ParsePieces(std::span<const Piece>(&piece, 1), files);
}

std::unique_ptr<ast::Expr> ParseEval(std::string_view code, const std::vector<std::string>& files) {
  Piece piece;
  piece.text = code;
  Parser parser(Tokenize(std::span<const Piece>(&piece, 1), files), files);
  return std::make_unique<ast::Expr>(parser.ParseWholeExpression());
}

// Tokens.

const Token& Parser::Peek(size_t ahead) const {
  size_t at = pos_ + ahead;
  return at < tokens_.size() ? tokens_[at] : tokens_.back();
}

const Token& Parser::Next() {
  const Token& token = tokens_[pos_];
  if (pos_ + 1 < tokens_.size()) ++pos_;
  return token;
}

bool Parser::IsKeyword(Keyword keyword, size_t ahead) const {
  const Token& token = Peek(ahead);
  return token.kind == TokenKind::kName && token.keyword == keyword;
}

bool Parser::IsSymbol(char symbol, size_t ahead) const {
  const Token& token = Peek(ahead);
  return token.kind == TokenKind::kSymbol && token.symbol == symbol;
}

bool Parser::IsName(size_t ahead) const {
  const Token& token = Peek(ahead);
  return token.kind == TokenKind::kName &&
         (token.keyword == Keyword::kNone || IsContextual(token.keyword));
}

bool Parser::AtStatementEnd() const {
  const Token& token = Peek();
  return IsSeparator(token) || token.kind == TokenKind::kEnd ||
         (single_line_ > 0 && IsKeyword(Keyword::kElse));
}

bool Parser::AcceptKeyword(Keyword keyword) {
  if (!IsKeyword(keyword)) return false;
  Next();
  return true;
}

bool Parser::AcceptSymbol(char symbol) {
  if (!IsSymbol(symbol)) return false;
  Next();
  return true;
}

void Parser::ExpectKeyword(Keyword keyword, int32_t error) {
  if (!AcceptKeyword(keyword)) Fail(error);
}

void Parser::ExpectSymbol(char symbol, int32_t error) {
  if (!AcceptSymbol(symbol)) Fail(error);
}

std::string Parser::ExpectName() {
  if (!IsName()) Fail(1010);
  return Next().text;
}

void Parser::Fail(int32_t number) const { FailAt(number, Peek().where); }

void Parser::FailAt(int32_t number, const ast::Location& where) const {
  CompileError(number, where, files_);
}

void Parser::EndStatement() {
  if (!AtStatementEnd()) Fail(1025);
}

// Blocks.

ast::Program Parser::ParseProgram() {
  ast::Program program;
  program_ = &program;
  ParseBlock(program.body, Scope::kTop);
  if (Peek().kind != TokenKind::kEnd) {
    if (IsKeyword(Keyword::kNext)) Fail(1055);
    if (IsKeyword(Keyword::kLoop)) Fail(1038);
    Fail(1024);
  }
  program_ = nullptr;
  return program;
}

bool Parser::AtBlockEnd() const {
  const Token& token = Peek();
  if (token.kind == TokenKind::kEnd) return true;
  if (token.kind != TokenKind::kName) return false;
  switch (token.keyword) {
    case Keyword::kEnd:
    case Keyword::kElse:
    case Keyword::kElseIf:
    case Keyword::kCase:
    case Keyword::kLoop:
    case Keyword::kNext:
    case Keyword::kWend:
      return true;
    default:
      return false;
  }
}

void Parser::ParseBlock(ast::Block& block, Scope scope) {
  for (;;) {
    while (IsSeparator(Peek())) Next();
    if (AtBlockEnd()) return;
    ParseStatement(block, scope);
    EndStatement();
  }
}

// The statements after a one-line If's Then or Else, up to the line's end (or the Else).
void Parser::ParseSingleLine(ast::Block& block, Scope scope) {
  ++single_line_;
  for (;;) {
    if (Peek().kind == TokenKind::kNewline || Peek().kind == TokenKind::kEnd ||
        IsKeyword(Keyword::kElse)) {
      break;
    }
    if (Peek().kind == TokenKind::kColon) {
      Next();
      continue;
    }
    ParseStatement(block, scope);
    EndStatement();
  }
  --single_line_;
}

void Parser::ParseStatement(ast::Block& block, Scope scope) {
  const Token& token = Peek();
  ast::Stmt stmt;
  stmt.where = token.where;
  if (token.kind == TokenKind::kLiteral) {
    stmt.kind = ast::StmtKind::kLiteralText;
    stmt.literal_index = Next().literal_index;
    block.push_back(std::move(stmt));
    return;
  }
  if (token.kind == TokenKind::kWrite) {
    Next();
    stmt.kind = ast::StmtKind::kWrite;
    stmt.exprs.push_back(ParseExpression());
    block.push_back(std::move(stmt));
    return;
  }
  if (token.kind != TokenKind::kName && !IsSymbol('.')) Fail(1024);
  switch (token.keyword) {
    case Keyword::kDim:
      Next();
      ParseDim(block, true, ast::StmtKind::kDim);
      return;
    case Keyword::kReDim:
      Next();
      ParseDim(block, true, ast::StmtKind::kReDim);
      return;
    case Keyword::kConst:
      Next();
      ParseConst(block, true);
      return;
    case Keyword::kPublic:
    case Keyword::kPrivate:
      if (scope != Scope::kTop) Fail(1024);
      ParseDeclaration(block);
      return;
    case Keyword::kSub:
    case Keyword::kFunction:
      if (scope != Scope::kTop || single_line_ > 0) Fail(1024);
      program_->procedures.push_back(ParseProcedure(true, false, false));
      return;
    case Keyword::kClass:
      if (scope != Scope::kTop || single_line_ > 0) Fail(1024);
      ParseClass();
      return;
    case Keyword::kDefault:
      Fail(1057);
    case Keyword::kProperty:
      if (IsKeyword(Keyword::kGet, 1) || IsKeyword(Keyword::kLet, 1) ||
          IsKeyword(Keyword::kSet, 1)) {
        Fail(1048);
      }
      break;
    case Keyword::kIf:
      ParseIf(block, scope);
      return;
    case Keyword::kSelect:
      ParseSelect(block, scope);
      return;
    case Keyword::kFor:
      ParseFor(block, scope);
      return;
    case Keyword::kDo:
      ParseDo(block, scope);
      return;
    case Keyword::kWhile:
      ParseWhile(block, scope);
      return;
    case Keyword::kWith:
      ParseWith(block, scope);
      return;
    case Keyword::kExit:
      ParseExit(block);
      return;
    case Keyword::kOn:
      ParseOnError(block);
      return;
    case Keyword::kOption:
      Next();
      ExpectKeyword(Keyword::kExplicit, 1002);
      program_->option_explicit = true;
      return;
    case Keyword::kErase:
      Next();
      do {
        ast::Stmt erase;
        erase.kind = ast::StmtKind::kErase;
        erase.where = Peek().where;
        erase.names.push_back(ExpectName());
        block.push_back(std::move(erase));
      } while (AcceptSymbol(','));
      return;
    case Keyword::kSet: {
      Next();
      stmt.kind = ast::StmtKind::kSet;
      stmt.exprs.push_back(ParsePostfix());
      ExpectSymbol('=', 1011);
      stmt.exprs.push_back(ParseExpression());
      block.push_back(std::move(stmt));
      return;
    }
    case Keyword::kLet:
      if (IsName(1) || IsSymbol('.', 1) || IsKeyword(Keyword::kMe, 1)) {
        Next();
        ast::Expr target = ParsePostfix();
        ExpectSymbol('=', 1011);
        stmt.kind = ast::StmtKind::kAssign;
        stmt.exprs.push_back(std::move(target));
        stmt.exprs.push_back(ParseExpression());
        block.push_back(std::move(stmt));
        return;
      }
      break;
    case Keyword::kCall:
      Next();
      stmt.kind = ast::StmtKind::kCall;
      stmt.exprs.push_back(ParsePostfix());
      block.push_back(std::move(stmt));
      return;
    case Keyword::kRandomize:
      if (Peek(1).kind == TokenKind::kSymbol && Peek(1).symbol == '=') break;
      Next();
      stmt.kind = ast::StmtKind::kRandomize;
      if (!AtStatementEnd()) stmt.exprs.push_back(ParseExpression());
      block.push_back(std::move(stmt));
      return;
    default:
      break;
  }
  if (!IsName() && !IsSymbol('.') && !IsKeyword(Keyword::kMe)) Fail(1024);
  ParseCallOrAssign(block);
}

// "a = 1", "a(1) = 2", "o.p = 3", "foo", "foo 1, 2", "foo(1)", "o.m a", "foo (1) + 2, 3".
void Parser::ParseCallOrAssign(ast::Block& block) {
  ast::Stmt stmt;
  stmt.where = Peek().where;
  ast::Expr head = ParsePostfix();
  if (AcceptSymbol('=')) {
    stmt.kind = ast::StmtKind::kAssign;
    stmt.exprs.push_back(std::move(head));
    stmt.exprs.push_back(ParseExpression());
    block.push_back(std::move(stmt));
    return;
  }
  stmt.kind = ast::StmtKind::kCall;
  bool head_called = head.kind == ast::ExprKind::kCall && head.has_args;
  if (AtStatementEnd()) {
    // "foo(1, 2)" as a statement: parentheses around a Sub's arguments.
    if (head_called && head.children.size() > 2) FailAt(1044, head.where);
    if (head_called && head.children.size() == 2) head.children[1].parenthesised = true;
    stmt.exprs.push_back(std::move(head));
    block.push_back(std::move(stmt));
    return;
  }
  ast::Expr call;
  call.kind = ast::ExprKind::kCall;
  call.has_args = true;
  call.where = head.where;
  if (head_called) {
    // "foo (1) + 2, 3": what looked like the argument list was the first argument's start.
    if (head.children.size() != 2 || head.children[1].kind == ast::ExprKind::kMissing) Fail(1025);
    ast::Expr first = std::move(head.children[1]);
    first.parenthesised = true;
    call.children.push_back(std::move(head.children[0]));
    call.children.push_back(ContinueExpression(std::move(first), 1));
    if (!AtStatementEnd() && !IsSymbol(',')) Fail(1025);
    while (AcceptSymbol(',')) call.children.push_back(ParseArgument());
  } else {
    call.children.push_back(std::move(head));
    if (!StartsExpression() && !IsSymbol(',')) Fail(1025);
    do {
      call.children.push_back(ParseArgument());
    } while (AcceptSymbol(','));
  }
  stmt.exprs.push_back(std::move(call));
  block.push_back(std::move(stmt));
}

ast::Decl Parser::ParseDecl(bool redim) {
  ast::Decl decl;
  decl.where = Peek().where;
  decl.name = ExpectName();
  if (AcceptSymbol('(')) {
    if (!redim && AcceptSymbol(')')) {
      decl.dynamic = true;
      return decl;
    }
    do {
      decl.bounds.push_back(ParseExpression());
    } while (AcceptSymbol(','));
    ExpectSymbol(')', 1006);
  } else if (redim) {
    Fail(1005);
  }
  return decl;
}

void Parser::ParseDim(ast::Block& block, bool is_public, ast::StmtKind kind) {
  ast::Stmt stmt;
  stmt.kind = kind;
  stmt.where = Peek().where;
  stmt.is_public = is_public;
  if (kind == ast::StmtKind::kReDim) stmt.preserve = AcceptKeyword(Keyword::kPreserve);
  do {
    stmt.decls.push_back(ParseDecl(kind == ast::StmtKind::kReDim));
  } while (AcceptSymbol(','));
  block.push_back(std::move(stmt));
}

void Parser::ParseConst(ast::Block& block, bool is_public) {
  ast::Stmt stmt;
  stmt.kind = ast::StmtKind::kConst;
  stmt.where = Peek().where;
  stmt.is_public = is_public;
  do {
    ast::Decl decl;
    decl.where = Peek().where;
    decl.name = ExpectName();
    ExpectSymbol('=', 1011);
    stmt.decls.push_back(std::move(decl));
    stmt.exprs.push_back(ParseExpression());
  } while (AcceptSymbol(','));
  block.push_back(std::move(stmt));
}

// Public and Private at the top level: variables, constants and procedures.
void Parser::ParseDeclaration(ast::Block& block) {
  bool is_public = Next().keyword == Keyword::kPublic;
  bool is_default = AcceptKeyword(Keyword::kDefault);
  if (IsKeyword(Keyword::kSub) || IsKeyword(Keyword::kFunction)) {
    if (is_default) Fail(1048);
    program_->procedures.push_back(ParseProcedure(is_public, false, false));
    return;
  }
  if (IsKeyword(Keyword::kProperty)) Fail(1048);
  if (is_default) Fail(1056);
  if (AcceptKeyword(Keyword::kConst)) {
    ParseConst(block, is_public);
    return;
  }
  ParseDim(block, is_public, ast::StmtKind::kDim);
}

}  // namespace mirelda::script::vbscript
