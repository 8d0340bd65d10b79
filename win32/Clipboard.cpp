#include "Clipboard.h"

namespace win32 {

bool CopyToClipboard(HWND owner, std::string_view text) {
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (memory == nullptr) {
        return false;
    }
    auto* wide = static_cast<wchar_t*>(::GlobalLock(memory));
    for (const char c : text) {
        *wide++ = static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    *wide = L'\0';
    ::GlobalUnlock(memory);
    if (!::OpenClipboard(owner)) {
        ::GlobalFree(memory);
        return false;
    }
    ::EmptyClipboard();
    // Once set, the memory is the clipboard's.
    const bool set = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    ::CloseClipboard();
    if (!set) {
        ::GlobalFree(memory);
    }
    return set;
}

}  // namespace win32
