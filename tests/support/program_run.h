// Running the built programs in a scratch directory and looking at what
// they left behind.
#pragma once
#include <map>
#include <string>
#include <vector>

struct program_result {
    int exit_status = -1;  // -1 when ended by a signal
    int signal = 0;
    std::string out;
    std::string err;
};

struct run_options {
    long long file_size_limit = -1;  // RLIMIT_FSIZE in bytes, SIGXFSZ ignored
};

// Runs `program` with `arguments` in `directory`, standard input empty.
program_result run_program(const std::string &program, const std::vector<std::string> &arguments,
                           const std::string &directory, run_options options = {});

// A fresh directory below the system's temporary directory, removed with
// everything in it when the object goes.
class scratch_directory {
public:
    scratch_directory();
    ~scratch_directory();
    scratch_directory(const scratch_directory &) = delete;
    scratch_directory &operator=(const scratch_directory &) = delete;
    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &content);
bool file_exists(const std::string &path);

// Every entry of `directory` (recursively) with its content; symbolic links
// as "-> target", directories as "<dir>".  Two snapshots compare equal when
// nothing was created, removed or changed.
std::map<std::string, std::string> snapshot(const std::string &directory);

// Lines of a text, without their line feeds.
std::vector<std::string> lines_of(const std::string &text);
