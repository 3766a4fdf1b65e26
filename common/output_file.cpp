#include "output_file.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace seedbank {

// Where a stream's bytes go: the descriptor, and the first error a write
// met, kept because the writers (the PNG encoder among them) ignore errors.
struct output_sink {
    int descriptor = -1;
    int error_number = 0;
};

namespace {

constexpr const char *temp_prefix = ".seedbank.";
constexpr const char *new_suffix = ".new";
constexpr const char *old_suffix = ".old";
constexpr const char *journal_name = ".seedbank.journal";
constexpr const char *journal_temp_name = ".seedbank.journal.new";
constexpr const char *journal_header = "seedbank commit record 1\n";

// --- Temporary files an interrupt must remove -------------------------------
//
// Kept in fixed storage, written before a slot is marked live, so that a
// signal handler can walk it at any moment: it only reads flags and paths
// and calls unlink, which is safe in a handler.

constexpr int registry_size = 64;

struct registry_slot {
    char path[PATH_MAX];
    volatile sig_atomic_t live;
};

registry_slot registry[registry_size];

int register_temporary(const std::string &path)
{
    if (path.size() >= PATH_MAX)
        return -1;
    for (int slot = 0; slot < registry_size; ++slot)
        if (registry[slot].live == 0) {
            std::memcpy(registry[slot].path, path.c_str(), path.size() + 1);
            registry[slot].live = 1;
            return slot;
        }
    return -1;  // not registered: a later run removes it instead
}

void unregister_temporary(int slot)
{
    if (slot >= 0)
        registry[slot].live = 0;
}

void remove_registered_temporaries()
{
    for (registry_slot &slot : registry)
        if (slot.live != 0) {
            unlink(slot.path);
            slot.live = 0;
        }
}

void remove_temporaries_and_resend(int signal_number)
{
    remove_registered_temporaries();
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

void block_interrupts_for_good()
{
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&signals, signal_number);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
}

void (*recovery_reporter)(const std::string &note) = nullptr;

// --- Paths ------------------------------------------------------------------

std::string directory_of(const std::string &path)
{
    std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string base_of(const std::string &path)
{
    std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The name of a helper file of `base`: ".seedbank.<base><suffix>", or, when
// that would pass the file system's name limit, a name made from a hash of
// `base`, still the same for the same output.
std::string helper_name(const std::string &base, const char *suffix)
{
    std::string name = temp_prefix + base + suffix;
    if (name.size() <= NAME_MAX)
        return name;
    unsigned long long hash = 14695981039346656037ull;  // FNV-1a
    for (unsigned char c : base)
        hash = (hash ^ c) * 1099511628211ull;
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", hash);
    return std::string(temp_prefix) + "long-" + digits + suffix;
}

bool has_suffix(const std::string &text, const std::string &suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

mode_t default_file_mode()
{
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

std::string link_value(const std::string &path)
{
    std::vector<char> value(PATH_MAX);
    ssize_t length = readlink(path.c_str(), value.data(), value.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= value.size())
        return "";
    return std::string(value.data(), static_cast<std::size_t>(length));
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

failure cannot_open(const std::string &name, const std::string &reason)
{
    return {failure::kind::cannot_open, name, reason};
}

failure failed(const std::string &name, const std::string &what, int error_number)
{
    return {failure::kind::other, name, what + std::strerror(error_number)};
}

// --- Directory locks and syncs ----------------------------------------------

// An exclusive lock on a directory, held while the object lives.  Every
// commit and every recovery of a directory holds it, so neither ever sees
// the other half done.
class directory_lock {
public:
    explicit directory_lock(const std::string &directory)
        : descriptor_(open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (descriptor_ < 0) {
            error_ = errno;
            return;
        }
        while (flock(descriptor_, LOCK_EX) != 0)
            if (errno != EINTR) {
                error_ = errno;
                break;
            }
    }
    ~directory_lock()
    {
        if (descriptor_ >= 0)
            close(descriptor_);
    }
    directory_lock(directory_lock &&other) noexcept
        : descriptor_(std::exchange(other.descriptor_, -1)), error_(other.error_)
    {
    }
    directory_lock(const directory_lock &) = delete;
    directory_lock &operator=(const directory_lock &) = delete;

    int error() const { return error_; }
    int descriptor() const { return descriptor_; }
    void sync() const
    {
        if (descriptor_ >= 0)
            fsync(descriptor_);
    }

private:
    int descriptor_;
    int error_ = 0;
};

// --- The commit record --------------------------------------------------------

struct commit_entry {
    std::string target;
    std::string temp;
    std::string backup;  // empty: there was no file to replace
};

// Each path is written as its length, a colon and its bytes, so that any
// byte a file name may hold (new lines, tabs) survives the round trip.
void append_field(std::string &text, const std::string &field)
{
    text += std::to_string(field.size()) + ":" + field + "\n";
}

std::string journal_text(const std::vector<commit_entry> &entries)
{
    std::string text = journal_header;
    text += std::to_string(entries.size()) + "\n";
    for (const commit_entry &entry : entries) {
        append_field(text, entry.target);
        append_field(text, entry.temp);
        append_field(text, entry.backup);
    }
    return text + "end\n";
}

bool read_field(const std::string &text, std::size_t &at, std::string &field)
{
    std::size_t colon = text.find(':', at);
    if (colon == std::string::npos || colon == at || colon - at > 10)
        return false;
    const unsigned long length = std::strtoul(text.substr(at, colon - at).c_str(), nullptr, 10);
    if (colon + 1 + length + 1 > text.size() || text[colon + 1 + length] != '\n')
        return false;
    field = text.substr(colon + 1, length);
    at = colon + 1 + length + 1;
    return true;
}

// The entries of a whole record; false for a record that is cut short or
// malformed (the record is renamed into place only once complete, so such a
// record was never the commit's).
bool parse_journal(const std::string &text, std::vector<commit_entry> &entries)
{
    const std::string header = journal_header;
    if (text.compare(0, header.size(), header) != 0)
        return false;
    std::size_t at = header.size();
    std::size_t line_end = text.find('\n', at);
    if (line_end == std::string::npos)
        return false;
    const unsigned long count = std::strtoul(text.substr(at, line_end - at).c_str(), nullptr, 10);
    at = line_end + 1;
    for (unsigned long i = 0; i < count && i < 4096; ++i) {
        commit_entry entry;
        if (!read_field(text, at, entry.target) || !read_field(text, at, entry.temp) ||
            !read_field(text, at, entry.backup))
            return false;
        entries.push_back(entry);
    }
    return text.compare(at, std::string::npos, "end\n") == 0;
}

bool write_all(int descriptor, const std::string &text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t written = write(descriptor, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

std::string read_small_file(const std::string &path)
{
    std::string text;
    int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (descriptor < 0)
        return text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(descriptor, buffer, sizeof buffer)) > 0 && text.size() < (std::size_t(16) << 20))
        text.append(buffer, static_cast<std::size_t>(got));
    close(descriptor);
    return text;
}

// Puts back what an interrupted commit replaced: every old file returns to
// its name, every file the commit created is removed, and so are its
// temporary files and the record.
void roll_back(const std::string &directory, const directory_lock &lock, const std::vector<commit_entry> &entries)
{
    for (const commit_entry &entry : entries) {
        if (!entry.backup.empty()) {
            if (access(entry.backup.c_str(), F_OK) == 0)
                std::rename(entry.backup.c_str(), entry.target.c_str());
        } else {
            unlink(entry.target.c_str());
        }
        unlink(entry.temp.c_str());
    }
    lock.sync();
    unlink((directory + "/" + journal_name).c_str());
    lock.sync();
}

// Left behind by a run that was killed: old copies (which matter only while
// a record names them), a record never completed, and temporary files whose
// lock nobody holds any more.  Called with the directory locked.
void sweep_leftovers(const std::string &directory, const directory_lock &lock)
{
    DIR *listing = fdopendir(dup(lock.descriptor()));
    if (listing == nullptr)
        return;
    rewinddir(listing);
    std::vector<std::string> stale;
    while (const dirent *entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.compare(0, std::strlen(temp_prefix), temp_prefix) != 0 || name == journal_name)
            continue;
        if (name == journal_temp_name || has_suffix(name, old_suffix)) {
            stale.push_back(name);
        } else if (has_suffix(name, new_suffix)) {
            int descriptor = openat(lock.descriptor(), name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
            if (descriptor < 0)
                continue;
            if (flock(descriptor, LOCK_EX | LOCK_NB) == 0)
                stale.push_back(name);
            close(descriptor);
        }
    }
    closedir(listing);
    for (const std::string &name : stale)
        unlink((directory + "/" + name).c_str());
}

// With the directory locked: rolls back an interrupted commit recorded there
// and removes what killed runs left behind.
void recover_directory(const std::string &directory, const directory_lock &lock)
{
    const std::string record = directory + "/" + journal_name;
    struct stat status;
    if (lstat(record.c_str(), &status) == 0) {
        std::vector<commit_entry> entries;
        if (parse_journal(read_small_file(record), entries)) {
            roll_back(directory, lock, entries);
            if (recovery_reporter != nullptr)
                recovery_reporter("rolled back an interrupted commit of " + std::to_string(entries.size()) +
                                  " files in " + directory + ": they are as they were before that run");
        } else {
            unlink(record.c_str());
        }
    }
    sweep_leftovers(directory, lock);
}

// --- Streams ----------------------------------------------------------------

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
            return done > 0 ? static_cast<ssize_t>(done) : -1;
        }
        done += static_cast<size_t>(written);
    }
    return static_cast<ssize_t>(done);
}

int close_sink(void *cookie)
{
    output_sink *sink = static_cast<output_sink *>(cookie);
    int result = close(sink->descriptor);
    if (result != 0 && sink->error_number == 0)
        sink->error_number = errno;
    sink->descriptor = -1;
    return result;
}

// A buffered stream over `descriptor` that remembers its first write error.
FILE *attach_stream(output_sink &sink)
{
    cookie_io_functions_t functions = {nullptr, write_to_sink, nullptr, close_sink};
    return fopencookie(&sink, "wb", functions);
}

// Creates and locks the temporary file of `target` in its directory, after
// the directory's leftovers were dealt with.  Returns its descriptor.
outcome<int> create_temporary(const std::string &name, const std::string &directory, const std::string &temp,
                              mode_t mode)
{
    directory_lock lock(directory);
    if (lock.error() != 0)
        return cannot_open(name, std::strerror(lock.error()));
    recover_directory(directory, lock);
    int descriptor = open(temp.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (descriptor < 0)
        return cannot_open(name, std::strerror(errno));
    if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        close(descriptor);
        return cannot_open(name, "another run is writing this file now");
    }
    if (ftruncate(descriptor, 0) != 0) {
        const int error_number = errno;
        close(descriptor);
        return cannot_open(name, std::strerror(error_number));
    }
    fchmod(descriptor, mode);
    return descriptor;
}

}  // namespace

output_file::output_file() = default;

output_file::~output_file()
{
    discard();
}

output_file::output_file(output_file &&other) noexcept
    : name_(std::move(other.name_)), target_(std::move(other.target_)), temp_name_(std::move(other.temp_name_)),
      stream_(std::exchange(other.stream_, nullptr)), sink_(std::move(other.sink_)),
      lock_descriptor_(std::exchange(other.lock_descriptor_, -1)),
      registry_slot_(std::exchange(other.registry_slot_, -1))
{
    other.temp_name_.clear();
}

output_file &output_file::operator=(output_file &&other) noexcept
{
    if (this != &other) {
        discard();
        name_ = std::move(other.name_);
        target_ = std::move(other.target_);
        temp_name_ = std::exchange(other.temp_name_, std::string());
        stream_ = std::exchange(other.stream_, nullptr);
        sink_ = std::move(other.sink_);
        lock_descriptor_ = std::exchange(other.lock_descriptor_, -1);
        registry_slot_ = std::exchange(other.registry_slot_, -1);
    }
    return *this;
}

void output_file::discard()
{
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (!temp_name_.empty()) {
        unlink(temp_name_.c_str());
        temp_name_.clear();
    }
    unregister_temporary(registry_slot_);
    registry_slot_ = -1;
    if (lock_descriptor_ >= 0) {
        close(lock_descriptor_);
        lock_descriptor_ = -1;
    }
}

outcome<output_file> open_output(const std::string &name)
{
    output_file file;
    file.name_ = name;
    file.sink_ = std::make_unique<output_sink>();
    mode_t mode = default_file_mode();

    struct stat status;
    if (stat(name.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
            return cannot_open(name, std::strerror(EISDIR));
        if (!S_ISREG(status.st_mode)) {
            file.target_ = name;
            file.sink_->descriptor = open(name.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            if (file.sink_->descriptor < 0)
                return cannot_open(name, std::strerror(errno));
            file.stream_ = attach_stream(*file.sink_);
            if (file.stream_ == nullptr) {
                const int error_number = errno;
                close(file.sink_->descriptor);
                return cannot_open(name, std::strerror(error_number));
            }
            return file;
        }
        mode = status.st_mode & 07777;
    } else if (errno != ENOENT) {
        return cannot_open(name, std::strerror(errno));
    }
    if (name.empty())
        return cannot_open(name, std::strerror(ENOENT));

    file.target_ = resolved_target(name);
    const std::string directory = directory_of(file.target_);
    const std::string temp = directory + "/" + helper_name(base_of(file.target_), new_suffix);
    outcome<int> descriptor = create_temporary(name, directory, temp, mode);
    if (!descriptor)
        return descriptor.error();
    file.temp_name_ = temp;
    file.registry_slot_ = register_temporary(temp);
    file.sink_->descriptor = descriptor.value();
    // The lock lives on this second descriptor until the commit, so that the
    // finished file stays marked as this run's after its stream is closed.
    file.lock_descriptor_ = dup(descriptor.value());
    file.stream_ = attach_stream(*file.sink_);
    if (file.stream_ == nullptr || file.lock_descriptor_ < 0) {
        const int error_number = errno;
        close(file.sink_->descriptor);
        return cannot_open(name, std::strerror(error_number));
    }
    return file;
}

status close_output(output_file &file)
{
    if (file.stream_ == nullptr)
        return {};
    // Flushed and on disk before it may replace anything.
    std::fflush(file.stream_);
    output_sink &sink = *file.sink_;
    if (sink.error_number == 0 && !file.temp_name_.empty() && fsync(sink.descriptor) != 0)
        sink.error_number = errno;
    const bool stream_failed = std::ferror(file.stream_) != 0;
    std::fclose(file.stream_);
    file.stream_ = nullptr;
    const int error_number = sink.error_number != 0 ? sink.error_number : (stream_failed ? EIO : 0);
    if (error_number != 0)
        return failed(file.name_, "cannot write: ", error_number);
    return {};
}

namespace {

// The temporary files of `outputs` that move into place.
std::vector<commit_entry> entries_to_commit(std::vector<output_file *> &moving,
                                            const std::vector<std::string> &targets,
                                            const std::vector<std::string> &temps)
{
    std::vector<commit_entry> entries;
    for (std::size_t i = 0; i < moving.size(); ++i) {
        const std::string directory = directory_of(targets[i]);
        entries.push_back({targets[i], temps[i], directory + "/" + helper_name(base_of(targets[i]), old_suffix)});
    }
    return entries;
}

void remove_backups(const std::vector<commit_entry> &entries)
{
    for (const commit_entry &entry : entries)
        if (!entry.backup.empty())
            unlink(entry.backup.c_str());
}

// Keeps every file about to be replaced reachable under its old copy's name.
status keep_old_files(std::vector<commit_entry> &entries, const std::vector<std::string> &names)
{
    for (std::size_t i = 0; i < entries.size(); ++i) {
        commit_entry &entry = entries[i];
        unlink(entry.backup.c_str());
        if (link(entry.target.c_str(), entry.backup.c_str()) == 0)
            continue;
        if (errno == ENOENT) {
            entry.backup.clear();
            continue;
        }
        const int error_number = errno;
        remove_backups(entries);
        return failed(names[i], "cannot keep the old file while committing: ", error_number);
    }
    return {};
}

status write_journal(const std::string &directory, const directory_lock &lock,
                     const std::vector<commit_entry> &entries, const std::string &first_name)
{
    const std::string temp = directory + "/" + journal_temp_name;
    int descriptor = open(temp.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (descriptor < 0)
        return failed(first_name, "cannot write the commit record: ", errno);
    const bool written = write_all(descriptor, journal_text(entries)) && fsync(descriptor) == 0;
    const int error_number = errno;
    close(descriptor);
    if (!written || std::rename(temp.c_str(), (directory + "/" + journal_name).c_str()) != 0) {
        unlink(temp.c_str());
        return failed(first_name, "cannot write the commit record: ", written ? errno : error_number);
    }
    lock.sync();
    return {};
}

// A single file moves into place by one rename, which is atomic by itself.
status commit_one(const std::string &target, const std::string &temp, const std::string &name)
{
    directory_lock lock(directory_of(target));
    if (std::rename(temp.c_str(), target.c_str()) != 0)
        return failed(name, "cannot put in place: ", errno);
    lock.sync();
    return {};
}

}  // namespace

status commit_outputs(std::vector<output_file> &outputs)
{
    std::vector<output_file *> moving;
    std::vector<std::string> targets, temps, names;
    for (output_file &file : outputs) {
        if (file.stream_ != nullptr)
            if (status closed = close_output(file); !closed)
                return closed;
        if (!file.temp_name_.empty()) {
            moving.push_back(&file);
            targets.push_back(file.target_);
            temps.push_back(file.temp_name_);
            names.push_back(file.name_);
        }
    }
    block_interrupts_for_good();

    status result;
    if (moving.size() == 1) {
        result = commit_one(targets[0], temps[0], names[0]);
    } else if (moving.size() > 1) {
        // Every directory involved is locked, in one order, for the whole commit.
        std::vector<std::string> directories;
        for (const std::string &target : targets)
            directories.push_back(directory_of(target));
        const std::string record_directory = directories[0];
        std::sort(directories.begin(), directories.end());
        directories.erase(std::unique(directories.begin(), directories.end()), directories.end());
        std::vector<directory_lock> locks;
        for (const std::string &directory : directories)
            locks.emplace_back(directory);
        const directory_lock &record_lock =
            locks[static_cast<std::size_t>(std::find(directories.begin(), directories.end(), record_directory) -
                                           directories.begin())];

        std::vector<commit_entry> entries = entries_to_commit(moving, targets, temps);
        result = keep_old_files(entries, names);
        if (result) {
            for (const directory_lock &lock : locks)
                lock.sync();
            result = write_journal(record_directory, record_lock, entries, names[0]);
            if (!result)
                remove_backups(entries);
        }
        if (result) {
            std::size_t moved = 0;
            for (; moved < entries.size(); ++moved)
                if (std::rename(entries[moved].temp.c_str(), entries[moved].target.c_str()) != 0) {
                    result = failed(names[moved], "cannot put in place: ", errno);
                    break;
                }
            for (const directory_lock &lock : locks)
                lock.sync();
            if (!result) {
                roll_back(record_directory, record_lock, entries);
            } else {
                // The commit point: without the record, the year stands.
                unlink((record_directory + "/" + journal_name).c_str());
                record_lock.sync();
            }
            remove_backups(entries);
        }
    }

    for (output_file *file : moving) {
        if (result)
            file->temp_name_.clear();  // moved: nothing left to remove
        file->discard();
    }
    if (!result)
        for (output_file &file : outputs)
            file.discard();
    return result;
}

status commit_output(output_file &output)
{
    std::vector<output_file> outputs;
    outputs.push_back(std::move(output));
    return commit_outputs(outputs);
}

void recover_output_directory(const std::string &name)
{
    const std::string directory = directory_of(resolved_target(name));
    directory_lock lock(directory);
    if (lock.error() == 0)
        recover_directory(directory, lock);
}

void remove_outputs_on_interrupt()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    std::atexit(remove_registered_temporaries);
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal_number, remove_temporaries_and_resend);
}

void set_recovery_reporter(void (*report)(const std::string &note))
{
    recovery_reporter = report;
}

}  // namespace seedbank
