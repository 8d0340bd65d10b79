#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "UiThread.h"

namespace testing_ui {

using namespace std::chrono_literals;

// Polls `condition` until it holds or `timeout` passes; true when it held.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s);

std::wstring Text(HWND window);
bool IsChecked(HWND button);
bool IsEnabled(HWND window);

// A mouse click on a button; returns when the dialog has handled it.
void Click(HWND button);
// The same without waiting, for a button that opens a modal window.
void PostClick(HWND button);
// Characters typed into the focused control `target`, each handled before the next one.
void Type(HWND target, std::wstring_view text);
// The same without waiting, for typing that may open a modal window.
void PostType(HWND target, std::wstring_view text);
// A key pressed and released over `target`, through the thread's message loop (so the dialog
// manager sees it, as it sees the keyboard).
void PostKey(HWND target, UINT virtualKey);
void SelectAll(HWND edit);
// Focuses the trackbar of `dialog` and moves it to `position` with Home and Right arrow keys.
void MoveTrackbarWithKeys(HWND dialog, HWND trackbar, int position);
// Focuses the edit `control` of `dialog` and types over its whole text.
void TypeOver(HWND dialog, HWND control, std::wstring_view text);
// Moves the focus to `control` as the dialog manager does for Tab.
void Focus(HWND dialog, HWND control);
// The control with the keyboard focus on `thread`.
HWND FocusedWindow(DWORD thread);

// Every dialog box ("#32770") of `thread`, shown or not.
std::vector<HWND> DialogBoxes(DWORD thread);
// The visible dialog boxes of `thread` owned by `owner`.
std::vector<HWND> OwnedDialogBoxes(DWORD thread, HWND owner);
// Waits for the one box owned by `owner` whose caption is `caption`; null on timeout.
HWND WaitForDialogBox(DWORD thread, HWND owner, std::wstring_view caption,
                      std::chrono::milliseconds timeout = 10s);
// Texts of a box's static controls, in order.
std::vector<std::wstring> StaticTexts(HWND box);
RECT ClientRectOf(HWND dialog, HWND control);
// A rectangle in dialog units converted to pixels of `dialog`.
RECT DialogUnits(HWND dialog, int x, int y, int width, int height);

// Records the WM_COMMAND messages `window` receives, through a hook on its thread.
class CommandSpy {
  public:
    CommandSpy(UiThread& ui, HWND window);
    ~CommandSpy();
    CommandSpy(const CommandSpy&) = delete;
    CommandSpy& operator=(const CommandSpy&) = delete;

    bool Saw(int id, WORD notification) const;
    void Clear();

  private:
    UiThread& ui_;
    HHOOK hook_ = nullptr;
};

// Ends the test program at once, for a state that would make every later result meaningless.
[[noreturn]] void AbandonTestProgram(const char* reason);

// A dialog of type D run modally on a UI thread, as the application runs its main dialog.
// Ends whatever the test left open (message boxes, file dialogs, the dialog itself) when it goes.
template <class D>
class RunningDialog {
  public:
    template <class... Args>
    explicit RunningDialog(UiThread& ui, Args&&... args)
        : ui_(ui), dialog_(std::make_unique<D>(std::forward<Args>(args)...)) {
        ui_.Post([this] {
            try {
                result_ = dialog_->RunModal();
            } catch (...) {
                failure_ = std::current_exception();
            }
            ended_ = true;
        });
        WaitUntil([this] { return ui_.Invoke([this] { return dialog_->Window(); }) != nullptr; });
        window_ = ui_.Invoke([this] { return dialog_->Window(); });
    }

    ~RunningDialog() {
        // A box may still open after the first round (a message sent before the end), so
        // keep closing until the modal loop has really ended.
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!ended_) {
            if (std::chrono::steady_clock::now() > deadline) {
                AbandonTestProgram("the dialog under test did not end");
            }
            EndAll();
            WaitUntil([this] { return ended_.load(); }, 200ms);
        }
    }
    RunningDialog(const RunningDialog&) = delete;
    RunningDialog& operator=(const RunningDialog&) = delete;

    HWND Window() const noexcept { return window_; }
    HWND Item(int id) const noexcept { return ::GetDlgItem(window_, id); }

    // Runs `read(dialog)` on the UI thread, where the dialog's members live.
    template <class Read>
    auto Members(Read&& read) {
        return ui_.Invoke([&] { return read(*dialog_); });
    }

    bool WaitEnded(std::chrono::milliseconds timeout = 10s) {
        return WaitUntil([this] { return ended_.load(); }, timeout);
    }
    bool Ended() const noexcept { return ended_; }
    INT_PTR Result() const noexcept { return result_; }
    std::exception_ptr Failure() const { return ended_ ? failure_ : nullptr; }

    // Closes every dialog box of the UI thread, the dialog under test last.
    void EndAll() {
        ui_.Invoke([this] {
            for (HWND box : DialogBoxes(ui_.Id())) {
                if (box != window_) {
                    ::EndDialog(box, IDCANCEL);
                }
            }
            if (dialog_->Window() != nullptr) {
                ::EndDialog(dialog_->Window(), IDCANCEL);
            }
        });
    }

  private:
    UiThread& ui_;
    std::unique_ptr<D> dialog_;
    HWND window_ = nullptr;
    std::atomic<bool> ended_{false};
    std::atomic<INT_PTR> result_{0};
    std::exception_ptr failure_;
};

}  // namespace testing_ui
