// The edge between the library and a program: where failures are printed
// and the exit status is chosen.  Only a program's main calls these.
#pragma once
#include "outcome.h"

namespace seedbank {

// Sets a program up: the temporary files of outputs not yet committed are
// removed when the run is interrupted, and a commit that an earlier, killed
// run left half done is reported in one line on standard error when it is
// rolled back.
void start_program();

// Prints `error` the way every program reports a failure and returns the
// exit status 1.  A file that could not be opened at all is reported with
// "Can't open output file <file>" on standard output, for files to read as
// well; every failure then names the program, the file and the reason on
// standard error.
[[nodiscard]] int report_failure(const failure &error);

}  // namespace seedbank
