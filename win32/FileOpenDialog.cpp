#include "FileOpenDialog.h"

#include <commdlg.h>

namespace win32 {

std::optional<std::wstring> FileOpenDialog::Show(HWND owner) const {
    // Room for the longest path the system accepts, so a long confirmed name is never cut.
    std::wstring buffer(32768, L'\0');
    OPENFILENAMEW request{};
    request.lStructSize = sizeof(request);
    request.hwndOwner = owner;
    request.lpstrFile = buffer.data();
    request.nMaxFile = static_cast<DWORD>(buffer.size());
    request.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER;
    if (!::GetOpenFileNameW(&request)) {
        return std::nullopt;
    }
    buffer.resize(buffer.find(L'\0'));
    return buffer;
}

}  // namespace win32
