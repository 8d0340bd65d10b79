#include "SystemErrorWindows.h"

#include <windows.h>

#include <array>
#include <utility>

namespace rastelle::cli {

std::string SystemErrorText(unsigned long error) {
    static constexpr std::array<std::pair<DWORD, const char*>, 12> kTexts{{
        {ERROR_FILE_NOT_FOUND, "No such file or directory"},
        {ERROR_PATH_NOT_FOUND, "No such file or directory"},
        {ERROR_INVALID_NAME, "No such file or directory"},
        {ERROR_BAD_NETPATH, "No such file or directory"},
        {ERROR_ACCESS_DENIED, "Permission denied"},
        {ERROR_SHARING_VIOLATION, "Permission denied"},
        {ERROR_LOCK_VIOLATION, "Permission denied"},
        {ERROR_DIRECTORY, "Is a directory"},
        {ERROR_FILENAME_EXCED_RANGE, "File name too long"},
        {ERROR_DISK_FULL, "No space left on device"},
        {ERROR_HANDLE_DISK_FULL, "No space left on device"},
        {ERROR_NOT_ENOUGH_MEMORY, "Cannot allocate memory"},
    }};
    for (const auto& [code, text] : kTexts) {
        if (code == error) {
            return text;
        }
    }
    char* buffer = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = length > 0 ? std::string(buffer, length) : "";
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) {
        text.pop_back();
    }
    return text.empty() ? "Windows error " + std::to_string(error) : text;
}

Handle::Handle(void* handle) noexcept
    : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}

void Handle::Reset() noexcept {
    if (handle_ != nullptr) {
        ::CloseHandle(std::exchange(handle_, nullptr));
    }
}

}  // namespace rastelle::cli
