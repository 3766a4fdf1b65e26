#include "program_edge.h"

#include <cerrno>
#include <cstdio>

#include "console.h"
#include "output_file.h"

namespace seedbank {

namespace {

void print_recovery_note(const std::string &note)
{
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, note.c_str());
}

}  // namespace

void start_program()
{
    remove_outputs_on_interrupt();
    set_recovery_reporter(print_recovery_note);
}

int report_failure(const failure &error)
{
    // Standard output unless -q silenced the progress: this line reports a
    // failure, so it is printed either way.
    if (error.what == failure::kind::cannot_open)
        std::fprintf(failure_message_stream(), "Can't open output file %s\n", error.file.c_str());
    std::fflush(stdout);
    std::fflush(failure_message_stream());
    if (error.what == failure::kind::argument)
        std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, error.reason.c_str());
    else
        std::fprintf(stderr, "%s: %s: %s\n", program_invocation_short_name, error.file.c_str(), error.reason.c_str());
    return 1;
}

}  // namespace seedbank
