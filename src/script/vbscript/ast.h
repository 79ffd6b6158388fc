// The syntax tree the parser makes and the compiler reads: plain nodes with names as written
// (the compiler folds their case), each with the place in the page's files it came from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mirelda/variant.h"

namespace mirelda::script::vbscript::ast {

// file indexes the page's file list; line and column are 1-based in that file.
struct Location {
  uint32_t file = 0;
  uint32_t line = 0;
  uint32_t column = 0;
};

enum class ExprKind : uint8_t {
  kLiteral,     // value (Integer, Long, Double, String, Date, Boolean, Empty, Null, Nothing)
  kName,        // name
  kMember,      // children[0].name; with_target: ".name" inside With (no children)
  kCall,        // children[0](children[1...]): a call or an index; has_args when written "()"
  kMissing,     // an omitted argument: f(1, , 3)
  kMe,
  kNew,         // New name
  kUnary,       // op: UnaryOp; children[0]
  kBinary,      // op: BinaryOp; children[0], children[1]
};

enum class UnaryOp : uint8_t { kNegate, kPlus, kNot };

enum class BinaryOp : uint8_t {
  kAdd, kSubtract, kMultiply, kDivide, kIntDivide, kModulo, kPower, kConcat,
  kAnd, kOr, kXor, kEqv, kImp,
  kEq, kNe, kLt, kLe, kGt, kGe, kIs,
};

struct Expr {
  ExprKind kind = ExprKind::kLiteral;
  uint8_t op = 0;
  bool parenthesised = false;  // written in parentheses: an argument "(x)" is passed by value
  bool has_args = false;       // kCall written with an argument list, even "()"
  bool with_target = false;    // kMember ".name" of the innermost With
  Location where;
  Variant value;
  std::string name;
  std::vector<Expr> children;
};

struct Stmt;
using Block = std::vector<Stmt>;

enum class StmtKind : uint8_t {
  kDim,           // decls (Dim, and Public/Private at the top level)
  kReDim,         // decls with bounds; preserve
  kErase,         // names[0]
  kConst,         // decls[i].name = exprs[i]
  kAssign,        // exprs[0] = exprs[1]
  kSet,           // Set exprs[0] = exprs[1]
  kCall,          // exprs[0] as a statement ("foo 1, 2", "Call foo(1)", "obj.m a")
  kIf,            // exprs[i] Then blocks[i]; one more block than exprs: Else
  kSelect,        // Select Case exprs[0]; cases
  kFor,           // For exprs[0] = exprs[1] To exprs[2] [Step exprs[3]]; blocks[0]
  kForEach,       // For Each exprs[0] In exprs[1]; blocks[0]
  kDo,            // blocks[0]; loop: LoopKind; exprs[0] the condition when there is one
  kExit,          // exit: ExitKind
  kWith,          // With exprs[0]; blocks[0]
  kOnErrorResumeNext,
  kOnErrorGoto0,
  kRandomize,     // exprs: the seed when given
  kLiteralText,   // literal_index: the page's literal text number
  kWrite,         // <%= exprs[0] %>
};

enum class LoopKind : uint8_t { kForever, kWhileBefore, kUntilBefore, kWhileAfter, kUntilAfter };
enum class ExitKind : uint8_t { kDo, kFor, kSub, kFunction, kProperty };

struct Decl {
  std::string name;
  Location where;
  bool dynamic = false;       // "a()"
  std::vector<Expr> bounds;   // "a(3, 4)": the upper bounds
};

struct CaseItem {
  enum class Kind : uint8_t { kValue, kRange, kIs } kind = Kind::kValue;
  BinaryOp op = BinaryOp::kEq;  // for kIs
  Expr first;
  Expr last;  // for kRange
};

struct CaseClause {
  bool is_else = false;
  std::vector<CaseItem> items;
  Block body;
};

struct Stmt {
  StmtKind kind = StmtKind::kCall;
  Location where;
  bool preserve = false;
  bool is_public = true;  // Dim and Const at the top level: Private or Public
  LoopKind loop = LoopKind::kForever;
  ExitKind exit = ExitKind::kDo;
  uint32_t literal_index = 0;
  std::vector<Expr> exprs;
  std::vector<Decl> decls;
  std::vector<std::string> names;
  std::vector<Block> blocks;
  std::vector<CaseClause> cases;
};

enum class ProcedureKind : uint8_t { kSub, kFunction, kPropertyGet, kPropertyLet, kPropertySet };

struct Parameter {
  std::string name;
  bool by_ref = true;
  bool array = false;  // "p()"
  Location where;
};

struct Procedure {
  std::string name;
  ProcedureKind kind = ProcedureKind::kSub;
  bool is_public = true;
  bool is_default = false;
  Location where;
  std::vector<Parameter> params;
  Block body;
};

struct Field {
  Decl decl;
  bool is_public = true;
};

struct Class {
  std::string name;
  Location where;
  std::vector<Field> fields;
  std::vector<Procedure> methods;
  std::vector<Stmt> constants;  // kConst statements of the class body
};

struct Program {
  bool option_explicit = false;
  Block body;  // the top level's statements in page order
  std::vector<Procedure> procedures;
  std::vector<Class> classes;
};

}  // namespace mirelda::script::vbscript::ast
