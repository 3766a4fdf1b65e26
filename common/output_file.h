// All-or-nothing output files.
//
// Every file a program writes goes first to a temporary file beside its
// destination, named after it (".seedbank.<name>.new"), and is moved into
// place only when the program commits, after all its outputs were written
// completely and flushed to disk.  A program that ends before committing
// leaves every file that existed before the run byte for byte as it was.
//
// Committing several files at once survives being killed at any moment:
// the old files are kept reachable under ".seedbank.<name>.old" (hard
// links) and a commit record ".seedbank.journal" naming every rename is
// written and flushed before the first rename, and removed after the last.
// The next program that opens an output in that directory and finds a
// record rolls the interrupted commit back, so that a run that did not end
// with status 0 did not happen, and says so through the recovery reporter.
// Temporary files and old copies left by a killed run are recognised by
// their names and removed by the next run that writes into the directory;
// a temporary file is locked while its run lives, so that a run never
// removes one that is still being written.
//
// A destination that is not a regular file (a character device such as
// /dev/null, a FIFO) cannot be replaced by renaming: it is written directly.
#pragma once
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "outcome.h"

namespace seedbank {

struct output_sink;

// One output being written.  Move-only: the open stream and the temporary
// file belong to exactly one owner.  An output that goes before it was
// committed is discarded: its stream is closed and its temporary file removed.
class output_file {
public:
    output_file();
    ~output_file();
    output_file(output_file &&other) noexcept;
    output_file &operator=(output_file &&other) noexcept;
    output_file(const output_file &) = delete;
    output_file &operator=(const output_file &) = delete;

    // The stream to write to; null once closed.
    FILE *stream() const { return stream_; }
    // The destination, as the caller named it.
    const std::string &name() const { return name_; }

private:
    friend outcome<output_file> open_output(const std::string &name);
    friend status close_output(output_file &file);
    friend status commit_outputs(std::vector<output_file> &outputs);
    void discard();

    std::string name_;
    std::string target_;     // where it is moved to (symbolic links resolved)
    std::string temp_name_;  // the temporary file; empty when written directly
    FILE *stream_ = nullptr;
    std::unique_ptr<output_sink> sink_;
    int lock_descriptor_ = -1;  // holds the temporary file's lock until the commit
    int registry_slot_ = -1;    // where an interrupt finds the temporary file
};

// Opens `name` for writing.  Fails with failure::kind::cannot_open (and the
// system's reason) when that is impossible: missing directory, a directory
// in the way, a name too long, another run writing the same file.
outcome<output_file> open_output(const std::string &name);

// Flushes, syncs and closes the stream.  A write or close error (disk full,
// file size limit) fails with the file and the reason.  The output stays
// pending until commit_outputs().
status close_output(output_file &file);

// Moves every closed output into place, all of them or none.  On failure
// the destinations are as they were before, and the outputs are discarded.
status commit_outputs(std::vector<output_file> &outputs);

// Convenience for a single output.
status commit_output(output_file &output);

// For a program's main, before it reads anything: rolls back a commit that
// a killed run left half done in the directory where `name` will be written,
// and removes what killed runs left there, so that the program reads every
// file as it was before that run.  (Opening an output does the same.)
void recover_output_directory(const std::string &name);

// For a program's main: on SIGINT, SIGTERM and SIGHUP, and on an exit that
// skips the owners' destructors (the fatal error exit), remove the
// temporary files of the outputs not yet committed.  Commits block those
// signals from their first step to the end of the process, so that a run
// interrupted by them never ends half committed.
void remove_outputs_on_interrupt();

// Where the one-line notes about rolled back commits go; none by default.
void set_recovery_reporter(void (*report)(const std::string &note));

}  // namespace seedbank
