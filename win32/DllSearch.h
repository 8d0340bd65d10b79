#pragma once

#include <windows.h>

namespace win32 {

// Loads DLLs only from the system folder, so that a DLL planted beside the program (in a
// Downloads folder, say) is never loaded, also not by a system component's late load. Called
// first thing: the DLLs the program imports come from the system's own list before it runs.
// Windows 7 without its 2011 loader update lacks SetDefaultDllDirectories; there at least the
// current folder leaves the search.
inline void RestrictDllSearch() {
    using SetDefault = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = reinterpret_cast<SetDefault>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault == nullptr || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        ::SetDllDirectoryW(L"");
    }
}

}  // namespace win32
