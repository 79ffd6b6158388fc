// The compiler: the syntax tree to the compiled form (program.h). It resolves every name once:
// to a local, a global, a field of Me, a procedure, a constant (folded in place), a built-in, or,
// for a name nothing declares, to a variable made by use (or, under Option Explicit, to a name
// looked up when it runs, which is error 500 unless ExecuteGlobal made it).
//
// The page's top level is compiled before its procedures, so a name the top level uses without
// declaring it is a page variable there too, as the page's procedures see it when they run.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "script/vbscript/ast.h"
#include "script/vbscript/program.h"

namespace mirelda::script::vbscript {

// A page. files: the page's files (Where::file indexes them); literals: its literal texts.
Program Compile(const ast::Program& tree, std::vector<std::string> files,
                std::vector<std::string> literals);
// Execute and ExecuteGlobal text, already parsed. Chunk::cache_count = call sites it used.
std::shared_ptr<Chunk> CompileChunk(const ast::Program& tree, const RuntimeScope& scope);
// Eval text, already parsed: the result in Chunk::expression.
std::shared_ptr<Chunk> CompileEval(const ast::Expr& tree, const RuntimeScope& scope);

class Compiler {
 public:
  Compiler(GlobalTable& globals, Chunk& chunk, const std::vector<std::string>& files,
           bool runtime)
      : globals_(globals), chunk_(chunk), files_(files), runtime_(runtime) {}

  void CompileProgram(const ast::Program& tree);
  // An expression in the scope of a running procedure (or the top level, when null).
  Expr CompileExpressionIn(const ast::Expr& tree, const Procedure* procedure,
                           const ClassDef* owner);
  void RunningIn(const Procedure* procedure, const ClassDef* owner);

 private:
  // What a name stands for where it is used.
  struct Resolved {
    enum class Kind : uint8_t {
      kNone, kLocal, kResult, kField, kGlobal, kConstant, kProcedure, kMeMethod, kClass,
      kIntrinsic, kBuiltin,
    } kind = Kind::kNone;
    uint32_t slot = kNoSlot;
    Variant value;
    const Procedure* procedure = nullptr;
    const ClassDef* class_def = nullptr;
    const Builtin* builtin = nullptr;
  };
  enum class Use : uint8_t { kRead, kLet, kSet };

  struct Context {
    Procedure* procedure = nullptr;        // the procedure being compiled: its locals grow
    const Procedure* running = nullptr;    // run-time code: the running procedure
    const ClassDef* owner = nullptr;
    int do_loops = 0;
    int for_loops = 0;
  };

  // compiler.cpp: declarations, procedures, classes, names.
  void DeclareGlobals(const ast::Block& block);
  void DeclareConst(const ast::Stmt& stmt, std::unordered_map<std::string, Variant>* into);
  void DeclareGlobal(const std::string& name, GlobalEntry entry, const ast::Location& where);
  std::unique_ptr<Procedure> DeclareProcedure(const ast::Procedure& tree, const ClassDef* owner);
  void CompileProcedure(const ast::Procedure& tree, Procedure& procedure);
  void DeclareLocals(const ast::Block& block, Procedure& procedure);
  ClassDef* DeclareClass(const ast::Class& tree);
  void CompileClass(const ast::Class& tree, ClassDef& def);
  Resolved Resolve(const std::string& folded, Use use, bool with_args);
  const Procedure* FindMethod(const ClassDef& def, const std::string& folded, Use use) const;
  Resolved MakeVariable(const std::string& name);  // made by use: a local, or a page variable
  Variant ConstantValue(const ast::Expr& tree);
  [[noreturn]] void Fail(int32_t number, const ast::Location& where) const;

  // compiler_expressions.cpp
  Expr CompileExpr(const ast::Expr& tree);
  Expr CompileName(const ast::Expr& tree, Use use, bool statement);
  Expr CompileCall(const ast::Expr& tree, Use use);
  Expr CompileMember(const ast::Expr& tree);
  Expr CompileTarget(const ast::Expr& tree, Use use);
  bool IsMidStatement(const ast::Expr& target);
  void CompileArgs(const ast::Expr& tree, size_t first, Expr& into);
  Expr Variable(const Resolved& resolved, const ast::Expr& tree);
  // True for a local of the current procedure that was made by use, not declared.
  bool IsUndeclaredLocal(const std::string& folded) const;

  // compiler_statements.cpp
  Block CompileBlock(const ast::Block& block);
  void CompileStatement(const ast::Stmt& stmt, Block& out);
  void CompileDim(const ast::Stmt& stmt, Block& out);
  void CompileCallStatement(const ast::Stmt& stmt, Block& out);
  void CompileSelect(const ast::Stmt& stmt, Stmt& out);
  void CompileExit(const ast::Stmt& stmt, Stmt& out);

  GlobalTable& globals_;
  Chunk& chunk_;
  const std::vector<std::string>& files_;
  bool runtime_;
  bool option_explicit_ = false;
  Context context_;
};

// Where for a syntax-tree location.
inline Where WhereOf(const ast::Location& location) {
  return Where{location.file, location.line, location.column};
}

}  // namespace mirelda::script::vbscript
