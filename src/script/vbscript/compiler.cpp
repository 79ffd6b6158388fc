#include "script/vbscript/compiler.h"

#include "script/vbscript/builtins/text_units.h"
#include "script/vbscript/compile_errors.h"
#include "script/vbscript/objects/class_object.h"

namespace mirelda::script::vbscript {
namespace {

constexpr const char* kIntrinsicNames[kIntrinsicCount] = {
    "request", "response", "server", "session", "application", "err",
};

// Subs, Functions and Property Gets are read by the same name; Lets and Sets are assigned.
bool IsRead(ProcedureKind kind) {
  return kind != ProcedureKind::kPropertyLet && kind != ProcedureKind::kPropertySet;
}

}  // namespace

Program Compile(const ast::Program& tree, std::vector<std::string> files,
                std::vector<std::string> literals) {
  Program program;
  program.files = std::move(files);
  program.literals = std::move(literals);
  Compiler compiler(program.globals, program.main, program.files, false);
  compiler.CompileProgram(tree);
  return program;
}

std::shared_ptr<Chunk> CompileChunk(const ast::Program& tree, const RuntimeScope& scope) {
  static const std::vector<std::string> kNoFiles;
  auto chunk = std::make_shared<Chunk>();
  chunk->cache_base = scope.cache_base;
  chunk->option_explicit = scope.option_explicit;
  Compiler compiler(*scope.globals, *chunk, kNoFiles, true);
  compiler.RunningIn(scope.procedure, scope.owner);
  compiler.CompileProgram(tree);
  return chunk;
}

std::shared_ptr<Chunk> CompileEval(const ast::Expr& tree, const RuntimeScope& scope) {
  static const std::vector<std::string> kNoFiles;
  auto chunk = std::make_shared<Chunk>();
  chunk->cache_base = scope.cache_base;
  chunk->option_explicit = scope.option_explicit;
  Compiler compiler(*scope.globals, *chunk, kNoFiles, true);
  chunk->expression = compiler.CompileExpressionIn(tree, scope.procedure, scope.owner);
  return chunk;
}

void Compiler::RunningIn(const Procedure* procedure, const ClassDef* owner) {
  context_.running = procedure;
  context_.owner = owner;
}

Expr Compiler::CompileExpressionIn(const ast::Expr& tree, const Procedure* procedure,
                                   const ClassDef* owner) {
  option_explicit_ = chunk_.option_explicit;
  RunningIn(procedure, owner);
  return CompileExpr(tree);
}

void Compiler::CompileProgram(const ast::Program& tree) {
  option_explicit_ = chunk_.option_explicit || tree.option_explicit;
  chunk_.option_explicit = option_explicit_;
  if (!runtime_) {
    for (uint32_t i = 0; i < kIntrinsicCount; ++i) {
      GlobalEntry entry;
      entry.kind = GlobalEntry::Kind::kIntrinsic;
      entry.slot = i;
      globals_.names.emplace(kIntrinsicNames[i], std::move(entry));
    }
  }
  // Every class, procedure, page variable and constant is known before any code is compiled,
  // so code may use what the page declares further down.
  std::vector<ClassDef*> classes;
  for (const ast::Class& def : tree.classes) classes.push_back(DeclareClass(def));
  std::vector<Procedure*> procedures;
  for (const ast::Procedure& tree_procedure : tree.procedures) {
    std::unique_ptr<Procedure> procedure = DeclareProcedure(tree_procedure, nullptr);
    GlobalEntry entry;
    entry.kind = GlobalEntry::Kind::kProcedure;
    entry.procedure = procedure.get();
    procedures.push_back(procedure.get());
    chunk_.procedures.push_back(std::move(procedure));
    DeclareGlobal(tree_procedure.name, std::move(entry), tree_procedure.where);
  }
  Context top = context_;
  DeclareGlobals(tree.body);
  chunk_.body = CompileBlock(tree.body);
  for (size_t i = 0; i < classes.size(); ++i) CompileClass(tree.classes[i], *classes[i]);
  for (size_t i = 0; i < procedures.size(); ++i) {
    CompileProcedure(tree.procedures[i], *procedures[i]);
  }
  context_ = top;
}

void Compiler::DeclareGlobals(const ast::Block& block) {
  for (const ast::Stmt& stmt : block) {
    if (stmt.kind == ast::StmtKind::kDim) {
      for (const ast::Decl& decl : stmt.decls) {
        auto it = globals_.names.find(FoldCase(decl.name));
        if (it != globals_.names.end() && it->second.kind == GlobalEntry::Kind::kVariable &&
            (runtime_ || !it->second.declared)) {
          it->second.declared = true;
          continue;
        }
        GlobalEntry entry;
        entry.slot = static_cast<uint32_t>(globals_.variable_names.size());
        DeclareGlobal(decl.name, std::move(entry), decl.where);
        globals_.variable_names.push_back(decl.name);
      }
    } else if (stmt.kind == ast::StmtKind::kConst) {
      DeclareConst(stmt, nullptr);
    }
    for (const ast::Block& inner : stmt.blocks) DeclareGlobals(inner);
    for (const ast::CaseClause& clause : stmt.cases) DeclareGlobals(clause.body);
  }
}

void Compiler::DeclareConst(const ast::Stmt& stmt, std::unordered_map<std::string, Variant>* into) {
  for (size_t i = 0; i < stmt.decls.size(); ++i) {
    const ast::Decl& decl = stmt.decls[i];
    Variant value = ConstantValue(stmt.exprs[i]);
    if (into) {
      if (!into->emplace(FoldCase(decl.name), std::move(value)).second) Fail(1041, decl.where);
      continue;
    }
    GlobalEntry entry;
    entry.kind = GlobalEntry::Kind::kConstant;
    entry.value = std::move(value);
    entry.spelling = decl.name;
    DeclareGlobal(decl.name, std::move(entry), decl.where);
  }
}

void Compiler::DeclareGlobal(const std::string& name, GlobalEntry entry,
                             const ast::Location& where) {
  std::string folded = FoldCase(name);
  auto it = globals_.names.find(folded);
  if (it != globals_.names.end()) {
    // Run-time code may define a name again; the page itself may not, except over the names
    // of the page's own objects.
    if (!runtime_ && it->second.kind != GlobalEntry::Kind::kIntrinsic) Fail(1041, where);
    if (it->second.kind == GlobalEntry::Kind::kVariable &&
        entry.kind == GlobalEntry::Kind::kVariable) {
      return;
    }
    it->second = std::move(entry);
    return;
  }
  globals_.names.emplace(std::move(folded), std::move(entry));
}

std::unique_ptr<Procedure> Compiler::DeclareProcedure(const ast::Procedure& tree,
                                                      const ClassDef* owner) {
  auto procedure = std::make_unique<Procedure>();
  procedure->name = tree.name;
  procedure->kind = static_cast<ProcedureKind>(tree.kind);
  procedure->is_public = tree.is_public;
  procedure->is_default = tree.is_default;
  procedure->owner = owner;
  procedure->where = WhereOf(tree.where);
  for (const ast::Parameter& param : tree.params) {
    auto slot = static_cast<uint32_t>(procedure->params.size());
    if (!procedure->locals.emplace(FoldCase(param.name), slot).second) Fail(1041, param.where);
    procedure->params.push_back(Parameter{param.name, param.by_ref});
  }
  procedure->local_count = static_cast<uint32_t>(procedure->params.size());
  return procedure;
}

void Compiler::CompileProcedure(const ast::Procedure& tree, Procedure& procedure) {
  Context saved = context_;
  context_ = Context{};
  context_.procedure = &procedure;
  context_.owner = procedure.owner;
  DeclareLocals(tree.body, procedure);
  procedure.body = CompileBlock(tree.body);
  context_ = saved;
}

void Compiler::DeclareLocals(const ast::Block& block, Procedure& procedure) {
  for (const ast::Stmt& stmt : block) {
    if (stmt.kind == ast::StmtKind::kDim) {
      for (const ast::Decl& decl : stmt.decls) {
        if (!procedure.locals.emplace(FoldCase(decl.name), procedure.local_count).second) {
          Fail(1041, decl.where);
        }
        ++procedure.local_count;
      }
    } else if (stmt.kind == ast::StmtKind::kConst) {
      DeclareConst(stmt, &procedure.constants);
    }
    for (const ast::Block& inner : stmt.blocks) DeclareLocals(inner, procedure);
    for (const ast::CaseClause& clause : stmt.cases) DeclareLocals(clause.body, procedure);
  }
}

ClassDef* Compiler::DeclareClass(const ast::Class& tree) {
  auto def = std::make_unique<ClassDef>();
  def->name = tree.name;
  for (const ast::Field& tree_field : tree.fields) {
    Field field;
    field.name = tree_field.decl.name;
    field.is_public = tree_field.is_public;
    field.dynamic_array = tree_field.decl.dynamic;
    for (const ast::Expr& bound : tree_field.decl.bounds) {
      Variant value = ConstantValue(bound);
      if (!value.is_numeric()) Fail(1026, bound.where);
      field.upper_bounds.push_back(value.ToLong());
    }
    auto index = static_cast<uint32_t>(def->fields.size());
    if (!def->field_index.emplace(FoldCase(field.name), index).second) {
      Fail(1041, tree_field.decl.where);
    }
    def->fields.push_back(std::move(field));
  }
  const Procedure* default_member = nullptr;
  for (const ast::Procedure& tree_method : tree.methods) {
    std::unique_ptr<Procedure> method = DeclareProcedure(tree_method, def.get());
    std::string folded = FoldCase(method->name);
    for (const auto& other : def->methods) {
      bool same_kind = other->kind == method->kind || (IsRead(other->kind) && IsRead(method->kind));
      if (same_kind && FoldCase(other->name) == folded) Fail(1041, tree_method.where);
    }
    if (folded == "class_initialize" || folded == "class_terminate") {
      if (!method->params.empty()) Fail(1053, tree_method.where);
      (folded == "class_initialize" ? def->initialize : def->terminate) = method.get();
    }
    if (method->is_default) {
      if (default_member && FoldCase(default_member->name) != folded) Fail(1052, tree_method.where);
      default_member = method.get();
    }
    def->method_index.emplace(folded, static_cast<uint32_t>(def->methods.size()));
    def->methods.push_back(std::move(method));
  }
  def->members = ClassInstance::BuildMembers(*def);
  ClassDef* raw = def.get();
  chunk_.classes.push_back(std::move(def));
  GlobalEntry entry;
  entry.kind = GlobalEntry::Kind::kClass;
  entry.class_def = raw;
  DeclareGlobal(tree.name, std::move(entry), tree.where);
  return raw;
}

void Compiler::CompileClass(const ast::Class& tree, ClassDef& def) {
  std::unordered_map<std::string, Variant> constants;
  for (const ast::Stmt& stmt : tree.constants) DeclareConst(stmt, &constants);
  for (size_t i = 0; i < tree.methods.size(); ++i) {
    Procedure& method = *def.methods[i];
    for (const auto& [name, value] : constants) method.constants.emplace(name, value);
    CompileProcedure(tree.methods[i], method);
  }
}

const Procedure* Compiler::FindMethod(const ClassDef& def, const std::string& folded,
                                      Use use) const {
  for (const auto& method : def.methods) {
    if (FoldCase(method->name) != folded) continue;
    switch (use) {
      case Use::kRead:
        if (IsRead(method->kind)) return method.get();
        break;
      case Use::kLet:
        if (method->kind == ProcedureKind::kPropertyLet) return method.get();
        break;
      case Use::kSet:
        if (method->kind == ProcedureKind::kPropertySet) return method.get();
        break;
    }
  }
  return nullptr;
}

Compiler::Resolved Compiler::Resolve(const std::string& folded, Use use, bool with_args) {
  Resolved r;
  const Procedure* procedure = context_.procedure ? context_.procedure : context_.running;
  if (procedure) {
    auto local = procedure->locals.find(folded);
    if (local != procedure->locals.end()) {
      r.kind = Resolved::Kind::kLocal;
      r.slot = local->second;
      return r;
    }
    bool returns = procedure->kind == ProcedureKind::kFunction ||
                   procedure->kind == ProcedureKind::kPropertyGet;
    if (returns && (!with_args || use != Use::kRead) && FoldCase(procedure->name) == folded) {
      r.kind = Resolved::Kind::kResult;
      return r;
    }
    auto constant = procedure->constants.find(folded);
    if (constant != procedure->constants.end()) {
      r.kind = Resolved::Kind::kConstant;
      r.value = constant->second;
      return r;
    }
  }
  if (const ClassDef* owner = context_.owner) {
    auto field = owner->field_index.find(folded);
    if (field != owner->field_index.end()) {
      r.kind = Resolved::Kind::kField;
      r.slot = field->second;
      return r;
    }
    if (const Procedure* method = FindMethod(*owner, folded, use)) {
      r.kind = Resolved::Kind::kMeMethod;
      r.procedure = method;
      return r;
    }
  }
  auto global = globals_.names.find(folded);
  // A global that the top-level code only used, never declared, is not yet there when a
  // procedure runs: the procedure's own use makes a local of it.
  if (global != globals_.names.end() && procedure &&
      global->second.kind == GlobalEntry::Kind::kVariable && !global->second.declared) {
    global = globals_.names.end();
  }
  if (global != globals_.names.end()) {
    const GlobalEntry& entry = global->second;
    switch (entry.kind) {
      case GlobalEntry::Kind::kVariable:
        r.kind = Resolved::Kind::kGlobal;
        r.slot = entry.slot;
        break;
      case GlobalEntry::Kind::kConstant:
        r.kind = Resolved::Kind::kConstant;
        r.value = entry.value;
        break;
      case GlobalEntry::Kind::kProcedure:
        r.kind = Resolved::Kind::kProcedure;
        r.procedure = entry.procedure;
        break;
      case GlobalEntry::Kind::kClass:
        r.kind = Resolved::Kind::kClass;
        r.class_def = entry.class_def;
        break;
      case GlobalEntry::Kind::kIntrinsic:
        r.kind = Resolved::Kind::kIntrinsic;
        r.slot = entry.slot;
        break;
    }
    return r;
  }
  if (const BuiltinConstant* constant = FindBuiltinConstant(folded)) {
    r.kind = Resolved::Kind::kConstant;
    r.value = constant->value();
    return r;
  }
  if (const Builtin* builtin = FindBuiltin(folded)) {
    r.kind = Resolved::Kind::kBuiltin;
    r.builtin = builtin;
  }
  return r;
}

bool Compiler::IsUndeclaredLocal(const std::string& folded) const {
  const Procedure* procedure = context_.procedure ? context_.procedure : context_.running;
  return procedure && procedure->undeclared.count(folded) > 0;
}

bool Compiler::MadeByUse(const std::string& folded, const Resolved& resolved) const {
  if (resolved.kind == Resolved::Kind::kLocal) return IsUndeclaredLocal(folded);
  if (resolved.kind != Resolved::Kind::kGlobal) return false;
  auto it = globals_.names.find(folded);
  return it != globals_.names.end() && !it->second.declared;
}

void Compiler::NoteUnresolved(const ast::Expr& tree, NameUse::Form form) {
  // Code compiled while the page runs is never checked.
  if (runtime_) return;
  chunk_.unresolved.push_back(NameUse{tree.name, WhereOf(tree.where), form});
}

Compiler::Resolved Compiler::MakeVariable(const std::string& name) {
  Resolved r;
  if (context_.procedure) {
    r.kind = Resolved::Kind::kLocal;
    r.slot = context_.procedure->local_count++;
    context_.procedure->locals.emplace(FoldCase(name), r.slot);
    context_.procedure->undeclared.insert(FoldCase(name));
    return r;
  }
  GlobalEntry entry;
  entry.slot = static_cast<uint32_t>(globals_.variable_names.size());
  entry.declared = false;
  globals_.variable_names.push_back(name);
  r.kind = Resolved::Kind::kGlobal;
  r.slot = entry.slot;
  globals_.names.emplace(FoldCase(name), std::move(entry));
  return r;
}

Variant Compiler::ConstantValue(const ast::Expr& tree) {
  Expr value = CompileExpr(tree);
  if (value.kind != ExprKind::kConstant) Fail(1045, tree.where);
  return value.value;
}

void Compiler::Fail(int32_t number, const ast::Location& where) const {
  CompileError(number, where, files_);
}

}  // namespace mirelda::script::vbscript
