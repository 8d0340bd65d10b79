#pragma once

#include <windows.h>

#include <string>

namespace win32 {

// The module whose resources the program uses: always the executable itself.
HINSTANCE ResourceModule() noexcept;

// MAKEINTRESOURCEW without the C-style cast.
inline const wchar_t* ResourceName(int id) noexcept {
    return reinterpret_cast<const wchar_t*>(static_cast<ULONG_PTR>(static_cast<WORD>(id)));
}

// A string-table entry; empty when there is none.
std::wstring LoadStringResource(int id);

// Icon `id` at the given size, owned by the caller (not a shared copy).
HICON LoadIconResource(int id, int width, int height) noexcept;

}  // namespace win32
