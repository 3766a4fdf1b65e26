// The command line shared by every program: options, help, version and the
// usage line.
//
// A program describes itself once (its synopsis, what it reads and writes,
// its options); parse_command_line() sorts the words of argv into options
// and positional arguments, and finish_early() prints what a run that stops
// before its work prints: the help, the version, or the usage after a
// mistake.
//
// Words are read like this:
//   --             ends the options; every later word is positional
//   --name         a long option; --name=VALUE or --name VALUE when it
//                  takes a value
//   -x             a short option when x names one (its value, if any, is
//                  the next word)
//   anything else  positional, so "-" and a year label such as "-1" stay
//                  arguments; only a word starting with "--" must be an
//                  option
// Options and positional arguments may come in any order.
#pragma once
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace seedbank {

struct option_description {
    char short_name;         // '\0' when the option has no short form
    std::string long_name;   // without the leading "--"
    std::string value_name;  // empty for a flag
    std::string help;        // one line for the help text
};

struct program_description {
    std::string name;
    std::string usage;        // the usage line after a mistake, "usage: winter input-label output-label\n"
    std::string synopsis;     // positional part of the help's synopsis, "input-label output-label"
    std::string description;  // what the program reads and writes, ready to print
    std::vector<option_description> options;
    std::size_t required_arguments = 0;
    std::string exit_status;  // the help's paragraph on exit status
};

// -h/--help and --version, which every program takes.
option_description help_option();
option_description version_option();
// -q/--quiet, for the programs that print progress.
option_description quiet_option();

enum class command_outcome {
    run,          // the program does its work
    help,         // print the help on standard output, exit status 0
    version,      // print the version on standard output, exit status 0
    usage_error,  // print the reason and the usage on standard error, exit status 1
};

struct command_line {
    command_outcome outcome = command_outcome::run;
    std::vector<std::string> arguments;         // the positional words, in order
    std::map<std::string, std::string> values;  // long name -> value, for options given
    std::string error;                          // why the words were refused; empty for missing arguments

    bool has(const std::string &long_name) const { return values.count(long_name) != 0; }
    // The value given for `long_name`, or `fallback` when the option is absent.
    std::string value_or(const std::string &long_name, const std::string &fallback) const;
};

// Sorts argv[1..argc-1] by `program`'s options.  Help and version win over
// every mistake on the same command line; then an unknown option or a
// missing value; then fewer positional arguments than required.
command_line parse_command_line(const program_description &program, int argc, const char *const *argv);

// "winter (seedbank) 0.1.0\n"
std::string version_text(const program_description &program);
// The full help: synopsis, description, options, exit status.
std::string help_text(const program_description &program);

// For an outcome other than run: prints what belongs to it (help or version
// on standard output, the reason and the usage line on standard error) and
// returns the exit status for main to return.
int finish_early(const program_description &program, const command_line &line);

// Silences the progress when -q/--quiet was given.  Returns false, after
// printing the reason on standard error, when that was impossible.
bool apply_quiet_option(const program_description &program, const command_line &line);

}  // namespace seedbank
