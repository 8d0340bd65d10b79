#include "MessageBox.h"

#include <string>

#include "Application.h"

namespace win32 {

int ShowMessageBox(HWND owner, std::wstring_view text, UINT type) {
    const std::wstring caption = ApplicationName();
    const std::wstring body(text);
    return ::MessageBoxW(owner, body.c_str(), caption.c_str(), type);
}

}  // namespace win32
