// Shared by the hostile-input tests: the programs' documented inputs and
// outputs, and the checks that a run either completed or failed cleanly.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "program_run.h"

// The six seed maps winter reads for `label`, oldest cohort first.
std::vector<std::string> winter_inputs(const std::string &label);
// The five maps and the seedling list winter writes for `label`.
std::vector<std::string> winter_outputs(const std::string &label);

// Writes the six input maps of `label` into `directory`, each 1 x 1 and
// empty, so that a run is quick; a label with slashes gets its directories.
void write_small_winter_inputs(const std::string &directory, const std::string &label);

// The run ended with exit status 1, named `file` on standard error, and left
// the directory exactly as `before` (no output, no temporary file).
void expect_clean_failure(const program_result &result, const std::string &file,
                          const std::map<std::string, std::string> &before, const std::string &directory);

// The run ended with exit status 0, created exactly `outputs` (non-empty) in
// the directory and changed nothing else that was there before.
void expect_completed(const program_result &result, const std::vector<std::string> &outputs,
                      const std::map<std::string, std::string> &before, const std::string &directory);

// A description of a run for failure messages.
std::string describe(const program_result &result);
