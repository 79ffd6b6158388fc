// Error numbers and their standard descriptions, and the On Error Resume Next trap.
#include "mirelda/error.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "mirelda/host.h"

namespace mirelda {
namespace {

// A trapped callee, as a probe that answers false on failure.
bool TrappedProbe(bool fail) {
  ResumeNext trap;
  trap.Step([&] {
    if (fail) throw Error(errc::kNoSuchTable, "no such table: t");
  });
  bool failed = PendingError().pending();
  ClearPendingError();
  return !failed;
}

TEST(ResumeNext, RecordsTheFailingStepAndGoesOn) {
  ClearPendingError();
  {
    ResumeNext trap;
    bool ran_second = false;
    EXPECT_FALSE(trap.Step([] { throw Error(errc::kFileNotFound); }));
    EXPECT_TRUE(trap.Step([&] { ran_second = true; }));
    EXPECT_TRUE(ran_second);
    EXPECT_EQ(PendingError().number, errc::kFileNotFound);
    EXPECT_EQ(PendingError().description, "File not found");
  }
  EXPECT_FALSE(PendingError().pending());  // the scope ends clean
}

TEST(ResumeNext, ATrappedCalleeNeitherSeesNorDisturbsItsCallersError) {
  ClearPendingError();
  ResumeNext trap;
  trap.Step([] { throw Error(errc::kLogonFailed, "password authentication failed"); });
  EXPECT_FALSE(TrappedProbe(true));
  EXPECT_TRUE(TrappedProbe(false));
  EXPECT_EQ(PendingError().number, errc::kLogonFailed);
  EXPECT_EQ(PendingError().description, "password authentication failed");
}

TEST(ResumeNext, OnlyErrorsAreTrapped) {
  ResumeNext trap;
  EXPECT_THROW(trap.Step([] { throw EndOfPage{}; }), EndOfPage);
  EXPECT_THROW(trap.Step([] { throw std::logic_error("bug"); }), std::logic_error);
  EXPECT_FALSE(PendingError().pending());
}

TEST(ErrorDescriptions, EveryLanguageNumberHasItsText) {
  const std::vector<std::pair<int32_t, std::string>> cases = {
      {errc::kOutOfMemory, "Out of memory"},
      {errc::kArrayFixed, "This array is fixed or temporarily locked"},
      {errc::kDivisionByZero, "Division by zero"},
      {errc::kOutOfStack, "Out of stack space"},
      {errc::kProcedureNotDefined, "Sub or Function not defined"},
      {errc::kForLoopNotInitialized, "For loop not initialized"},
      {errc::kObjectNotCollection, "Object not a collection"},
      {errc::kKeyAlreadyAssociated,
       "This key is already associated with an element of this collection"},
      {errc::kCannotCreateObject, "ActiveX component can't create object"},
      {errc::kVariableUndefined, "Variable is undefined"},
      {errc::kIllegalAssignment, "Illegal assignment"},
      {errc::kIllegalAssignmentTarget, "Illegal assignment"},
      {errc::kRegExpExpectedParen, "Expected ')' in regular expression"},
      {errc::kCompileOutOfMemory, "Out of memory"},
      {errc::kSyntax, "Syntax error"},
      {errc::kExpectedEndOfStatement, "Expected end of statement"},
      {errc::kExpectedWhileUntilOrEndOfStatement, "Expected 'While', 'Until' or end of statement"},
      {errc::kExpectedLetSetGet, "Expected Let or Set or Get in property declaration"},
      {errc::kTypeMismatch, "Type mismatch"},
      {errc::kUnspecified, "Unspecified error"},
      {errc::kFileNotFound, "File not found"},
      {errc::kItemNotFound,
       "Item cannot be found in the collection corresponding to the requested name or ordinal."},
      {1004, ""},
      {0, ""},
  };
  for (const auto& [number, text] : cases) EXPECT_EQ(StandardDescription(number), text) << number;
  // An error takes its number's text unless it is given its own; a number without one is named.
  EXPECT_EQ(Error(errc::kSyntax).description(), "Syntax error");
  EXPECT_EQ(Error(1004).description(), "Error 1004");
  EXPECT_EQ(Error(errc::kOverflow, "custom").description(), "custom");
  EXPECT_EQ(Error(errc::kUnspecified).number(), -2147467259);  // numbers are signed
}

}  // namespace
}  // namespace mirelda
