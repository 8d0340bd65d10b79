#include <windows.h>

#include <io.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "OutputFile.h"
#include "SystemErrorWindows.h"

namespace rastelle::cli {

namespace {

// Ctrl+C, Ctrl+Break or a closed console window remove the temporary file before the
// program ends. The name is prepared before the handler may read it.
wchar_t preparedPath[MAX_PATH + 1];
std::atomic<bool> havePreparedPath{false};

BOOL WINAPI RemovePreparedFile(DWORD) {
    if (havePreparedPath.exchange(false)) {
        ::DeleteFileW(preparedPath);
    }
    return FALSE;  // then the default: the program ends
}

void RegisterTemporaryFile(const std::wstring& path) {
    path.copy(preparedPath, MAX_PATH);
    preparedPath[std::min<std::size_t>(path.size(), MAX_PATH)] = L'\0';
    havePreparedPath = true;
    ::SetConsoleCtrlHandler(RemovePreparedFile, TRUE);
}

void UnregisterTemporaryFile() {
    havePreparedPath = false;
    ::SetConsoleCtrlHandler(RemovePreparedFile, FALSE);
}

void CloseHandleOf(void*& handle) {
    if (handle != nullptr) {
        ::CloseHandle(handle);
        handle = nullptr;
    }
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

bool OutputFile::Fail(unsigned long error) {
    if (reason_.empty()) {
        reason_ = SystemErrorText(error);
    }
    return false;
}

bool OutputFile::Open(const std::filesystem::path& target) {
    target_ = target;
    const Handle existing(::CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!existing.IsOpen()) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? PrepareReplacement(target) : Fail(error);
    }
    if (::GetFileType(existing.Get()) != FILE_TYPE_DISK) {
        // NUL, CON, a COM port or a pipe: written directly, as a shell's ">" would.
        handle_ = ::CreateFileW(target.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0,
                                nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) {
            handle_ = nullptr;
            return Fail(::GetLastError());
        }
        return true;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(existing.Get(), &information)) {
        return Fail(::GetLastError());
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Fail(ERROR_DIRECTORY);
    }
    attributes_ = information.dwFileAttributes;
    replaced_ = {information.dwVolumeSerialNumber,
                 (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow,
                 true};
    return PrepareReplacement(target);
}

bool OutputFile::PrepareReplacement(const std::filesystem::path& target) {
    std::filesystem::path directory = target.parent_path();
    if (directory.empty()) {
        directory = ".";
    }
    // A short name of its own: any name the file system accepts for OUT works. Shared for
    // deletion, so that Ctrl+C can remove it while it is open.
    static constexpr wchar_t kDigits[] = L"0123456789abcdefghijklmnopqrstuvwxyz";
    std::uint64_t seed = ::GetTickCount64() * 2654435761u + ::GetCurrentProcessId();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring name = L".rastelle-";
        for (int i = 0; i < 6; ++i) {
            seed = seed * 6364136223846793005u + 1442695040888963407u;
            name += kDigits[(seed >> 33) % 36];
        }
        const std::filesystem::path candidate = directory / name;
        handle_ = ::CreateFileW(candidate.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ != INVALID_HANDLE_VALUE) {
            temporary_ = candidate;
            RegisterTemporaryFile(candidate.wstring());
            return true;
        }
        handle_ = nullptr;
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            return Fail(::GetLastError());
        }
    }
    return Fail(ERROR_FILE_EXISTS);
}

bool OutputFile::IsTerminal() const {
    return stream_ != nullptr && _isatty(_fileno(stream_)) != 0;
}

bool OutputFile::Write(std::string_view text) {
    if (!reason_.empty()) {
        return false;
    }
    if (stream_ != nullptr) {
        if (std::fwrite(text.data(), 1, text.size(), stream_) != text.size()) {
            return Fail(errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT);
        }
        wroteAnything_ = wroteAnything_ || !text.empty();
        return true;
    }
    while (!text.empty()) {
        const DWORD wanted =
            static_cast<DWORD>(std::min<std::size_t>(text.size(), std::size_t{1} << 30));
        DWORD count = 0;
        if (!::WriteFile(handle_, text.data(), wanted, &count, nullptr)) {
            return Fail(::GetLastError());
        }
        wroteAnything_ = true;
        text.remove_prefix(count);
    }
    return true;
}

bool OutputFile::Commit() {
    if (!reason_.empty()) {
        return false;
    }
    if (stream_ != nullptr) {
        return std::fflush(stream_) == 0 || Fail(ERROR_WRITE_FAULT);
    }
    if (!temporary_.empty() && !::FlushFileBuffers(handle_)) {
        return Fail(::GetLastError());
    }
    const bool closed = ::CloseHandle(handle_) != FALSE;
    handle_ = nullptr;
    if (!closed) {
        return Fail(::GetLastError());
    }
    if (temporary_.empty()) {
        return true;
    }
    // The old file's attributes (hidden, system, archive...) go to the new one. Not read-only,
    // which would keep it from being moved, or removed should that fail; nor does
    // ReplaceFileW serve: Wine refuses it for a hidden file.
    if (replaced_.known) {
        const DWORD kept =
            attributes_ & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        ::SetFileAttributesW(temporary_.c_str(), kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
    }
    const bool moved = ::MoveFileExW(temporary_.c_str(), target_.c_str(),
                                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!moved) {
        return Fail(::GetLastError());
    }
    temporary_.clear();
    UnregisterTemporaryFile();
    return true;
}

void OutputFile::Discard() {
    CloseHandleOf(handle_);
    if (!temporary_.empty()) {
        UnregisterTemporaryFile();
        ::DeleteFileW(temporary_.c_str());
        temporary_.clear();
    }
}

bool OutputFile::Replaces(const FileIdentity& file) const {
    return replaced_.known && file.known && replaced_.device == file.device &&
           replaced_.inode == file.inode;
}

}  // namespace rastelle::cli
