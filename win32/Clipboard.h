#pragma once

#include <windows.h>

#include <string_view>

namespace win32 {

// Replaces the clipboard's contents with `text`, single-byte characters taken as the first 256
// of Unicode, in one step. False when the clipboard is busy or there is no memory for the text.
bool CopyToClipboard(HWND owner, std::string_view text);

}  // namespace win32
