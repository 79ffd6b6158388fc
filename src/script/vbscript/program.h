// The compiled form of a script: a tree whose names are already resolved to what they stand for
// (a local or global slot, a field of Me, a procedure, a class, a built-in, a constant), so the
// machine never looks a name up while it runs. Member names of `a.b` keep a call-site index into
// the run's MemberCache table. Immutable once compiled and shared by every thread; everything a
// run changes lives in the machine's RunState.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "mirelda/dispatch.h"
#include "mirelda/variant.h"
#include "mirelda/variant_ops.h"
#include "script/vbscript/builtins/builtins.h"

namespace mirelda::script::vbscript {

struct Procedure;
struct ClassDef;

// A place in the page's files: file indexes the script's file list; line and column are 1-based.
struct Where {
  uint32_t file = 0;
  uint32_t line = 0;
  uint32_t column = 0;
};

enum class ExprKind : uint8_t {
  kConstant,    // value
  kMissing,     // an omitted argument: f(1, , 3)
  kLocal,       // slot of the frame
  kGlobal,      // slot of the run's globals
  kField,       // slot of Me's fields
  kResult,      // the running Function's or Property Get's return value
  kIntrinsic,   // slot: one of the page's objects (Request, Response, ...) or Err
  kDynamic,     // name (folded) looked up when it runs: names made by ExecuteGlobal, named objects;
                // slot is the local or global to fall back to, or kNoSlot for 500
  kMe,
  kWithTarget,  // the object of the innermost With
  kUnary,       // op: Unary; children[0]
  kBinary,      // op: Binary; children[0], children[1]
  kCompare,     // op: CompareOp; literal: LiteralSide; children[0], children[1]
  kIs,          // children[0] Is children[1]
  kCall,        // procedure(children...): a Sub or Function of the script
  kMeCall,      // procedure(children...) of the running class, called on Me
  kBuiltin,     // builtin(children...)
  kIndex,       // children[0](children[1...]): an array element or a default member
  kMember,      // children[0].name(children[1...]); slot: call-site cache index
  kNew,         // New class_def
  kEval,        // Eval(children[0])
  kGetRef,      // GetRef(children[0]): the named Sub or Function as an object
};

enum class Unary : uint8_t { kNegate, kPlus, kNot };
enum class Binary : uint8_t {
  kAdd, kSubtract, kMultiply, kDivide, kIntDivide, kModulo, kPower, kConcat,
  kAnd, kOr, kXor, kEqv, kImp,
};

inline constexpr uint32_t kNoSlot = UINT32_MAX;

struct Expr {
  ExprKind kind = ExprKind::kConstant;
  uint8_t op = 0;
  LiteralSide literal = LiteralSide::kNone;
  bool parenthesised = false;  // "(x)" as an argument: passed by value
  bool has_args = false;       // written with an argument list, even an empty one
  uint32_t slot = kNoSlot;
  Where where;
  Variant value;
  std::string name;
  const Procedure* procedure = nullptr;
  const Builtin* builtin = nullptr;
  const ClassDef* class_def = nullptr;
  std::vector<Expr> children;
};

struct Stmt;
using Block = std::vector<Stmt>;

enum class StmtKind : uint8_t {
  kCall,            // exprs[0] as a statement (its value dropped)
  kAssign,          // exprs[0] = exprs[1]
  kSet,             // Set exprs[0] = exprs[1]
  kAppend,          // exprs[0] = exprs[0] & exprs[1], with exprs[0] a variable: appended in place
  kIf,              // exprs[i] Then blocks[i]; blocks.size() > exprs.size(): Else
  kSelect,          // Select Case exprs[0]; cases
  kFor,             // For exprs[0] = exprs[1] To exprs[2] [Step exprs[3]]; blocks[0]
  kForEach,         // For Each exprs[0] In exprs[1]; blocks[0]
  kDo,              // blocks[0]; exprs[0] the condition when there is one
  kExit,            // exit: ExitKind
  kDim,             // exprs: the variables; bounds[i] their dimensions (empty: a scalar)
  kReDim,           // like kDim; preserve
  kErase,           // exprs[0]
  kOnErrorResumeNext,
  kOnErrorGoto0,
  kLiteral,         // slot: index of the page's literal texts
  kWrite,           // <%= exprs[0] %>
  kExecute,         // Execute exprs[0]
  kExecuteGlobal,   // ExecuteGlobal exprs[0]
  kWith,            // With exprs[0]; blocks[0]
  kRandomize,       // Randomize [exprs[0]]
};

enum class ExitKind : uint8_t { kDo, kFor, kProcedure };

// When a Do loop tests its condition, and whether it loops while it is true or until it is.
enum class LoopTest : uint8_t { kNone, kWhileBefore, kUntilBefore, kWhileAfter, kUntilAfter };

struct CaseItem {
  enum class Kind : uint8_t { kValue, kRange, kIs } kind = Kind::kValue;
  CompareOp op = CompareOp::kEq;  // for kIs
  LiteralSide literal = LiteralSide::kNone;
  Expr first;
  Expr last;  // for kRange
};

struct CaseClause {
  std::vector<CaseItem> items;  // empty: Case Else
  Block body;
};

struct Stmt {
  StmtKind kind = StmtKind::kCall;
  uint8_t sub = 0;  // ExitKind for kExit, LoopTest for kDo
  bool preserve = false;
  uint32_t slot = kNoSlot;
  Where where;
  Variant value;
  std::vector<Expr> exprs;
  std::vector<std::vector<Expr>> bounds;  // kDim / kReDim: each variable's upper bounds
  std::vector<bool> dynamic;              // kDim: "a()", a dynamic array
  std::vector<Block> blocks;
  std::vector<CaseClause> cases;
};

enum class ProcedureKind : uint8_t { kSub, kFunction, kPropertyGet, kPropertyLet, kPropertySet };

struct Parameter {
  std::string name;
  bool by_ref = true;
};

struct Procedure {
  std::string name;  // as written
  ProcedureKind kind = ProcedureKind::kSub;
  bool is_public = true;
  bool is_default = false;
  std::vector<Parameter> params;  // slots 0..params.size()-1
  uint32_t local_count = 0;       // params included
  // Local names (folded) to slots, and local constants, for code Execute and Eval compile while
  // this procedure runs.
  std::unordered_map<std::string, uint32_t> locals;
  std::unordered_map<std::string, Variant> constants;
  // Locals made by use rather than declared (folded): such a name may be a global made later, or
  // an object the host names, so it is looked up when it runs.
  std::unordered_set<std::string> undeclared;
  const ClassDef* owner = nullptr;  // for methods and properties
  Where where;
  Block body;
};

struct Field {
  std::string name;
  bool is_public = true;
  std::vector<int32_t> upper_bounds;  // "Public a(3)": an array field
  bool dynamic_array = false;         // "Public a()"
};

struct ClassDef {
  std::string name;
  std::vector<Field> fields;
  std::vector<std::unique_ptr<Procedure>> methods;  // Subs, Functions and Property procedures
  std::unordered_map<std::string, uint32_t> field_index;   // folded name -> field
  std::unordered_map<std::string, uint32_t> method_index;  // folded name -> first method
  const Procedure* initialize = nullptr;
  const Procedure* terminate = nullptr;
  // The members other code reaches through late binding: public fields, methods and properties.
  std::unique_ptr<MemberTable> members;
};

// What a global name stands for.
struct GlobalEntry {
  enum class Kind : uint8_t { kVariable, kConstant, kProcedure, kClass, kIntrinsic };
  Kind kind = Kind::kVariable;
  uint32_t slot = 0;  // kVariable: global slot; kIntrinsic: object index
  bool declared = true;  // false for a variable the script used without declaring it
  Variant value;      // kConstant
  const Procedure* procedure = nullptr;
  const ClassDef* class_def = nullptr;
};

// The objects every page reaches by name, in the order of their intrinsic slots.
enum class Intrinsic : uint32_t { kRequest, kResponse, kServer, kSession, kApplication, kErr };
inline constexpr uint32_t kIntrinsicCount = 6;

struct GlobalTable {
  std::unordered_map<std::string, GlobalEntry> names;  // folded name -> entry
  std::vector<std::string> variable_names;             // by slot, as first written
};

// A unit of compiled code: a page, or the text an Execute, ExecuteGlobal or Eval compiled.
struct Chunk {
  Block body;
  std::vector<std::unique_ptr<Procedure>> procedures;
  std::vector<std::unique_ptr<ClassDef>> classes;
  uint32_t cache_count = 0;  // call sites with a MemberCache
  uint32_t cache_base = 0;   // index of the first one in the run's table
  bool option_explicit = false;
  Expr expression;  // what Eval compiled
};

// What code compiled while the page runs (Execute, ExecuteGlobal, Eval) is compiled against.
struct RuntimeScope {
  GlobalTable* globals = nullptr;        // the run's table: new variables take the next slot
                                         // (variable_names grows), new procedures and classes
                                         // enter it
  const Procedure* procedure = nullptr;  // the running procedure (locals, constants); null at
                                         // the top level and for ExecuteGlobal
  const ClassDef* owner = nullptr;       // the running class, or null
  uint32_t cache_base = 0;               // first MemberCache index of the chunk's call sites
  bool option_explicit = false;
};

// Compiles the text of Execute and ExecuteGlobal (statements) or of Eval (an expression, put in
// Chunk::expression). Compile errors are thrown as the language's errors. The engine provides
// it, so the machine depends on no parser.
class RuntimeCompiler {
 public:
  virtual ~RuntimeCompiler() = default;
  virtual std::shared_ptr<Chunk> CompileStatements(std::string_view code,
                                                   const RuntimeScope& scope) const = 0;
  virtual std::shared_ptr<Chunk> CompileExpression(std::string_view code,
                                                   const RuntimeScope& scope) const = 0;
};

struct Program {
  Chunk main;
  GlobalTable globals;
  std::vector<std::string> literals;  // the page's literal texts
  std::vector<std::string> files;     // URL paths; Where::file indexes it
  std::shared_ptr<const RuntimeCompiler> compiler;  // for Execute and Eval; null: none allowed
};

}  // namespace mirelda::script::vbscript
