// The parser: tokens to the syntax tree (ast.h). Procedures and classes are gathered apart from
// the top level's statements, since a page may call a Sub written further down. Syntax errors
// are thrown as compile errors with the place of the token that broke the rule.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "script/vbscript/ast.h"
#include "script/vbscript/lexer.h"

namespace mirelda::script::vbscript {

// A page's pieces in page order.
ast::Program ParsePieces(std::span<const Piece> pieces, const std::vector<std::string>& files);
// The text of Execute or ExecuteGlobal.
ast::Program ParseCode(std::string_view code, const std::vector<std::string>& files);
// The text of Eval: one expression.
std::unique_ptr<ast::Expr> ParseEval(std::string_view code, const std::vector<std::string>& files);

class Parser {
 public:
  Parser(std::vector<Token> tokens, const std::vector<std::string>& files)
      : tokens_(std::move(tokens)), files_(files) {}

  ast::Program ParseProgram();
  ast::Expr ParseWholeExpression();

 private:
  enum class Scope : uint8_t { kTop, kProcedure, kClass };

  // parser.cpp: blocks and simple statements.
  void ParseBlock(ast::Block& block, Scope scope);
  void ParseSingleLine(ast::Block& block, Scope scope);
  bool AtBlockEnd() const;
  void ParseStatement(ast::Block& block, Scope scope);
  void ParseCallOrAssign(ast::Block& block);
  ast::Decl ParseDecl(bool redim);
  void ParseDim(ast::Block& block, bool is_public, ast::StmtKind kind);
  void ParseConst(ast::Block& block, bool is_public);
  void ParseDeclaration(ast::Block& block);
  void EndStatement();

  // parser_blocks.cpp: compound statements, procedures, classes.
  void ExpectEnd(Keyword closing, int32_t error);
  void ParseIf(ast::Block& block, Scope scope);
  void ParseSelect(ast::Block& block, Scope scope);
  void ParseFor(ast::Block& block, Scope scope);
  void ParseDo(ast::Block& block, Scope scope);
  void ParseWhile(ast::Block& block, Scope scope);
  void ParseWith(ast::Block& block, Scope scope);
  void ParseExit(ast::Block& block);
  void ParseOnError(ast::Block& block);
  ast::Procedure ParseProcedure(bool is_public, bool is_default, bool in_class);
  void ParseClass();

  // parser_expressions.cpp
  ast::Expr ParseExpression(int min_level = 1);
  ast::Expr ContinueExpression(ast::Expr left, int min_level);
  ast::Expr ParseOperand(int min_level);  // a unary operator's operand, or a postfix chain
  ast::Expr ParsePostfix();
  ast::Expr ParsePrimary();
  void ParseArguments(ast::Expr& call, char close);
  ast::Expr ParseArgument();
  bool StartsExpression() const;

  // Tokens.
  static bool IsSeparator(const Token& token) {
    return token.kind == TokenKind::kNewline || token.kind == TokenKind::kColon;
  }
  const Token& Peek(size_t ahead = 0) const;
  const Token& Next();
  bool IsKeyword(Keyword keyword, size_t ahead = 0) const;
  bool IsSymbol(char symbol, size_t ahead = 0) const;
  bool AtStatementEnd() const;
  bool AcceptKeyword(Keyword keyword);
  bool AcceptSymbol(char symbol);
  void ExpectKeyword(Keyword keyword, int32_t error);
  void ExpectSymbol(char symbol, int32_t error);
  // A name: a word that is no keyword here (contextual words count as names).
  bool IsName(size_t ahead = 0) const;
  std::string ExpectName();
  [[noreturn]] void Fail(int32_t number) const;
  [[noreturn]] void FailAt(int32_t number, const ast::Location& where) const;

  std::vector<Token> tokens_;
  const std::vector<std::string>& files_;
  size_t pos_ = 0;
  int with_depth_ = 0;
  int single_line_ = 0;  // inside a one-line If, where Else ends a statement
  ast::Program* program_ = nullptr;
};

}  // namespace mirelda::script::vbscript
