#include "console.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace seedbank {

namespace {

std::FILE *original_standard_output = nullptr;

}  // namespace

std::string silence_progress()
{
    if (original_standard_output != nullptr)
        return "";
    std::fflush(stdout);
    const int kept = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (kept < 0)
        return std::strerror(errno);
    const int null_device = open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::FILE *stream = null_device < 0 ? nullptr : fdopen(kept, "w");
    if (stream == nullptr || dup2(null_device, STDOUT_FILENO) < 0) {
        const int error_number = errno;
        if (stream != nullptr)
            std::fclose(stream);
        else
            close(kept);
        if (null_device >= 0)
            close(null_device);
        return std::strerror(error_number);
    }
    close(null_device);
    // Each message reaches a pipe when it is printed, like the progress.
    std::setvbuf(stream, nullptr, _IOLBF, 0);
    original_standard_output = stream;
    return "";
}

std::FILE *failure_message_stream()
{
    return original_standard_output != nullptr ? original_standard_output : stdout;
}

}  // namespace seedbank
