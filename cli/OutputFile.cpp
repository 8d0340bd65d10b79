#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <string_view>
#include <system_error>

namespace rastelle::cli {

namespace {

// A run stopped by one of these removes its temporary file before it dies: those whose
// default action ends the program, but for SIGKILL, which nothing catches.
constexpr std::array kCleanupSignals{SIGHUP,  SIGINT,  SIGQUIT,   SIGTERM, SIGXFSZ, SIGUSR1,
                                     SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGPIPE};

// Prepared before the handlers are installed, so the handler does nothing but unlink it.
char preparedPath[PATH_MAX];
volatile std::sig_atomic_t havePreparedPath = 0;
std::array<struct sigaction, kCleanupSignals.size()> previousActions{};

extern "C" void RemovePreparedFileAndRaise(int signalNumber) {
    if (havePreparedPath != 0) {
        ::unlink(preparedPath);
    }
    // Blocked while this runs, the signal takes its default action when this returns.
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

// Holds the cleanup signals back while the temporary file's registration changes.
class SignalsHeld {
  public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const int signalNumber : kCleanupSignals) {
            sigaddset(&held, signalNumber);
        }
        sigprocmask(SIG_BLOCK, &held, &previous_);
    }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }

  private:
    sigset_t previous_;
};

void RegisterTemporaryFile(const std::string& path) {
    std::memcpy(preparedPath, path.c_str(), path.size() + 1);
    havePreparedPath = 1;
    for (std::size_t i = 0; i < kCleanupSignals.size(); ++i) {
        sigaction(kCleanupSignals[i], nullptr, &previousActions[i]);
        // A signal the caller chose to ignore stays ignored.
        if (previousActions[i].sa_handler != SIG_IGN) {
            struct sigaction action {};
            action.sa_handler = RemovePreparedFileAndRaise;
            sigemptyset(&action.sa_mask);
            sigaction(kCleanupSignals[i], &action, nullptr);
        }
    }
}

void UnregisterTemporaryFile() {
    havePreparedPath = 0;
    for (std::size_t i = 0; i < kCleanupSignals.size(); ++i) {
        sigaction(kCleanupSignals[i], &previousActions[i], nullptr);
    }
}

constexpr int kMaxLinks = 40;

// The descriptor that /dev/stdout, /dev/stderr, /dev/fd/N or /proc/self/fd/N names.
std::optional<int> DescriptorNamed(const std::filesystem::path& path) {
    const std::string name = path.lexically_normal().string();
    if (name == "/dev/stdout" || name == "/dev/stderr") {
        return name == "/dev/stdout" ? STDOUT_FILENO : STDERR_FILENO;
    }
    for (const std::string_view directory : {"/dev/fd/", "/proc/self/fd/"}) {
        if (name.starts_with(directory)) {
            const std::string_view number = std::string_view(name).substr(directory.size());
            int descriptor = 0;
            const auto [end, error] =
                std::from_chars(number.data(), number.data() + number.size(), descriptor);
            if (error == std::errc{} && end == number.data() + number.size() && !number.empty()) {
                return descriptor;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

bool OutputFile::Fail(int error) {
    if (reason_.empty()) {
        reason_ = std::strerror(error);
    }
    return false;
}

bool OutputFile::OpenDescriptor(int descriptor) {
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) {
        return Fail(EBADF);
    }
    descriptor_ = Descriptor(::fcntl(descriptor, F_DUPFD_CLOEXEC, 0));
    struct stat status {};
    if (!descriptor_.IsOpen() || ::fstat(descriptor_.Get(), &status) != 0) {
        return Fail(errno);
    }
    if (S_ISREG(status.st_mode)) {
        replaced_ = {status.st_dev, status.st_ino, true};
    }
    return true;
}

bool OutputFile::Open(const std::filesystem::path& target) {
    std::filesystem::path current = target;
    struct stat status {};
    bool exists = false;
    for (int links = 0;; ++links) {
        // Replacing what such a name points to would lose what the descriptor's file holds
        // and the text would never reach a pipe.
        if (const std::optional<int> descriptor = DescriptorNamed(current)) {
            return OpenDescriptor(*descriptor);
        }
        if (::lstat(current.c_str(), &status) != 0) {
            if (errno != ENOENT) {
                return Fail(errno);
            }
            break;  // a new name, or where a dangling link points
        }
        if (!S_ISLNK(status.st_mode)) {
            exists = true;
            break;
        }
        if (links == kMaxLinks) {
            return Fail(ELOOP);
        }
        std::error_code code;
        const std::filesystem::path link = std::filesystem::read_symlink(current, code);
        if (code) {
            return Fail(code.value());
        }
        current = link.is_absolute() ? link : current.parent_path() / link;
    }
    target_ = current;
    if (exists && S_ISDIR(status.st_mode)) {
        return Fail(EISDIR);
    }
    if (exists) {
        // A file the user may not write is refused, before any work, as a shell's > would
        // refuse it. Without O_TRUNC: a regular file is replaced whole, not cut and
        // overwritten; anything else (a device, a FIFO) is written directly.
        descriptor_ = Descriptor(::open(current.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
        if (!descriptor_.IsOpen() || ::fstat(descriptor_.Get(), &status) != 0) {
            return Fail(errno);
        }
        if (!S_ISREG(status.st_mode)) {
            return true;
        }
        descriptor_.Reset();
    }
    return PrepareReplacement(current, exists ? &status : nullptr);
}

bool OutputFile::PrepareReplacement(const std::filesystem::path& target,
                                    const struct stat* existing) {
    if (existing != nullptr) {
        replaced_ = {existing->st_dev, existing->st_ino, true};
        mode_ = existing->st_mode & 07777;
        owner_ = existing->st_uid;
        group_ = existing->st_gid;
    } else {
        // What a shell redirection would give a new file.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode_ = 0666 & ~mask;
    }
    std::filesystem::path directory = target.parent_path();
    if (directory.empty()) {
        directory = ".";
    }
    // Unnamed, it vanishes with the program however that ends. Its link at the end goes
    // through /proc, which needs no privilege.
    if (::access("/proc/self/fd", X_OK) == 0) {
        descriptor_ = Descriptor(::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
        if (descriptor_.IsOpen()) {
            directory_ = directory;
            return true;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            return Fail(errno);
        }
    }
    // A short name of its own: any name the file system accepts for OUT works.
    std::string pattern = (directory / ".rastelle-XXXXXX").string();
    if (pattern.size() >= sizeof preparedPath) {
        return Fail(ENAMETOOLONG);
    }
    const SignalsHeld held;
    descriptor_ = Descriptor(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!descriptor_.IsOpen()) {
        return Fail(errno);
    }
    temporary_ = pattern;
    RegisterTemporaryFile(pattern);
    return true;
}

bool OutputFile::IsTerminal() const {
    return stream_ != nullptr && isatty(fileno(stream_)) != 0;
}

bool OutputFile::Write(std::string_view text) {
    if (!reason_.empty()) {
        return false;
    }
    if (stream_ != nullptr) {
        if (std::fwrite(text.data(), 1, text.size(), stream_) != text.size()) {
            return Fail(errno);
        }
        wroteAnything_ = wroteAnything_ || !text.empty();
        return true;
    }
    while (!text.empty()) {
        const ssize_t count = ::write(descriptor_.Get(), text.data(), text.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return Fail(errno);
        }
        wroteAnything_ = true;
        text.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

bool OutputFile::Commit() {
    if (!reason_.empty()) {
        return false;
    }
    if (stream_ != nullptr) {
        return std::fflush(stream_) == 0 || Fail(errno);
    }
    if (!temporary_.empty() || !directory_.empty()) {
        if (replaced_.known && ::fchown(descriptor_.Get(), owner_, group_) != 0) {
            // Not allowed to give it the old owner: the group alone may still be ours.
            [[maybe_unused]] const int ignored =
                ::fchown(descriptor_.Get(), static_cast<uid_t>(-1), group_);
        }
        if (::fchmod(descriptor_.Get(), mode_) != 0 || ::fsync(descriptor_.Get()) != 0) {
            return Fail(errno);
        }
    }
    if (!directory_.empty() && !LinkUnnamedFile()) {
        return false;
    }
    if (!descriptor_.Close()) {
        return Fail(errno);
    }
    if (temporary_.empty()) {
        return true;
    }
    const SignalsHeld held;
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        return Fail(errno);
    }
    temporary_.clear();
    UnregisterTemporaryFile();
    // The rename itself reaches the disk with the directory; a failure here loses nothing.
    std::filesystem::path directory = target_.parent_path();
    const Descriptor directoryDescriptor(
        ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directoryDescriptor.IsOpen()) {
        ::fsync(directoryDescriptor.Get());
    }
    return true;
}

// A link can't replace a file: the unnamed file gets a temporary name of its own, which the
// rename then moves over OUT.
bool OutputFile::LinkUnnamedFile() {
    const std::string self = "/proc/self/fd/" + std::to_string(descriptor_.Get());
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = (directory_ / ".rastelle-").string();
        for (int i = 0; i < 6; ++i) {
            name += "abcdefghijklmnopqrstuvwxyz0123456789"[random() % 36];
        }
        if (name.size() >= sizeof preparedPath) {
            return Fail(ENAMETOOLONG);
        }
        const SignalsHeld held;
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temporary_ = name;
            RegisterTemporaryFile(name);
            return true;
        }
        if (errno != EEXIST) {
            return Fail(errno);
        }
    }
    return Fail(EEXIST);
}

void OutputFile::Discard() {
    descriptor_.Reset();
    if (!temporary_.empty()) {
        const SignalsHeld held;
        ::unlink(temporary_.c_str());
        temporary_.clear();
        UnregisterTemporaryFile();
    }
}

bool OutputFile::Replaces(const FileIdentity& file) const {
    return replaced_.known && file.known && replaced_.device == file.device &&
           replaced_.inode == file.inode;
}

}  // namespace rastelle::cli
