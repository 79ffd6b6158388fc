#include "script/vbscript/engine.h"

#include <vector>

#include "script/vbscript/compiler.h"
#include "script/vbscript/machine.h"
#include "script/vbscript/page_check.h"
#include "script/vbscript/parser.h"

namespace mirelda::script::vbscript {
namespace {

// Execute, ExecuteGlobal and Eval text of a page's runs, parsed and compiled like the page.
class PageCompiler final : public RuntimeCompiler {
 public:
  explicit PageCompiler(std::vector<std::string> files) : files_(std::move(files)) {}

  std::shared_ptr<Chunk> CompileStatements(std::string_view code,
                                           const RuntimeScope& scope) const override {
    ast::Program tree = ParseCode(code, files_);
    return CompileChunk(tree, scope);
  }
  std::shared_ptr<Chunk> CompileExpression(std::string_view code,
                                           const RuntimeScope& scope) const override {
    std::unique_ptr<ast::Expr> tree = ParseEval(code, files_);
    return CompileEval(*tree, scope);
  }

 private:
  std::vector<std::string> files_;
};

class CompiledPage final : public host::CompiledScript {
 public:
  explicit CompiledPage(std::shared_ptr<const Program> program) : program(std::move(program)) {}
  std::shared_ptr<const Program> program;
};

// The page's VBScript when another language runs the page: one machine for the whole page,
// whose globals the other language reaches.
class Session final : public host::ScriptSession, public host::PageGlobals {
 public:
  Session(std::shared_ptr<const Program> program, const host::PageRunInput& input)
      : machine_(std::make_shared<Machine>(std::move(program), input)),
        outcome_(machine_->Begin()) {}
  ~Session() override { machine_->End(); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const host::PageRun& outcome() const override { return outcome_; }
  host::PageGlobals& globals() override { return *this; }
  void Reach(host::PageGlobals* primary) override { machine_->Reach(primary); }

  Kind Find(std::string_view name) override { return machine_->FindOwn(name); }
  std::vector<std::pair<std::string, Kind>> Names() override { return machine_->OwnNames(); }
  Variant Get(std::string_view name) override { return machine_->GetOwn(name); }
  void Put(std::string_view name, const Variant& value) override { machine_->PutOwn(name, value); }
  Variant Call(std::string_view name, std::vector<Variant>& args) override {
    return machine_->CallOwn(name, args);
  }

 private:
  std::shared_ptr<Machine> machine_;
  host::PageRun outcome_;
};

// Every run gets a machine of its own, so a page that runs another page on this runner
// (Server.Execute) simply nests.
class Runner final : public host::ScriptRunner {
 public:
  host::PageRun Run(const host::CompiledScript& script, const host::PageRunInput& input) override {
    return RunPage(script, "", input);
  }
  host::PageRun RunProcedure(const host::CompiledScript& script, std::string_view procedure,
                             const host::PageRunInput& input) override {
    return RunPage(script, procedure, input);
  }
  std::unique_ptr<host::ScriptSession> Begin(const host::CompiledScript& script,
                                             const host::PageRunInput& input) override {
    return std::make_unique<Session>(static_cast<const CompiledPage&>(script).program, input);
  }

 private:
  static host::PageRun RunPage(const host::CompiledScript& script, std::string_view procedure,
                               const host::PageRunInput& input) {
    const auto& page = static_cast<const CompiledPage&>(script);
    auto machine = std::make_shared<Machine>(page.program, input);
    return machine->Run(procedure);
  }
};

class Engine final : public host::ScriptEngine {
 public:
  std::string_view name() const override { return "vbscript"; }

  std::shared_ptr<const host::CompiledScript> Compile(
      const host::PageSource& source) const override {
    return std::make_shared<CompiledPage>(std::make_shared<const Program>(Build(source)));
  }

  std::vector<host::PageFinding> Check(const host::PageSource& source,
                                       const std::vector<std::string>& known) const override {
    return FindUndefinedNames(Build(source), known);
  }

  // Without literal text, the page's VBScript is compiled as any page's is.
  std::shared_ptr<const host::CompiledScript> CompileSecondary(
      const host::PageSource& source) const override {
    return Compile(source);
  }

  std::unique_ptr<host::ScriptRunner> NewRunner() const override {
    return std::make_unique<Runner>();
  }

 private:
  Program Build(const host::PageSource& source) const {
    std::vector<std::string> literals;
    std::vector<Piece> pieces;
    for (const host::Segment& segment : source.segments) {
      Piece piece;
      piece.text = segment.text;
      piece.file = segment.file;
      piece.line = segment.line;
      piece.column = segment.column;
      if (segment.kind == host::SegmentKind::kLiteral) {
        piece.kind = Piece::kLiteral;
        piece.literal_index = static_cast<uint32_t>(literals.size());
        literals.push_back(segment.text);
      } else if (segment.language == name()) {
        piece.kind = segment.kind == host::SegmentKind::kExpression ? Piece::kExpression
                                                                     : Piece::kCode;
      } else {
        continue;
      }
      pieces.push_back(piece);
    }
    ast::Program tree = ParsePieces(pieces, source.files);
    Program program = vbscript::Compile(tree, source.files, std::move(literals));
    program.compiler = std::make_shared<PageCompiler>(source.files);
    return program;
  }
};

}  // namespace

std::shared_ptr<const host::ScriptEngine> MakeVBScriptEngine() {
  return std::make_shared<Engine>();
}

}  // namespace mirelda::script::vbscript
