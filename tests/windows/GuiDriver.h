#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "UiThread.h"
#include "win32/Window.h"

namespace testing_ui {

using namespace std::chrono_literals;

// Polls `condition` until it holds; false after `timeout`, which only bounds a hang.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 30s);
[[noreturn]] void AbandonTestProgram(const char* reason);

inline std::wstring Text(HWND window) {
    return win32::WindowText(window);
}
inline bool IsChecked(HWND button) {
    return ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}
// Click returns once the dialog has handled it, PostClick at once (for a modal window).
inline void Click(HWND button) {
    ::SendMessageW(button, BM_CLICK, 0, 0);
}
inline void PostClick(HWND button) {
    ::PostMessageW(button, BM_CLICK, 0, 0);
}
// Moves the focus as the dialog manager does for Tab (an edit's text gets selected).
inline void Focus(HWND dialog, HWND control) {
    ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}
// Characters typed into `target`, each handled before the next one, or only posted.
void Type(HWND target, std::wstring_view text, bool post = false);
void TypeOver(HWND dialog, HWND edit, std::wstring_view text);  // focused, all selected
// Pressed and released through the thread's message loop, where the dialog manager sees it.
void PostKey(HWND target, UINT virtualKey);
void MoveTrackbarWithKeys(HWND dialog, HWND trackbar, int position);

// Every dialog box ("#32770") of `thread`, shown or not.
std::vector<HWND> DialogBoxes(DWORD thread);
// Waits for a visible box owned by `owner` with the caption `caption` (any when empty).
HWND WaitForDialogBox(DWORD thread, HWND owner, std::wstring_view caption = {});
std::vector<std::wstring> StaticTexts(HWND box);  // of its text controls, in order

// A dialog of type D run modally on a UI thread, as the application runs its main dialog.
// Ends whatever the test left open (message boxes, file dialogs, the dialog itself) when it goes.
template <class D>
class RunningDialog {
  public:
    template <class... Args>
    explicit RunningDialog(UiThread& ui, Args&&... args)
        : ui_(ui), dialog_(std::make_unique<D>(std::forward<Args>(args)...)) {
        ui_.Post([this] {
            dialog_->RunModal();
            ended_ = true;
        });
        WaitUntil([this] { return (window_ = Members([](D& d) { return d.Window(); })); });
    }
    ~RunningDialog() {
        // A box may still open after a first round (a message sent before the end).
        for (int round = 0; round < 100 && !WaitEnded(300ms); ++round) {
            EndAll();
        }
        if (!ended_) {
            AbandonTestProgram("the dialog under test did not end");
        }
    }

    HWND Window() const noexcept { return window_; }
    HWND Item(int id) const noexcept { return ::GetDlgItem(window_, id); }
    // Runs `read(dialog)` on the UI thread, where the dialog's members live.
    template <class Read>
    auto Members(Read&& read) {
        return ui_.Invoke([&] { return read(*dialog_); });
    }
    bool WaitEnded(std::chrono::milliseconds timeout = 30s) {
        return WaitUntil([this] { return ended_.load(); }, timeout);
    }
    void EndAll() {
        ui_.Invoke([this] {
            for (HWND box : DialogBoxes(ui_.Id())) {
                ::EndDialog(box, IDCANCEL);
            }
        });
    }

  private:
    UiThread& ui_;
    std::unique_ptr<D> dialog_;
    HWND window_ = nullptr;
    std::atomic<bool> ended_{false};
};

}  // namespace testing_ui
