#pragma once

#include <windows.h>

#include <string>

namespace win32 {

// The whole text of a window, also of a control owned by another thread of this process.
std::wstring WindowText(HWND window);

// Sets the text only when it differs, so an unchanged control raises no change notification
// and keeps its caret and selection.
void SetWindowTextIfChanged(HWND window, const std::wstring& text);

}  // namespace win32
