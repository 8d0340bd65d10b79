#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <optional>
#include <vector>

namespace win32 {

class DataExchange;

// What a message handler returns: a result, or nothing to leave the message to the default
// processing.
using MessageResult = std::optional<LRESULT>;

// A modal dialog over a dialog template. Derived classes fill the handler table in their
// constructor, exchange members with controls in DoDataExchange and run with RunModal.
//
// Work from other threads reaches the dialog through a message to its window: bind a handler for
// a private message (WM_APP and up) and send or post it; the handler runs on the dialog's thread.
class Dialog {
  public:
    Dialog(int templateId, HWND parent) noexcept : templateId_(templateId), parent_(parent) {}
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Creates the window, runs its modal loop and returns the value given to End (-1 when the
    // window could not be created). An exception thrown by a handler ends the loop and is
    // rethrown here, so none crosses the dialog procedure.
    INT_PTR RunModal();
    void End(INT_PTR result) noexcept;

    HWND Window() const noexcept { return window_; }
    HWND Item(int id) const noexcept { return ::GetDlgItem(window_, id); }

    // Saving takes every control into its member, otherwise every member is shown in its
    // control. Returns false when a member failed (the user has been told). While it runs on the
    // dialog's own thread, the controls' notifications are not dispatched to the handlers.
    bool UpdateData(bool saving);

  protected:
    // Runs a first UpdateData(false); returning true lets the system focus the first control.
    virtual bool OnInitDialog();
    virtual void DoDataExchange(DataExchange& exchange);
    // IDOK: takes the controls and ends the dialog when that succeeds.
    virtual void OnOK();
    // IDCANCEL (Escape, the close box): ends the dialog.
    virtual void OnCancel();

    using CommandHandler = std::function<void()>;
    using MessageHandler = std::function<MessageResult(WPARAM, LPARAM)>;

    void BindMessage(UINT message, MessageHandler handler);
    void BindCommand(int controlId, WORD notification, CommandHandler handler);
    void BindClick(int controlId, CommandHandler handler) {
        BindCommand(controlId, BN_CLICKED, std::move(handler));
    }
    void BindEditChange(int controlId, CommandHandler handler) {
        BindCommand(controlId, EN_CHANGE, std::move(handler));
    }
    void BindEditSetFocus(int controlId, CommandHandler handler) {
        BindCommand(controlId, EN_SETFOCUS, std::move(handler));
    }

    // Member-function forms, for a table that reads like a message map.
    template <class Self>
    void BindMessage(UINT message, MessageResult (Self::*handler)(WPARAM, LPARAM)) {
        BindMessage(message, [this, handler](WPARAM wParam, LPARAM lParam) {
            return (static_cast<Self*>(this)->*handler)(wParam, lParam);
        });
    }
    template <class Self>
    void BindCommand(int controlId, WORD notification, void (Self::*handler)()) {
        BindCommand(controlId, notification,
                    CommandHandler([this, handler] { (static_cast<Self*>(this)->*handler)(); }));
    }
    template <class Self>
    void BindClick(int controlId, void (Self::*handler)()) {
        BindCommand(controlId, BN_CLICKED, handler);
    }
    template <class Self>
    void BindEditChange(int controlId, void (Self::*handler)()) {
        BindCommand(controlId, EN_CHANGE, handler);
    }
    template <class Self>
    void BindEditSetFocus(int controlId, void (Self::*handler)()) {
        BindCommand(controlId, EN_SETFOCUS, handler);
    }

  private:
    struct MessageEntry {
        UINT message;
        MessageHandler handler;
    };
    struct CommandEntry {
        int controlId;
        WORD notification;
        CommandHandler handler;
    };

    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam,
                                      LPARAM lParam) noexcept;
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR DispatchCommand(WPARAM wParam, LPARAM lParam);
    INT_PTR Result(UINT message, LRESULT result) noexcept;
    void Centre() noexcept;

    int templateId_;
    HWND parent_;
    HWND window_ = nullptr;
    std::vector<MessageEntry> messages_;
    std::vector<CommandEntry> commands_;
    std::exception_ptr failure_;
};

}  // namespace win32
