// Expressions, by precedence climbing over the language's levels: Imp, Eqv, Xor, Or, And, Not,
// comparisons, &, + -, Mod, \, * /, unary minus, ^ (tightest). So -2 ^ 2 is -4, Not a = b is
// Not (a = b), and every binary operator groups from the left.
#include <optional>

#include "script/vbscript/parser.h"

namespace mirelda::script::vbscript {
namespace {

constexpr int kCompareLevel = 7;
constexpr int kNegateLevel = 13;
constexpr int kPowerLevel = 14;

struct BinaryInfo {
  ast::BinaryOp op;
  int level;
};

std::optional<BinaryInfo> BinaryOf(const Token& token) {
  using ast::BinaryOp;
  if (token.kind == TokenKind::kSymbol) {
    switch (token.symbol) {
      case '^': return BinaryInfo{BinaryOp::kPower, kPowerLevel};
      case '*': return BinaryInfo{BinaryOp::kMultiply, 12};
      case '/': return BinaryInfo{BinaryOp::kDivide, 12};
      case '\\': return BinaryInfo{BinaryOp::kIntDivide, 11};
      case '+': return BinaryInfo{BinaryOp::kAdd, 9};
      case '-': return BinaryInfo{BinaryOp::kSubtract, 9};
      case '&': return BinaryInfo{BinaryOp::kConcat, 8};
      case '=': return BinaryInfo{BinaryOp::kEq, kCompareLevel};
      case kNe: return BinaryInfo{BinaryOp::kNe, kCompareLevel};
      case '<': return BinaryInfo{BinaryOp::kLt, kCompareLevel};
      case kLe: return BinaryInfo{BinaryOp::kLe, kCompareLevel};
      case '>': return BinaryInfo{BinaryOp::kGt, kCompareLevel};
      case kGe: return BinaryInfo{BinaryOp::kGe, kCompareLevel};
      default: return std::nullopt;
    }
  }
  if (token.kind != TokenKind::kName) return std::nullopt;
  switch (token.keyword) {
    case Keyword::kMod: return BinaryInfo{BinaryOp::kModulo, 10};
    case Keyword::kIs: return BinaryInfo{BinaryOp::kIs, kCompareLevel};
    case Keyword::kAnd: return BinaryInfo{BinaryOp::kAnd, 5};
    case Keyword::kOr: return BinaryInfo{BinaryOp::kOr, 4};
    case Keyword::kXor: return BinaryInfo{BinaryOp::kXor, 3};
    case Keyword::kEqv: return BinaryInfo{BinaryOp::kEqv, 2};
    case Keyword::kImp: return BinaryInfo{BinaryOp::kImp, 1};
    default: return std::nullopt;
  }
}

ast::Expr Literal(Variant value, const ast::Location& where) {
  ast::Expr expr;
  expr.kind = ast::ExprKind::kLiteral;
  expr.value = std::move(value);
  expr.where = where;
  return expr;
}

}  // namespace

ast::Expr Parser::ParseExpression(int min_level) {
  return ContinueExpression(ParseOperand(min_level), min_level);
}

ast::Expr Parser::ContinueExpression(ast::Expr left, int min_level) {
  for (;;) {
    std::optional<BinaryInfo> info = BinaryOf(Peek());
    if (!info || info->level < min_level) return left;
    ast::Location where = Next().where;
    ast::Expr node;
    node.kind = ast::ExprKind::kBinary;
    node.op = static_cast<uint8_t>(info->op);
    node.where = where;
    node.children.push_back(std::move(left));
    node.children.push_back(ParseExpression(info->level + 1));
    left = std::move(node);
  }
}

ast::Expr Parser::ParseOperand(int min_level) {
  const Token& token = Peek();
  ast::Expr node;
  node.where = token.where;
  if (IsKeyword(Keyword::kNot)) {
    Next();
    node.kind = ast::ExprKind::kUnary;
    node.op = static_cast<uint8_t>(ast::UnaryOp::kNot);
    node.children.push_back(ParseExpression(kCompareLevel));
    return node;
  }
  if (IsSymbol('-') || IsSymbol('+')) {
    bool negate = Next().symbol == '-';
    node.kind = ast::ExprKind::kUnary;
    node.op = static_cast<uint8_t>(negate ? ast::UnaryOp::kNegate : ast::UnaryOp::kPlus);
    node.children.push_back(ParseExpression(std::max(min_level, kNegateLevel + 1)));
    return node;
  }
  return ParsePostfix();
}

ast::Expr Parser::ParsePostfix() {
  ast::Expr expr = ParsePrimary();
  for (;;) {
    // "a .b" is no member of a: the ".b" after white space is an argument's With member.
    if (IsSymbol('.') && !Peek().space_before) {
      ast::Location where = Next().where;
      if (Peek().kind != TokenKind::kName) Fail(1010);
      ast::Expr member;
      member.kind = ast::ExprKind::kMember;
      member.where = where;
      member.name = Next().text;
      member.children.push_back(std::move(expr));
      expr = std::move(member);
    } else if (IsSymbol('(')) {
      ast::Expr call;
      call.kind = ast::ExprKind::kCall;
      call.where = expr.where;
      call.children.push_back(std::move(expr));
      ParseArguments(call, ')');
      expr = std::move(call);
    } else {
      return expr;
    }
  }
}

ast::Expr Parser::ParsePrimary() {
  const Token& token = Peek();
  switch (token.kind) {
    case TokenKind::kNumber:
    case TokenKind::kString:
    case TokenKind::kDate:
      return Literal(Next().value, token.where);
    case TokenKind::kSymbol:
      if (token.symbol == '(') {
        Next();
        ast::Expr inner = ParseExpression();
        ExpectSymbol(')', 1006);
        inner.parenthesised = true;
        return inner;
      }
      if (token.symbol == '.') {
        // ".name" inside With: a member of the With's object.
        if (with_depth_ == 0) Fail(1002);
        ast::Location where = Next().where;
        if (Peek().kind != TokenKind::kName) Fail(1010);
        ast::Expr member;
        member.kind = ast::ExprKind::kMember;
        member.with_target = true;
        member.where = where;
        member.name = Next().text;
        return member;
      }
      Fail(1023);
    case TokenKind::kName:
      break;
    default:
      Fail(1023);
  }
  ast::Expr expr;
  expr.where = token.where;
  switch (token.keyword) {
    case Keyword::kTrue:
      Next();
      return Literal(Variant(true), token.where);
    case Keyword::kFalse:
      Next();
      return Literal(Variant(false), token.where);
    case Keyword::kEmpty:
      Next();
      return Literal(Variant(), token.where);
    case Keyword::kNull:
      Next();
      return Literal(Variant::Null(), token.where);
    case Keyword::kNothing:
      Next();
      return Literal(Variant::Nothing(), token.where);
    case Keyword::kMe:
      Next();
      expr.kind = ast::ExprKind::kMe;
      return expr;
    case Keyword::kNew:
      Next();
      expr.kind = ast::ExprKind::kNew;
      expr.name = ExpectName();
      return expr;
    default:
      break;
  }
  if (!IsName()) Fail(1023);
  expr.kind = ast::ExprKind::kName;
  expr.name = Next().text;
  return expr;
}

void Parser::ParseArguments(ast::Expr& call, char close) {
  Next();  // "("
  call.has_args = true;
  if (AcceptSymbol(close)) return;
  for (;;) {
    call.children.push_back(ParseArgument());
    if (AcceptSymbol(',')) continue;
    ExpectSymbol(close, 1006);
    return;
  }
}

ast::Expr Parser::ParseArgument() {
  if (IsSymbol(',') || IsSymbol(')') || AtStatementEnd()) {
    ast::Expr missing;
    missing.kind = ast::ExprKind::kMissing;
    missing.where = Peek().where;
    return missing;
  }
  return ParseExpression();
}

bool Parser::StartsExpression() const {
  const Token& token = Peek();
  switch (token.kind) {
    case TokenKind::kNumber:
    case TokenKind::kString:
    case TokenKind::kDate:
      return true;
    case TokenKind::kSymbol:
      return token.symbol == '(' || token.symbol == '-' || token.symbol == '+' ||
             token.symbol == '.';
    case TokenKind::kName:
      switch (token.keyword) {
        case Keyword::kTrue:
        case Keyword::kFalse:
        case Keyword::kEmpty:
        case Keyword::kNull:
        case Keyword::kNothing:
        case Keyword::kMe:
        case Keyword::kNew:
        case Keyword::kNot:
          return true;
        default:
          return IsName();
      }
    default:
      return false;
  }
}

ast::Expr Parser::ParseWholeExpression() {
  while (Peek().kind == TokenKind::kNewline) Next();
  ast::Expr expr = ParseExpression();
  while (Peek().kind == TokenKind::kNewline) Next();
  if (Peek().kind != TokenKind::kEnd) Fail(1025);
  return expr;
}

}  // namespace mirelda::script::vbscript
