#pragma once

#include <windows.h>

namespace win32 {

// Loads DLLs only from the system folder, so that a DLL planted beside the program (in a
// Downloads folder, say) is never loaded, also not by a system component's late load. Called
// first thing: the DLLs the program imports are all on the system's list of known DLLs, which
// come from the system folder before it runs; the common controls, which are not, are loaded
// only after this (RegisterCommonControls).
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
