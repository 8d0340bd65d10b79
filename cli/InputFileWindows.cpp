#include <windows.h>

#include <algorithm>
#include <new>
#include <string>

#include "InputFile.h"
#include "ReadToEnd.h"
#include "SystemErrorWindows.h"
#include "common/Limits.h"

namespace rastelle::cli {

namespace {

// Opens a file to read. Backup semantics opens a folder too, so that it is refused by name
// rather than with "Permission denied".
HANDLE OpenToRead(const std::filesystem::path& path) {
    return ::CreateFileW(path.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

FileBytes InputFileReader::operator()(const std::filesystem::path& path) {
    const Handle file(OpenToRead(path));
    if (!file.IsOpen()) {
        const DWORD reason = ::GetLastError();
        FileBytes result = Refuse(DecodeErrorKind::Unreadable, SystemErrorText(reason));
        result.missing = reason == ERROR_FILE_NOT_FOUND || reason == ERROR_PATH_NOT_FOUND;
        return result;
    }
    // Consoles, pipes and other devices could block or never end.
    if (::GetFileType(file.Get()) != FILE_TYPE_DISK) {
        return Refuse(DecodeErrorKind::Unreadable, "not a regular file");
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(file.Get(), &information)) {
        return Refuse(DecodeErrorKind::Unreadable, SystemErrorText(::GetLastError()));
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Refuse(DecodeErrorKind::Unreadable, SystemErrorText(ERROR_DIRECTORY));
    }
    const std::uint64_t size =
        (std::uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow;
    FileBytes result = MakeRoomForFile(size);
    if (result.error.kind != DecodeErrorKind::None) {
        return result;
    }
    // A file that changes size meanwhile is read as far as it goes.
    std::size_t done = 0;
    while (done < result.bytes.size()) {
        const DWORD wanted = static_cast<DWORD>(
            std::min<std::size_t>(result.bytes.size() - done, std::size_t{1} << 30));
        DWORD count = 0;
        if (!::ReadFile(file.Get(), result.bytes.data() + done, wanted, &count, nullptr)) {
            return Refuse(DecodeErrorKind::Unreadable, SystemErrorText(::GetLastError()));
        }
        if (count == 0) {
            break;
        }
        done += count;
    }
    result.bytes.resize(done);
    lastRead_ = {information.dwVolumeSerialNumber,
                 (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow,
                 true};
    return result;
}

FileBytes InputFileReader::ReadStandardInput(bool image) {
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    FileBytes result = ReadToEnd(
        [input](std::uint8_t* data, std::size_t size, std::size_t& count, std::string& reason) {
            DWORD got = 0;
            const auto wanted =
                static_cast<DWORD>(std::min<std::size_t>(size, std::size_t{1} << 30));
            if (!::ReadFile(input, data, wanted, &got, nullptr)) {
                const DWORD error = ::GetLastError();
                // A pipe whose writer has gone has simply ended.
                if (error != ERROR_BROKEN_PIPE) {
                    reason = SystemErrorText(error);
                    return false;
                }
            }
            count = got;
            return true;
        },
        image);
    if (result.error.kind != DecodeErrorKind::None) {
        return result;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (::GetFileType(input) == FILE_TYPE_DISK &&
        ::GetFileInformationByHandle(input, &information)) {
        lastRead_ = {information.dwVolumeSerialNumber,
                     (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow,
                     true};
    }
    return result;
}

bool InputFileReader::ReadPieces(const std::filesystem::path& path,
                                 const std::function<bool(std::span<const char>)>& take,
                                 std::string& reason) {
    const Handle file(OpenToRead(path));
    if (!file.IsOpen()) {
        reason = SystemErrorText(::GetLastError());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (::GetFileType(file.Get()) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(file.Get(), &information)) {
        reason = "not a regular file";
        return false;
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        reason = SystemErrorText(ERROR_DIRECTORY);
        return false;
    }
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        DWORD count = 0;
        if (!::ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &count,
                        nullptr)) {
            reason = SystemErrorText(::GetLastError());
            return false;
        }
        if (count == 0 || !take({buffer.data(), static_cast<std::size_t>(count)})) {
            return true;
        }
    }
}

FileIdentity InputFileReader::IdentityOf(const std::filesystem::path& path) {
    const Handle file(OpenToRead(path));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!file.IsOpen() || !::GetFileInformationByHandle(file.Get(), &information)) {
        return {};
    }
    return {information.dwVolumeSerialNumber,
            (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow, true};
}

}  // namespace rastelle::cli
