// A crash for tests of the installation: with MIRELDA_EXIT_AT_STEP_POINT=N in the environment the
// process ends at once, unclean as if killed, at the Nth point of the dictionary steps it runs. A
// point follows each statement a step writes, the creation of a step's table, and each step's
// commit. Without the variable (or with a value that is not a positive number) nothing happens.
#pragma once

namespace mirelda::dictionary {

void ExitAtStepPoint();

}  // namespace mirelda::dictionary
