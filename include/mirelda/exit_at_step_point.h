// A crash for tests of the installation: with MIRELDA_EXIT_AT_STEP_POINT=N in the environment the
// process ends at once, unclean as if killed, at the Nth step point it passes. A point follows
// each statement a dictionary step writes, the creation of a step's table, each step's commit,
// and, on a connection, each statement that writes inside a transaction a page began and each
// commit of one. The count lives in the automation runtime, so the component library and the data
// access components share one numbering. Without the variable (or with a value that is not a
// positive number) nothing happens.
#pragma once

#include "mirelda/export.h"

namespace mirelda {

MIRELDA_API void ExitAtStepPoint();

}  // namespace mirelda
