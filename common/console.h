// Where the programs' messages go.
//
// Progress is printed on standard output.  With -q the progress is dropped:
// standard output is pointed at /dev/null for the rest of the run, while the
// one failure message that also belongs on standard output ("Can't open
// output file NAME") keeps going to the original standard output, since it
// reports an error, not progress.
#pragma once
#include <cstdio>
#include <string>

namespace seedbank {

// Drops everything printed on standard output from here on, except what is
// printed on failure_message_stream().  Returns an empty string, or the
// reason why standard output could not be redirected (then nothing changed).
std::string silence_progress();

// The stream for failure messages that belong on standard output: standard
// output itself unless the progress was silenced.
std::FILE *failure_message_stream();

}  // namespace seedbank
