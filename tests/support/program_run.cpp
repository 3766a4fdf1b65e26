#include "program_run.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>


namespace fs = std::filesystem;

namespace {

std::string capture_file(const char *role)
{
    std::string pattern = (fs::temp_directory_path() / (std::string("seedbank-") + role + "-XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int descriptor = mkstemp(name.data());
    if (descriptor < 0)
        throw std::runtime_error("cannot create capture file");
    close(descriptor);
    return name.data();
}

[[noreturn]] void run_child(const std::string &program, const std::vector<std::string> &arguments,
                            const std::string &directory, const run_options &options, const std::string &out_path,
                            const std::string &err_path)
{
    int null_input = open("/dev/null", O_RDONLY);
    int out = open(out_path.c_str(), O_WRONLY | O_TRUNC);
    int err = open(err_path.c_str(), O_WRONLY | O_TRUNC);
    if (null_input < 0 || out < 0 || err < 0 || chdir(directory.c_str()) != 0)
        _exit(127);
    dup2(null_input, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (options.file_size_limit >= 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {static_cast<rlim_t>(options.file_size_limit),
                               static_cast<rlim_t>(options.file_size_limit)};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

}  // namespace

program_result run_program(const std::string &program, const std::vector<std::string> &arguments,
                           const std::string &directory, run_options options)
{
    std::string out_path = capture_file("out");
    std::string err_path = capture_file("err");
    std::fflush(nullptr);
    pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0)
        run_child(program, arguments, directory, options, out_path, err_path);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    program_result result;
    if (WIFEXITED(status))
        result.exit_status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    fs::remove(out_path);
    fs::remove(err_path);
    return result;
}

scratch_directory::scratch_directory()
{
    std::string pattern = (fs::temp_directory_path() / "seedbank-test-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr)
        throw std::runtime_error("cannot create scratch directory");
    path_ = name.data();
}

scratch_directory::~scratch_directory()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void write_file(const std::string &path, const std::string &content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

bool file_exists(const std::string &path)
{
    std::error_code ignored;
    return fs::symlink_status(path, ignored).type() != fs::file_type::not_found;
}

std::map<std::string, std::string> snapshot(const std::string &directory)
{
    std::map<std::string, std::string> entries;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(directory)) {
        std::string name = entry.path().lexically_relative(directory).string();
        if (entry.is_symlink())
            entries[name] = "-> " + fs::read_symlink(entry.path()).string();
        else if (entry.is_directory())
            entries[name] = "<dir>";
        else
            entries[name] = read_file(entry.path().string());
    }
    return entries;
}

std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}
