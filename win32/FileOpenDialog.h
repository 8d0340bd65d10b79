#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace win32 {

// The system's file-open dialog: every file listed, no default extension.
class FileOpenDialog {
  public:
    // The full path the user confirmed, or nothing when the dialog was cancelled.
    std::optional<std::wstring> Show(HWND owner) const;
};

}  // namespace win32
