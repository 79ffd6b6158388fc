// The machine over compiled programs built by hand: output and coercion, ByRef and ByVal, errors
// across procedures, Response.End, class instances and the order of Class_Terminate, loops and
// Select Case, and the limits (stack depth, time, memory).
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
  cases.push_back({"len counts UTF-16 units", Builtin("Len", {S("h\xF0\x9F\x98\x80")}), "3"});
  cases.push_back({"mid takes a pair whole",
                   Builtin("Mid", {S("a\xF0\x9F\x98\x80" "b"), N(2), N(2)}), "\xF0\x9F\x98\x80"});
  cases.push_back({"left cuts a pair", Builtin("Left", {S("\xF0\x9F\x98\x80"), N(1)}),
                   "\xEF\xBF\xBD"});
  cases.push_back({"instr after a pair", Builtin("InStr", {S("\xF0\x9F\x98\x80x"), S("x")}), "3"});
  cases.push_back({"constants", Builtin("Len", {Const(FindBuiltinConstant("vbCrLf")->value())}),
                   "2"});
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
  top.push_back(Do(Call(bump, {Global(x), Global(y)})));            // x 2, y stays 1
  top.push_back(Do(Call(bump, {Paren(Global(x)), Global(y)})));     // (x) is a copy
  top.push_back(Do(Call(bump, {Index(Global(arr), {N(1)}), Global(y)})));  // element: 6
  top.push_back(Do(Call(bump, {Bin(Binary::kAdd, Global(x), N(0)), Global(y)})));
  top.push_back(Write(Cat(Cat(Cat(Global(x), S(",")), Cat(Global(y), S(","))),
                          Index(Global(arr), {N(1)}))));
  RunResult r = RunProgram(p.program);
  EXPECT_EQ(r.run.outcome, Outcome::kCompleted) << r.run.description;
  EXPECT_EQ(r.output, "2,1,6");
}

TEST(VbsMachine, FunctionsReturnThroughTheirNameAndRecurse) {
  ProgramBuilder p;
  Procedure* fact = p.Sub("Fact", {{"n", true}}, 0, ProcedureKind::kFunction);
  fact->body.push_back(If(Cmp(CompareOp::kLe, Local(0), N(1)), Body({Let(Result(), N(1))}),
                          Body({Let(Result(), Bin(Binary::kMultiply, Local(0),
                                                  Call(fact, {Bin(Binary::kSubtract, Local(0),
                                                                  N(1))})))})));
  p.program->main.body.push_back(Write(Call(fact, {N(10)})));
  RunResult r = RunProgram(p.program);
  EXPECT_EQ(r.output, "3628800") << r.run.description;
  EXPECT_EQ(TypeName(Variant(int32_t{3628800})), "Long");
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
  EXPECT_EQ(r.output,
            "11|Invalid procedure call or argument|Microsoft VBScript runtime error");
  EXPECT_EQ(r.run.outcome, Outcome::kFailed);
  EXPECT_EQ(r.run.number, errc::kDivisionByZero);
  EXPECT_EQ(r.run.description, "Division by zero");
  EXPECT_EQ(r.run.source, "Microsoft VBScript runtime error");
  EXPECT_EQ(r.run.where.file, "/page.asp");
  EXPECT_EQ(r.run.where.line, 11) << "the failing statement, inside the procedure";
}

TEST(VbsMachine, RaisedErrorsKeepTheirNumberSourceAndText) {
  ProgramBuilder p;
  int32_t number = -2147221504 + 9;
  p.program->main.cache_count = 1;
  p.program->main.body.push_back(Do(Member(Err(), "Raise", {Const(Variant(number)),
                                                            S("Shop.Cart"), S("Cart is full")},
                                           0),
                                    3));
  RunResult r = RunProgram(p.program);
  EXPECT_EQ(r.run.outcome, Outcome::kFailed);
  EXPECT_EQ(r.run.number, number);
  EXPECT_EQ(r.run.source, "Shop.Cart");
  EXPECT_EQ(r.run.description, "Cart is full");
  EXPECT_EQ(r.run.where.line, 3);
}

TEST(VbsMachine, ResponseEndIsNoErrorToResumeNext) {
  ProgramBuilder p;
  p.program->main.cache_count = 2;
  Block& top = p.program->main.body;
  top.push_back(Simple(StmtKind::kOnErrorResumeNext));
  top.push_back(Do(Member(Response(), "Write", {S("before")}, 0)));
  top.push_back(Do(Member(Response(), "End", {}, 1)));
  top.push_back(Write(S("after")));
  RunResult r = RunProgram(p.program);
  EXPECT_EQ(r.run.outcome, Outcome::kEnded);
  EXPECT_EQ(r.output, "before");
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
  ClassDef* greeter = p.Class("Greeter", {Field{"greeting", true, {}, false},
                                          Field{"secret", false, {}, false}});
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

TEST(VbsMachine, LoopsVisitInTheLanguagesOrder) {
  ProgramBuilder p;
  uint32_t i = p.Variable("i"), n = p.Variable("n"), grid = p.Variable("grid"),
           cell = p.Variable("cell");
  Block& top = p.program->main.body;
  top.push_back(Let(Global(n), N(3)));
  // The bounds are taken once: changing n inside does not change the loop.
  top.push_back(For(Global(i), N(1), Global(n), Body({Write(Global(i)), Let(Global(n), N(9))})));
  Stmt down = For(Global(i), N(3), N(1), Body({Write(Global(i))}));
  down.exprs.push_back(N(-1));
  top.push_back(std::move(down));
  top.push_back(Write(Cat(S("|"), Global(i))));
  top.push_back(DimArray(Global(grid), {1, 1}));
  for (int16_t r = 0; r < 2; ++r) {
    for (int16_t c = 0; c < 2; ++c) {
      top.push_back(Let(Index(Global(grid), {N(r), N(c)}),
                        Cat(Const(Variant(r)), Const(Variant(c)))));
    }
  }
  Stmt each = Simple(StmtKind::kForEach);
  each.exprs.push_back(Global(cell));
  each.exprs.push_back(Global(grid));
  each.blocks.push_back(Body({Write(Cat(S(" "), Global(cell)))}));
  top.push_back(std::move(each));
  // Do Until before the body, with Exit Do.
  top.push_back(Let(Global(i), N(0)));
  top.push_back(Loop(LoopTest::kUntilBefore, Cmp(CompareOp::kGe, Global(i), N(5)),
                     Body({Let(Global(i), Bin(Binary::kAdd, Global(i), N(1))),
                           If(Cmp(CompareOp::kEq, Global(i), N(3)),
                              Body({[] {
                                Stmt s = Simple(StmtKind::kExit);
                                s.sub = static_cast<uint8_t>(ExitKind::kDo);
                                return s;
                              }()}))})));
  top.push_back(Write(Cat(S(" "), Global(i))));
  RunResult r = RunProgram(p.program);
  EXPECT_EQ(r.run.outcome, Outcome::kCompleted) << r.run.description;
  // For Each over two dimensions goes down the first index first.
  EXPECT_EQ(r.output, "123321|0 00 10 01 11 3");
}

// Case values are literals: beside a text subject they compare as text.
TEST(VbsMachine, SelectCaseComparesAsEquals) {
  struct Case {
    Variant subject;
    const char* output;
  };
  const std::vector<Case> cases = {
      {Variant(int16_t{2}), "list"},  {Variant(int16_t{7}), "range"},
      {Variant(int16_t{12}), "is"},   {Variant(int16_t{-4}), "else"},
      {Variant("2"), "list"},         {Variant(6.5), "range"},
  };
  for (const Case& c : cases) {
    ProgramBuilder p;
    Stmt select = Simple(StmtKind::kSelect);
    select.exprs.push_back(Const(c.subject));
    CaseClause list;
    list.items.push_back(CaseItem{CaseItem::Kind::kValue, CompareOp::kEq, LiteralSide::kRight,
                                  N(1), {}});
    list.items.push_back(CaseItem{CaseItem::Kind::kValue, CompareOp::kEq, LiteralSide::kRight,
                                  N(2), {}});
    list.body.push_back(Write(S("list")));
    CaseClause range;
    range.items.push_back(
        CaseItem{CaseItem::Kind::kRange, CompareOp::kEq, LiteralSide::kRight, N(5), N(8)});
    range.body.push_back(Write(S("range")));
    CaseClause is;
    is.items.push_back(CaseItem{CaseItem::Kind::kIs, CompareOp::kGt, LiteralSide::kRight, N(10),
                                {}});
    is.body.push_back(Write(S("is")));
    CaseClause otherwise;
    otherwise.body.push_back(Write(S("else")));
    select.cases.push_back(std::move(list));
    select.cases.push_back(std::move(range));
    select.cases.push_back(std::move(is));
    select.cases.push_back(std::move(otherwise));
    p.program->main.body.push_back(std::move(select));
    RunResult r = RunProgram(p.program);
    EXPECT_EQ(r.output, c.output) << c.subject.ToText() << " " << r.run.description;
  }
}

TEST(VbsMachine, LimitsEndThePageWithAnError) {
  {
    ProgramBuilder p;
    Procedure* deep = p.Sub("Deep", {});
    deep->body.push_back(Do(Call(deep), 4));
    p.program->main.body.push_back(Do(Call(deep), 1));
    RunResult r = RunProgram(p.program);
    EXPECT_EQ(r.run.outcome, Outcome::kFailed);
    EXPECT_EQ(r.run.number, errc::kOutOfStack);
    EXPECT_EQ(r.run.description, "Out of stack space");
  }
  {
    ProgramBuilder p;
    p.program->main.body.push_back(Simple(StmtKind::kOnErrorResumeNext));
    p.program->main.body.push_back(
        Loop(LoopTest::kWhileBefore, Const(Variant(true)), Body({}), 2));
    RunResult r = RunProgram(p.program, RunOptions{std::chrono::milliseconds(200)});
    EXPECT_EQ(r.run.outcome, Outcome::kFailed) << "Resume Next does not stop the time limit";
    EXPECT_NE(r.run.description.find("time limit"), std::string::npos) << r.run.description;
  }
  {
    ProgramBuilder p;
    uint32_t s = p.Variable("s"), i = p.Variable("i");
    p.program->main.body.push_back(Let(Global(s), S("xxxxxxxx")));
    p.program->main.body.push_back(
        For(Global(i), N(1), N(40), Body({Append(Global(s), Global(s), 3)})));
    RunResult r = RunProgram(p.program, RunOptions{std::chrono::milliseconds(10000), 1 << 20});
    EXPECT_EQ(r.run.number, errc::kOutOfMemory);
    EXPECT_EQ(r.run.where.line, 3);
  }
  {
    ProgramBuilder p;
    uint32_t a = p.Variable("a");
    p.program->main.body.push_back(DimArray(Global(a), {30000, 30000}, StmtKind::kReDim));
    RunResult r = RunProgram(p.program, RunOptions{std::chrono::milliseconds(10000), 1 << 20});
    EXPECT_EQ(r.run.number, errc::kOutOfMemory);
  }
  {
    ProgramBuilder p;
    Expr undeclared;
    undeclared.kind = ExprKind::kDynamic;
    undeclared.name = "nosuch";
    p.program->main.body.push_back(Write(std::move(undeclared), 5));
    RunResult r = RunProgram(p.program);
    EXPECT_EQ(r.run.number, errc::kVariableUndefined);
    EXPECT_EQ(r.run.where.line, 5);
  }
}

}  // namespace
}  // namespace mirelda::script::vbscript::testing
