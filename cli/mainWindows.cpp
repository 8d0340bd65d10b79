#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "Run.h"
#include "win32/DllSearch.h"

// The arguments come as UTF-16 and are handed on as UTF-8, which std::filesystem turns back
// into the same UTF-16 names; the text and the messages go out byte for byte, as on Linux.
int wmain(int argc, wchar_t** argv) {
    win32::RestrictDllSearch();
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> storage;
    for (int i = 1; i < argc; ++i) {
        const int wide = static_cast<int>(std::wcslen(argv[i]));
        const int size =
            ::WideCharToMultiByte(CP_UTF8, 0, argv[i], wide, nullptr, 0, nullptr, nullptr);
        std::string& argument = storage.emplace_back(static_cast<std::size_t>(size), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, argv[i], wide, argument.data(), size, nullptr, nullptr);
    }
    const std::vector<std::string_view> arguments(storage.begin(), storage.end());
    return rastelle::cli::Run(arguments, stdout, stderr);
}
