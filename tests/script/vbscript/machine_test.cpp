// The machine over compiled programs built by hand: output and coercion, ByRef and ByVal, errors
// across procedures, class instances and the order of Class_Terminate. Loops, Select Case,
// Response.End and the limits run through page text in the language tests.
#include <gtest/gtest.h>

#include "script/vbscript/program_builder.h"

namespace mirelda::script::vbscript::testing {
namespace {

Expr N(int16_t v) { return Const(Variant(v)); }
Expr S(const char* v) { return Const(Variant(v)); }

Expr Cat(Expr a, Expr b) { return Bin(Binary::kConcat, std::move(a), std::move(b)); }

using Outcome = host::PageRun::Outcome;

// The output of a page that writes one expression.
std::string Written(Expr e) {
  ProgramBuilder p;
  p.program->main.body.push_back(Write(std::move(e)));
  RunResult r = RunProgram(p.program);
  EXPECT_EQ(r.run.outcome, Outcome::kCompleted) << r.run.number << " " << r.run.description;
  return r.output;
}

TEST(VbsMachine, WritesValuesInTheirTextForms) {
  struct Case {
    const char* what;
    Expr expr;
    std::string output;
  };
  std::vector<Case> cases;
  cases.push_back({"integer plus double", Bin(Binary::kAdd, N(1), Const(Variant(2.5))), "3.5"});
  cases.push_back({"null writes nothing", Const(Variant::Null()), ""});
  cases.push_back({"booleans", Cmp(CompareOp::kEq, Const(Variant(true)), N(-1)), "True"});
  cases.push_back({"null joined", Cat(S("a"), Const(Variant::Null())), "a"});
  cases.push_back({"15 digits", Bin(Binary::kDivide, N(1), N(3)), "0.333333333333333"});
  cases.push_back({"literal text read as a number",
                   Cmp(CompareOp::kEq, N(5), S("5"), LiteralSide::kRight), "True"});
  cases.push_back({"len counts UTF-16 units", Builtin("Len", {S("h😀")}), "3"});
  cases.push_back({"mid takes a pair whole", Builtin("Mid", {S("a😀b"), N(2), N(2)}), "😀"});
  cases.push_back({"left cuts a pair", Builtin("Left", {S("😀"), N(1)}), "\xEF\xBF\xBD"});
  cases.push_back({"instr after a pair", Builtin("InStr", {S("😀x"), S("x")}), "3"});
  cases.push_back(
      {"constants", Builtin("Len", {Const(FindBuiltinConstant("vbCrLf")->value())}), "2"});
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Written(std::move(c.expr)), c.output);
  }
}

TEST(VbsMachine, ByRefWritesBackAndByValCopies) {
  ProgramBuilder p;
  uint32_t x = p.Variable("x"), y = p.Variable("y"), arr = p.Variable("arr");
  Procedure* bump = p.Sub("Bump", {{"a", true}, {"b", false}});
  bump->body.push_back(Let(Local(0), Bin(Binary::kAdd, Local(0), N(1))));
  bump->body.push_back(Let(Local(1), Bin(Binary::kAdd, Local(1), N(1))));
  Block& top = p.program->main.body;
  top.push_back(Let(Global(x), N(1)));
  top.push_back(Let(Global(y), N(1)));
  top.push_back(DimArray(Global(arr), {2}));
  top.push_back(Let(Index(Global(arr), {N(1)}), N(5)));
  top.push_back(Do(Call(bump, {Global(x), Global(y)})));                   // x 2, y stays 1
  top.push_back(Do(Call(bump, {Paren(Global(x)), Global(y)})));            // (x) is a copy
  top.push_back(Do(Call(bump, {Index(Global(arr), {N(1)}), Global(y)})));  // element: 6
  top.push_back(Do(Call(bump, {Bin(Binary::kAdd, Global(x), N(0)), Global(y)})));
  top.push_back(
      Write(Cat(Cat(Cat(Global(x), S(",")), Cat(Global(y), S(","))), Index(Global(arr), {N(1)}))));
  RunResult r = RunProgram(p.program);
  EXPECT_EQ(r.run.outcome, Outcome::kCompleted) << r.run.description;
  EXPECT_EQ(r.output, "2,1,6");
}

TEST(VbsMachine, FunctionsReturnThroughTheirNameAndRecurse) {
  ProgramBuilder p;
  Procedure* fact = p.Sub("Fact", {{"n", true}}, 0, ProcedureKind::kFunction);
  fact->body.push_back(
      If(Cmp(CompareOp::kLe, Local(0), N(1)), Body({Let(Result(), N(1))}),
         Body({Let(Result(), Bin(Binary::kMultiply, Local(0),
                                 Call(fact, {Bin(Binary::kSubtract, Local(0), N(1))})))})));
  p.program->main.body.push_back(Write(Call(fact, {N(10)})));
  RunResult r = RunProgram(p.program);
  EXPECT_EQ(r.output, "3628800") << r.run.description;
}

TEST(VbsMachine, ErrorsReturnToTheCallersHandler) {
  ProgramBuilder p;
  uint32_t v = p.Variable("v");
  Procedure* bad = p.Sub("Bad", {});
  bad->body.push_back(Let(Global(v), Bin(Binary::kIntDivide, N(1), N(0)), 11));
  bad->body.push_back(Write(S("not here"), 12));
  Procedure* trapping = p.Sub("Trapping", {});
  trapping->body.push_back(Simple(StmtKind::kOnErrorResumeNext, 20));
  trapping->body.push_back(Do(Call(bad), 21));
  trapping->body.push_back(Write(Cat(Member(Err(), "Number", {}, 0), S("|")), 22));
  trapping->body.push_back(Do(Member(Err(), "Raise", {N(5)}, 1), 23));
  trapping->body.push_back(Write(Cat(Member(Err(), "Description", {}, 2), S("|")), 24));
  trapping->body.push_back(Write(Member(Err(), "Source", {}, 3), 25));
  p.program->main.cache_count = 4;
  p.program->main.body.push_back(Do(Call(trapping), 1));
  p.program->main.body.push_back(Do(Call(bad), 2));
  RunResult r = RunProgram(p.program);
  EXPECT_EQ(r.output, "11|Invalid procedure call or argument|Microsoft VBScript runtime error");
  EXPECT_EQ(r.run.outcome, Outcome::kFailed);
  EXPECT_EQ(r.run.number, errc::kDivisionByZero);
  EXPECT_EQ(r.run.description, "Division by zero");
  EXPECT_EQ(r.run.source, "Microsoft VBScript runtime error");
  EXPECT_EQ(r.run.where.file, "/page.asp");
  EXPECT_EQ(r.run.where.line, 11) << "the failing statement, inside the procedure";
}

TEST(VbsMachine, ClassTerminateRunsWhenTheLastReferenceGoesAndAtTheEnd) {
  ProgramBuilder p;
  ClassDef* tracker = p.Class("Tracker", {Field{"name", true, {}, false}});
  Procedure* init = p.Method(tracker, "Class_Initialize", {});
  init->body.push_back(Write(S("+")));
  tracker->initialize = init;
  Procedure* term = p.Method(tracker, "Class_Terminate", {});
  term->body.push_back(Write(Cat(S("~"), FieldOf(0))));
  tracker->terminate = term;
  ProgramBuilder::Seal(tracker);
  ClassDef* faulty = p.Class("Faulty", {});
  Procedure* boom = p.Method(faulty, "Class_Terminate", {});
  boom->body.push_back(Write(Bin(Binary::kDivide, N(1), N(0))));
  faulty->terminate = boom;
  ProgramBuilder::Seal(faulty);

  uint32_t a = p.Variable("a"), b = p.Variable("b"), c = p.Variable("c"), f = p.Variable("f");
  p.program->main.cache_count = 3;
  Block& top = p.program->main.body;
  top.push_back(SetTo(Global(f), New(faulty)));
  top.push_back(SetTo(Global(a), New(tracker)));
  top.push_back(Let(Member(Global(a), "name", {}, 0), S("a")));
  top.push_back(SetTo(Global(b), New(tracker)));
  top.push_back(Let(Member(Global(b), "name", {}, 1), S("b")));
  top.push_back(SetTo(Global(c), New(tracker)));
  top.push_back(Let(Member(Global(c), "name", {}, 2), S("c")));
  top.push_back(Write(Builtin("TypeName", {Global(b)})));
  top.push_back(SetTo(Global(a), Const(Variant::Nothing())));
  top.push_back(Write(S("|")));
  top.push_back(SetTo(Global(f), Const(Variant::Nothing())));
  top.push_back(Write(S("|")));
  RunResult r = RunProgram(p.program);
  EXPECT_EQ(r.run.outcome, Outcome::kCompleted) << r.run.description;
  // The page's variables end in the order they were declared: b, then c.
  EXPECT_EQ(r.output, "+++Tracker~a||~b~c");
}

TEST(VbsMachine, ClassInstancesAreDispatchObjects) {
  ProgramBuilder p;
  ClassDef* greeter =
      p.Class("Greeter", {Field{"greeting", true, {}, false}, Field{"secret", false, {}, false}});
  Procedure* greet = p.Method(greeter, "Greet", {{"who", true}}, ProcedureKind::kFunction);
  greet->body.push_back(Let(Result(), Cat(Cat(FieldOf(0), S(", ")), Local(0))));
  Procedure* rename = p.Method(greeter, "Rename", {{"who", true}});
  rename->body.push_back(Let(Local(0), S("changed")));
  ProgramBuilder::Seal(greeter);
  uint32_t g = p.Variable("g"), who = p.Variable("who");
  p.program->main.cache_count = 4;
  Block& top = p.program->main.body;
  top.push_back(SetTo(Global(g), New(greeter)));
  top.push_back(Let(Member(Global(g), "Greeting", {}, 0), S("Hello")));
  top.push_back(Let(Global(who), S("Ann")));
  top.push_back(Write(Member(Global(g), "greet", {Global(who)}, 1)));
  // ByRef through the member table: the method's change comes back to the variable.
  top.push_back(Do(Member(Global(g), "Rename", {Global(who)}, 2)));
  top.push_back(Write(Cat(S("|"), Global(who))));
  top.push_back(Do(Member(Global(g), "secret", {}, 3), 9));
  RunResult r = RunProgram(p.program);
  EXPECT_EQ(r.output, "Hello, Ann|changed");
  EXPECT_EQ(r.run.number, errc::kMemberNotFound) << "private fields are not members";
  EXPECT_EQ(r.run.where.line, 9);
}

}  // namespace
}  // namespace mirelda::script::vbscript::testing
