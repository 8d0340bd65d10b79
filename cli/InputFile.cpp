#include "InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "common/Limits.h"

#include "Descriptor.h"
#include "ReadToEnd.h"

namespace rastelle::cli {

namespace {

// Fills `bytes` from `done` on, up to its size or the end of the data.
bool ReadInto(int descriptor, std::vector<std::uint8_t>& bytes, std::size_t& done) {
    while (done < bytes.size()) {
        const ssize_t count = ::read(descriptor, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return count == 0;
        }
        done += static_cast<std::size_t>(count);
    }
    return true;
}

}  // namespace

FileBytes InputFileReader::ReadStandardInput(bool image) {
    FileBytes result = ReadToEnd(
        [](std::uint8_t* data, std::size_t size, std::size_t& count, std::string& reason) {
            ssize_t got = 0;
            do {
                got = ::read(STDIN_FILENO, data, size);
            } while (got < 0 && errno == EINTR);
            if (got < 0) {
                reason = std::strerror(errno);
                return false;
            }
            count = static_cast<std::size_t>(got);
            return true;
        },
        image);
    if (result.error.kind != DecodeErrorKind::None) {
        return result;
    }
    struct stat status {};
    if (::fstat(STDIN_FILENO, &status) == 0 && S_ISREG(status.st_mode)) {
        lastRead_ = {status.st_dev, status.st_ino, true};
    }
    return result;
}

FileBytes InputFileReader::operator()(const std::filesystem::path& path) {
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.Get() < 0) {
        const int reason = errno;
        FileBytes result = Refuse(DecodeErrorKind::Unreadable, std::strerror(reason));
        result.missing = reason == ENOENT;
        return result;
    }
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0) {
        return Refuse(DecodeErrorKind::Unreadable, std::strerror(errno));
    }
    if (S_ISDIR(status.st_mode)) {
        return Refuse(DecodeErrorKind::Unreadable, std::strerror(EISDIR));
    }
    // Devices and pipes could block or never end.
    if (!S_ISREG(status.st_mode)) {
        return Refuse(DecodeErrorKind::Unreadable, "not a regular file");
    }
    FileBytes result = MakeRoomForFile(static_cast<std::uint64_t>(status.st_size));
    if (result.error.kind != DecodeErrorKind::None) {
        return result;
    }
    // A file that changes size meanwhile is read as far as it goes.
    std::size_t done = 0;
    if (!ReadInto(file.Get(), result.bytes, done)) {
        return Refuse(DecodeErrorKind::Unreadable, std::strerror(errno));
    }
    result.bytes.resize(done);
    lastRead_ = {status.st_dev, status.st_ino, true};
    return result;
}

bool InputFileReader::ReadPieces(const std::filesystem::path& path,
                                 const std::function<bool(std::span<const char>)>& take,
                                 std::string& reason) {
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat status {};
    if (!file.IsOpen() || ::fstat(file.Get(), &status) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        reason = S_ISDIR(status.st_mode) ? std::strerror(EISDIR) : "not a regular file";
        return false;
    }
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t count = ::read(file.Get(), buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            reason = std::strerror(errno);
            return false;
        }
        if (count == 0 || !take({buffer.data(), static_cast<std::size_t>(count)})) {
            return true;
        }
    }
}

FileIdentity InputFileReader::IdentityOf(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return {};
    }
    return {status.st_dev, status.st_ino, true};
}

}  // namespace rastelle::cli
