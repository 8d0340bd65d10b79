#pragma once

#include <windows.h>

#include <string_view>

namespace win32 {

// MessageBoxW with the application's name as caption; returns the button chosen.
int ShowMessageBox(HWND owner, std::wstring_view text, UINT type);

}  // namespace win32
