#include "Resources.h"

namespace win32 {

HINSTANCE ResourceModule() noexcept {
    return ::GetModuleHandleW(nullptr);
}

std::wstring LoadStringResource(int id) {
    // With a zero length LoadStringW hands out a read-only pointer into the resource itself.
    const wchar_t* text = nullptr;
    const int length =
        ::LoadStringW(ResourceModule(), static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) {
        return {};
    }
    return std::wstring(text, static_cast<std::size_t>(length));
}

HICON LoadIconResource(int id, int width, int height) noexcept {
    return static_cast<HICON>(
        ::LoadImageW(ResourceModule(), ResourceName(id), IMAGE_ICON, width, height, 0));
}

}  // namespace win32
