#include "Dialog.h"

#include <algorithm>
#include <utility>

#include "DataExchange.h"
#include "Resources.h"

namespace win32 {
namespace {

// The dialog whose UpdateData runs on this thread: its controls' notifications are not
// dispatched meanwhile, so a handler that shows members never re-enters itself. Per thread, so
// an exchange run by another thread still has its notifications handled here.
thread_local HWND t_lockedOut = nullptr;

class NotificationLockout {
  public:
    explicit NotificationLockout(HWND window) noexcept : previous_(t_lockedOut) {
        t_lockedOut = window;
    }
    NotificationLockout(const NotificationLockout&) = delete;
    NotificationLockout& operator=(const NotificationLockout&) = delete;
    ~NotificationLockout() { t_lockedOut = previous_; }

  private:
    HWND previous_;
};

RECT WorkArea(HWND window) noexcept {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor.rcWork;
}

}  // namespace

INT_PTR Dialog::RunModal() {
    failure_ = nullptr;
    const INT_PTR result = ::DialogBoxParamW(ResourceModule(), ResourceName(templateId_), parent_,
                                             &Dialog::Procedure, reinterpret_cast<LPARAM>(this));
    if (failure_) {
        std::rethrow_exception(std::exchange(failure_, nullptr));
    }
    return result;
}

void Dialog::End(INT_PTR result) noexcept {
    ::EndDialog(window_, result);
}

bool Dialog::UpdateData(bool saving) {
    NotificationLockout lockout(window_);
    DataExchange exchange(window_, saving);
    DoDataExchange(exchange);
    return !exchange.Failed();
}

bool Dialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void Dialog::DoDataExchange(DataExchange&) {}

void Dialog::OnOK() {
    if (UpdateData(true)) {
        End(IDOK);
    }
}

void Dialog::OnCancel() {
    End(IDCANCEL);
}

void Dialog::BindMessage(UINT message, MessageHandler handler) {
    messages_.push_back({message, std::move(handler)});
}

void Dialog::BindCommand(int controlId, WORD notification, CommandHandler handler) {
    commands_.push_back({controlId, notification, std::move(handler)});
}

INT_PTR CALLBACK Dialog::Procedure(HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam) noexcept {
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->window_ = window;
    } else {
        self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    }
    if (self == nullptr) {
        return FALSE;
    }
    INT_PTR handled = FALSE;
    try {
        handled = self->Dispatch(message, wParam, lParam);
    } catch (...) {
        // Handed to RunModal, which rethrows it on the far side of the system's code.
        if (!self->failure_) {
            self->failure_ = std::current_exception();
        }
        ::EndDialog(window, -1);
        handled = TRUE;
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        self->window_ = nullptr;
    }
    return handled;
}

INT_PTR Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        Centre();
        return OnInitDialog() ? TRUE : FALSE;
    }
    if (message == WM_COMMAND) {
        return DispatchCommand(wParam, lParam);
    }
    for (const MessageEntry& entry : messages_) {
        if (entry.message == message) {
            const MessageResult result = entry.handler(wParam, lParam);
            return result ? Result(message, *result) : FALSE;
        }
    }
    return FALSE;
}

INT_PTR Dialog::DispatchCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const WORD notification = HIWORD(wParam);
    const bool fromControl = lParam != 0;
    if (fromControl && t_lockedOut == window_) {
        return TRUE;
    }
    for (const CommandEntry& entry : commands_) {
        if (entry.controlId == id && entry.notification == notification) {
            entry.handler();
            return TRUE;
        }
    }
    if (notification == BN_CLICKED) {
        if (id == IDOK) {
            OnOK();
            return TRUE;
        }
        if (id == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
    }
    return FALSE;
}

INT_PTR Dialog::Result(UINT message, LRESULT result) noexcept {
    switch (message) {
        // These hand their result straight back from the dialog procedure.
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
            return static_cast<INT_PTR>(result);
        default:
            ::SetWindowLongPtrW(window_, DWLP_MSGRESULT, result);
            return TRUE;
    }
}

void Dialog::Centre() noexcept {
    RECT dialog{};
    ::GetWindowRect(window_, &dialog);
    const RECT work = WorkArea(window_);
    RECT around = work;
    HWND owner = ::GetWindow(window_, GW_OWNER);
    if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
        ::GetWindowRect(owner, &around);
    }
    const LONG width = dialog.right - dialog.left;
    const LONG height = dialog.bottom - dialog.top;
    LONG left = around.left + (around.right - around.left - width) / 2;
    LONG top = around.top + (around.bottom - around.top - height) / 2;
    // Keep the whole dialog on the screen even when the owner is near its edge.
    left = std::max(work.left, std::min(left, work.right - width));
    top = std::max(work.top, std::min(top, work.bottom - height));
    ::SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace win32
