#include "Window.h"

namespace win32 {

std::wstring WindowText(HWND window) {
    const auto length = ::SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied = ::SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(text.size()),
                                       reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

void SetWindowTextIfChanged(HWND window, const std::wstring& text) {
    const auto length = ::SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    if (length != static_cast<LRESULT>(text.size()) || WindowText(window) != text) {
        ::SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

}  // namespace win32
