#include <gtest/gtest.h>

#include <stdexcept>

#include "mirelda/error.h"
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

TEST(ResumeNext, ErrorsCarrySignedNumbersAndStandardDescriptions) {
  Error e(errc::kUnspecified);
  EXPECT_EQ(e.number(), -2147467259);
  EXPECT_EQ(e.description(), "Unspecified error");
  EXPECT_EQ(Error(4242).description(), "Error 4242");
  EXPECT_EQ(Error(errc::kOverflow, "custom").description(), "custom");
}

}  // namespace
}  // namespace mirelda
