#include "InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "Descriptor.h"

namespace rastelle::cli {

namespace {

FileBytes Refuse(DecodeErrorKind kind, std::string message) {
    FileBytes result;
    result.error = MakeError(kind, std::move(message));
    return result;
}

}  // namespace

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
    while (done < result.bytes.size()) {
        const ssize_t count =
            ::read(file.Get(), result.bytes.data() + done, result.bytes.size() - done);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return Refuse(DecodeErrorKind::Unreadable, std::strerror(errno));
        }
        if (count == 0) {
            break;
        }
        done += static_cast<std::size_t>(count);
    }
    result.bytes.resize(done);
    lastRead_ = {status.st_dev, status.st_ino, true};
    return result;
}

}  // namespace rastelle::cli
