#include "DataExchange.h"

#include <vector>

#include "ControlText.h"
#include "MessageBox.h"
#include "TrackbarControl.h"
#include "Window.h"

namespace win32 {
namespace {

bool IsRadioButton(HWND control) {
    return (::SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) != 0;
}

bool StartsGroup(HWND control) {
    return (::GetWindowLongW(control, GWL_STYLE) & WS_GROUP) != 0;
}

// The radio buttons from `first` up to the next control that starts a group.
std::vector<HWND> RadioGroup(HWND first) {
    std::vector<HWND> buttons;
    HWND control = first;
    do {
        if (IsRadioButton(control)) {
            buttons.push_back(control);
        }
        control = ::GetWindow(control, GW_HWNDNEXT);
    } while (control != nullptr && !StartsGroup(control));
    return buttons;
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

}  // namespace

std::optional<std::uint8_t> ParseByte(std::wstring_view text) noexcept {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - L'0');
        if (value > 255) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint8_t>(value);
}

HWND DataExchange::Item(int id) const noexcept {
    return ::GetDlgItem(dialog_, id);
}

void DataExchange::Fail(std::wstring_view message) {
    failed_ = true;
    ShowMessageBox(dialog_, message, MB_OK | MB_ICONEXCLAMATION);
}

void DataExchange::Text(int id, std::wstring& value) {
    HWND control = Item(id);
    if (saving_) {
        value = WindowText(control);
    } else {
        SetWindowTextIfChanged(control, value);
    }
}

void DataExchange::Text(int id, ControlText& value) {
    if (saving_) {
        value.Take(Item(id));
    } else {
        value.Show(Item(id));
    }
}

void DataExchange::Text(int id, std::uint8_t& value) {
    HWND control = Item(id);
    if (saving_) {
        if (const auto number = ParseByte(WindowText(control))) {
            value = *number;
        } else {
            Fail(L"Please enter an integer between 0 and 255.");
        }
    } else {
        SetWindowTextIfChanged(control, std::to_wstring(value));
    }
}

// A control whose state is one number, read with `get` and set with `set`.
void DataExchange::State(int id, UINT get, UINT set, int& value) {
    HWND control = Item(id);
    const auto shown = static_cast<int>(::SendMessageW(control, get, 0, 0));
    if (saving_) {
        value = shown;
    } else if (shown != value) {
        ::SendMessageW(control, set, static_cast<WPARAM>(value), 0);
    }
}

void DataExchange::Check(int id, int& value) {
    State(id, BM_GETCHECK, BM_SETCHECK, value);
}

void DataExchange::Radio(int firstId, int& value) {
    const std::vector<HWND> buttons = RadioGroup(Item(firstId));
    if (saving_) {
        value = -1;
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            if (::SendMessageW(buttons[i], BM_GETCHECK, 0, 0) == BST_CHECKED) {
                value = static_cast<int>(i);
            }
        }
        return;
    }
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const WPARAM wanted = static_cast<int>(i) == value ? BST_CHECKED : BST_UNCHECKED;
        if (static_cast<WPARAM>(::SendMessageW(buttons[i], BM_GETCHECK, 0, 0)) != wanted) {
            ::SendMessageW(buttons[i], BM_SETCHECK, wanted, 0);
        }
    }
}

void DataExchange::ComboIndex(int id, int& value) {
    State(id, CB_GETCURSEL, CB_SETCURSEL, value);
}

void DataExchange::Control(int id, TrackbarControl& control) {
    if (control.Window() == nullptr) {
        control.Attach(Item(id));
    }
}

}  // namespace win32
