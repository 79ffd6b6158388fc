// Builds compiled programs (program.h) by hand, as the compiler would make them from page text,
// and runs them on the machine against the in-memory test host. The machine's semantics are
// tested here without the parser: each statement carries the line it stands for.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "host/test_host/test_host.h"
#include "script/vbscript/builtins/builtins.h"
#include "script/vbscript/machine.h"
#include "script/vbscript/objects/class_object.h"
#include "script/vbscript/program.h"

namespace mirelda::script::vbscript::testing {

inline Expr Const(Variant value) {
  Expr e;
  e.kind = ExprKind::kConstant;
  e.value = std::move(value);
  return e;
}

inline Expr Slot(ExprKind kind, uint32_t slot) {
  Expr e;
  e.kind = kind;
  e.slot = slot;
  return e;
}
inline Expr Local(uint32_t slot) { return Slot(ExprKind::kLocal, slot); }
inline Expr Global(uint32_t slot) { return Slot(ExprKind::kGlobal, slot); }
inline Expr FieldOf(uint32_t slot) { return Slot(ExprKind::kField, slot); }
inline Expr Result() { return Slot(ExprKind::kResult, kNoSlot); }
inline Expr Err() { return Slot(ExprKind::kIntrinsic, static_cast<uint32_t>(Intrinsic::kErr)); }

inline Expr Bin(Binary op, Expr a, Expr b) {
  Expr e;
  e.kind = ExprKind::kBinary;
  e.op = static_cast<uint8_t>(op);
  e.children.push_back(std::move(a));
  e.children.push_back(std::move(b));
  return e;
}

inline Expr Cmp(CompareOp op, Expr a, Expr b, LiteralSide literal = LiteralSide::kNone) {
  Expr e = Bin(Binary::kAdd, std::move(a), std::move(b));
  e.kind = ExprKind::kCompare;
  e.op = static_cast<uint8_t>(op);
  e.literal = literal;
  return e;
}

inline Expr Call(const Procedure* procedure, std::vector<Expr> args = {}) {
  Expr e;
  e.kind = ExprKind::kCall;
  e.procedure = procedure;
  e.has_args = true;
  e.children = std::move(args);
  return e;
}

// A built-in by name; the test fails when there is none.
inline Expr Builtin(std::string_view name, std::vector<Expr> args = {}) {
  Expr e;
  e.kind = ExprKind::kBuiltin;
  e.builtin = FindBuiltin(name);
  EXPECT_NE(e.builtin, nullptr) << name;
  e.children = std::move(args);
  return e;
}

inline Expr Index(Expr base, std::vector<Expr> args) {
  Expr e;
  e.kind = ExprKind::kIndex;
  e.children.push_back(std::move(base));
  for (Expr& arg : args) e.children.push_back(std::move(arg));
  return e;
}

// object.name(args) with call-site cache number cache.
inline Expr Member(Expr object, std::string name, std::vector<Expr> args, uint32_t cache) {
  Expr e = Index(std::move(object), std::move(args));
  e.kind = ExprKind::kMember;
  e.name = std::move(name);
  e.slot = cache;
  return e;
}

inline Expr New(const ClassDef* def) {
  Expr e;
  e.kind = ExprKind::kNew;
  e.class_def = def;
  return e;
}

inline Expr Paren(Expr e) {
  e.parenthesised = true;
  return e;
}

inline Stmt At(Stmt s, uint32_t line) {
  s.where = Where{0, line, 1};
  return s;
}

inline Stmt Statement(StmtKind kind, std::vector<Expr> exprs, uint32_t line) {
  Stmt s;
  s.kind = kind;
  s.exprs = std::move(exprs);
  return At(std::move(s), line);
}

inline Stmt Let(Expr target, Expr value, uint32_t line = 1) {
  std::vector<Expr> exprs;
  exprs.push_back(std::move(target));
  exprs.push_back(std::move(value));
  return Statement(StmtKind::kAssign, std::move(exprs), line);
}

inline Stmt SetTo(Expr target, Expr value, uint32_t line = 1) {
  Stmt s = Let(std::move(target), std::move(value), line);
  s.kind = StmtKind::kSet;
  return s;
}

inline Stmt Do(Expr e, uint32_t line = 1) {
  std::vector<Expr> exprs;
  exprs.push_back(std::move(e));
  return Statement(StmtKind::kCall, std::move(exprs), line);
}

inline Stmt Write(Expr e, uint32_t line = 1) {
  Stmt s = Do(std::move(e), line);
  s.kind = StmtKind::kWrite;
  return s;
}

inline Stmt Simple(StmtKind kind, uint32_t line = 1) { return Statement(kind, {}, line); }

inline Stmt If(Expr condition, Block then, Block otherwise = {}, uint32_t line = 1) {
  std::vector<Expr> exprs;
  exprs.push_back(std::move(condition));
  Stmt s = Statement(StmtKind::kIf, std::move(exprs), line);
  s.blocks.push_back(std::move(then));
  if (!otherwise.empty()) s.blocks.push_back(std::move(otherwise));
  return s;
}

// Dim (or ReDim) of one variable with these upper bounds.
inline Stmt DimArray(Expr target, std::vector<int32_t> uppers, StmtKind kind = StmtKind::kDim,
                     bool preserve = false, uint32_t line = 1) {
  std::vector<Expr> exprs;
  exprs.push_back(std::move(target));
  Stmt s = Statement(kind, std::move(exprs), line);
  std::vector<Expr> bounds;
  for (int32_t upper : uppers) bounds.push_back(Const(Variant(upper)));
  s.bounds.push_back(std::move(bounds));
  s.dynamic.push_back(uppers.empty());
  s.preserve = preserve;
  return s;
}

inline Block Body(std::vector<Stmt> statements) { return statements; }

// A program under construction: global slots, procedures and classes.
struct ProgramBuilder {
  std::shared_ptr<Program> program = std::make_shared<Program>();

  ProgramBuilder() { program->files.push_back("/page.asp"); }

  uint32_t Variable(const std::string& name) {
    auto slot = static_cast<uint32_t>(program->globals.variable_names.size());
    program->globals.variable_names.push_back(name);
    GlobalEntry entry;
    entry.slot = slot;
    program->globals.names.emplace(name, entry);
    return slot;
  }

  Procedure* Sub(const std::string& name, std::vector<Parameter> params, uint32_t locals = 0,
                 ProcedureKind kind = ProcedureKind::kSub) {
    auto procedure = std::make_unique<Procedure>();
    procedure->name = name;
    procedure->kind = kind;
    procedure->params = std::move(params);
    procedure->local_count = static_cast<uint32_t>(procedure->params.size()) + locals;
    Procedure* raw = procedure.get();
    program->main.procedures.push_back(std::move(procedure));
    GlobalEntry entry;
    entry.kind = GlobalEntry::Kind::kProcedure;
    entry.procedure = raw;
    program->globals.names.emplace(name, entry);
    return raw;
  }

  ClassDef* Class(const std::string& name, std::vector<Field> fields) {
    auto def = std::make_unique<ClassDef>();
    def->name = name;
    def->fields = std::move(fields);
    for (uint32_t i = 0; i < def->fields.size(); ++i) def->field_index[def->fields[i].name] = i;
    ClassDef* raw = def.get();
    program->main.classes.push_back(std::move(def));
    return raw;
  }

  Procedure* Method(ClassDef* def, const std::string& name, std::vector<Parameter> params,
                    ProcedureKind kind = ProcedureKind::kSub, uint32_t locals = 0) {
    auto procedure = std::make_unique<Procedure>();
    procedure->name = name;
    procedure->kind = kind;
    procedure->params = std::move(params);
    procedure->local_count = static_cast<uint32_t>(procedure->params.size()) + locals;
    procedure->owner = def;
    Procedure* raw = procedure.get();
    def->method_index.emplace(name, static_cast<uint32_t>(def->methods.size()));
    def->methods.push_back(std::move(procedure));
    return raw;
  }

  // Completes a class once its methods have bodies: the member table others reach it through.
  static void Seal(ClassDef* def) { def->members = ClassInstance::BuildMembers(*def); }
};

struct RunResult {
  host::PageRun run;
  std::string output;
};

struct RunOptions {
  std::chrono::milliseconds time_limit{10000};
  size_t memory_limit = size_t{64} << 20;
};

inline RunResult RunProgram(const std::shared_ptr<Program>& program,
                            const RunOptions& options = {}) {
  host::TestHost host;
  RunResult result;
  host.NewPage("/page.asp");
  host.RunPage([&](host::TestContext& context) {
    host::PageRunInput input;
    input.context = &context;
    input.time_limit = options.time_limit;
    input.deadline = std::chrono::steady_clock::now() + options.time_limit;
    input.memory_limit = options.memory_limit;
    auto machine = std::make_shared<Machine>(program, input);
    result.run = machine->Run("");
  });
  result.output = host.response().Output();
  return result;
}

}  // namespace mirelda::script::vbscript::testing
