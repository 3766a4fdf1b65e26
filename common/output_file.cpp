#include "output_file.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace seedbank {

namespace {

struct pending_output {
    std::string name;
    std::string target;
    std::string temp_name;  // empty: written directly, nothing to move
};

std::vector<pending_output> &pending()
{
    static std::vector<pending_output> outputs;
    return outputs;
}

// Temporary files die with the process unless committed, also when the run
// is interrupted: the handler removes them and lets the signal end the run.
void remove_temporaries_on_signal(int signal_number)
{
    for (const pending_output &output : pending())
        if (!output.temp_name.empty())
            unlink(output.temp_name.c_str());
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

void install_cleanup_once()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    pending();  // constructed before the exit handler is registered
    std::atexit(discard_outputs);
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal_number, remove_temporaries_on_signal);
}

[[noreturn]] void fail_to_open(const std::string &name, int error_number)
{
    std::printf("Can't open output file %s\n", name.c_str());
    std::fflush(stdout);
    fail_with_file(name, std::strerror(error_number));
}

std::string directory_of(const std::string &path)
{
    std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

mode_t default_file_mode()
{
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

std::string link_value(const std::string &path)
{
    std::vector<char> value(4096);
    ssize_t length = readlink(path.c_str(), value.data(), value.size());
    if (length <= 0 || (std::size_t)length >= value.size())
        return "";
    return std::string(value.data(), (std::size_t)length);
}

// The file a rename must replace: a symbolic link keeps pointing at the new
// content, as it would after an overwrite in place, also when its target
// does not exist yet (the output then creates it, as opening it would).
std::string resolved_target(const std::string &name)
{
    std::string path = name;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat link_status;
        if (lstat(path.c_str(), &link_status) != 0 || !S_ISLNK(link_status.st_mode))
            return path;
        if (char *resolved = realpath(path.c_str(), nullptr)) {
            std::string target(resolved);
            std::free(resolved);
            return target;
        }
        std::string value = link_value(path);
        if (value.empty())
            return path;
        path = value[0] == '/' ? value : directory_of(path) + "/" + value;
    }
    return path;
}

ssize_t write_to_sink(void *cookie, const char *bytes, size_t size)
{
    output_sink *sink = static_cast<output_sink *>(cookie);
    size_t done = 0;
    while (done < size) {
        ssize_t written = write(sink->descriptor, bytes + done, size - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (sink->error_number == 0)
                sink->error_number = written < 0 ? errno : EIO;
            return done > 0 ? (ssize_t)done : -1;
        }
        done += (size_t)written;
    }
    return (ssize_t)done;
}

int close_sink(void *cookie)
{
    output_sink *sink = static_cast<output_sink *>(cookie);
    int result = close(sink->descriptor);
    if (result != 0 && sink->error_number == 0)
        sink->error_number = errno;
    return result;
}

// A buffered stream over `descriptor` that remembers its first write error.
void attach_stream(output_file &file, int descriptor)
{
    file.sink = std::make_shared<output_sink>();
    file.sink->descriptor = descriptor;
    cookie_io_functions_t functions = {nullptr, write_to_sink, nullptr, close_sink};
    file.stream = fopencookie(file.sink.get(), "wb", functions);
    if (file.stream == nullptr) {
        int error_number = errno;
        close(descriptor);
        fail_to_open(file.name, error_number);
    }
}

}  // namespace

output_file open_output(const std::string &name)
{
    install_cleanup_once();
    output_file file;
    file.name = name;
    mode_t mode = default_file_mode();

    struct stat status;
    if (stat(name.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
            fail_to_open(name, EISDIR);
        if (!S_ISREG(status.st_mode)) {
            file.target = name;
            int descriptor = open(name.c_str(), O_WRONLY | O_TRUNC);
            if (descriptor < 0)
                fail_to_open(name, errno);
            pending().push_back({name, name, ""});
            attach_stream(file, descriptor);
            return file;
        }
        mode = status.st_mode & 07777;
    } else if (errno != ENOENT) {
        fail_to_open(name, errno);
    }
    if (name.empty())
        fail_to_open(name, ENOENT);

    file.target = resolved_target(name);
    std::string pattern = directory_of(file.target) + "/.seedbank-XXXXXX";
    std::vector<char> temp_name(pattern.begin(), pattern.end());
    temp_name.push_back('\0');
    int descriptor = mkstemp(temp_name.data());
    if (descriptor < 0)
        fail_to_open(name, errno);
    file.temp_name = temp_name.data();
    pending().push_back({name, file.target, file.temp_name});
    fchmod(descriptor, mode);
    attach_stream(file, descriptor);
    return file;
}

void close_output(output_file &file)
{
    // Flushed and on disk before it may replace anything.
    std::fflush(file.stream);
    output_sink &sink = *file.sink;
    if (sink.error_number == 0 && !file.temp_name.empty() && fsync(sink.descriptor) != 0)
        sink.error_number = errno;
    bool stream_failed = std::ferror(file.stream) != 0;
    std::fclose(file.stream);
    file.stream = nullptr;
    int error_number = sink.error_number != 0 ? sink.error_number : (stream_failed ? EIO : 0);
    if (error_number != 0)
        fail_with_file(file.name, std::string("cannot write: ") + std::strerror(error_number));
}

void commit_outputs()
{
    std::vector<pending_output> &outputs = pending();
    while (!outputs.empty()) {
        const pending_output &output = outputs.front();
        if (!output.temp_name.empty() && std::rename(output.temp_name.c_str(), output.target.c_str()) != 0) {
            fail_with_file(output.name, std::string("cannot put in place: ") + std::strerror(errno));
        }
        outputs.erase(outputs.begin());
    }
}

void discard_outputs()
{
    for (const pending_output &output : pending())
        if (!output.temp_name.empty())
            unlink(output.temp_name.c_str());
    pending().clear();
}

void fail_with_file(const std::string &file, const std::string &reason)
{
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s: %s\n", program_invocation_short_name, file.c_str(), reason.c_str());
    std::exit(1);
}

}  // namespace seedbank
