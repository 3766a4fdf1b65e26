// All-or-nothing output files.
//
// Every file a program writes is first written to a temporary file in the
// directory of its destination and moved into place only when the program
// commits, after all its outputs were written completely.  A program that
// ends before committing (a failure anywhere, exit from a fatal error)
// removes its temporary files, so every file that existed before the run is
// left byte for byte as it was and no temporary file is left behind.
//
// A destination that is not a regular file (a character device such as
// /dev/null, a FIFO) cannot be replaced by renaming: it is written directly.
#pragma once
#include <cstdio>
#include <memory>
#include <string>

namespace seedbank {

// Where a stream's bytes go: the descriptor, and the first error a write
// met, kept because the writers (the PNG encoder among them) ignore errors.
struct output_sink {
    int descriptor = -1;
    int error_number = 0;
};

struct output_file {
    std::string name;       // the destination, as the user named it
    std::string target;     // where it is moved to (symbolic links resolved)
    std::string temp_name;  // the temporary file, empty when written directly
    FILE *stream = nullptr;
    std::shared_ptr<output_sink> sink;
};

// Opens `name` for writing.  When that is impossible (missing directory,
// a directory in the way, a name too long) prints "Can't open output file
// <name>" on standard output and the reason on standard error, then ends the
// run with exit status 1.
output_file open_output(const std::string &name);

// Flushes and closes the stream; a write or close error (disk full, file size
// limit) prints the file and the reason on standard error and ends the run
// with exit status 1.  The output stays pending until commit_outputs().
void close_output(output_file &file);

// Moves every closed pending output into place, in the order they were
// opened.  A failure ends the run with exit status 1 after removing the
// temporary files not yet moved.
void commit_outputs();

// Removes the temporary files of all pending outputs.  Runs automatically
// when the process exits; callers need it only to give up explicitly.
void discard_outputs();

// Prints "<program>: <file>: <reason>" on standard error and ends the run
// with exit status 1 (pending outputs are discarded on the way out).
[[noreturn]] void fail_with_file(const std::string &file, const std::string &reason);

}  // namespace seedbank
