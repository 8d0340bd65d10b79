#include "ControlText.h"

#include "Window.h"

namespace win32 {

std::size_t ControlText::size() const {
    if (assigned_) {
        return assigned_->size();
    }
    const LRESULT length = ::SendMessageW(control_, WM_GETTEXTLENGTH, 0, 0);
    return length > 0 ? static_cast<std::size_t>(length) : 0;
}

std::wstring ControlText::str() const {
    return assigned_ ? *assigned_ : WindowText(control_);
}

bool operator==(const ControlText& text, std::wstring_view other) {
    if (text.assigned_) {
        return std::wstring_view(*text.assigned_) == other;
    }
    return text.size() == other.size() && std::wstring_view(WindowText(text.control_)) == other;
}

void ControlText::Take(HWND control) noexcept {
    control_ = control;
    assigned_.reset();
}

void ControlText::Show(HWND control) {
    control_ = control;
    if (assigned_) {
        SetWindowTextIfChanged(control, *assigned_);
        assigned_.reset();
    }
}

}  // namespace win32
