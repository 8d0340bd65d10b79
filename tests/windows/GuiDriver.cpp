#include "GuiDriver.h"

#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "win32/Window.h"

namespace testing_ui {

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        ::Sleep(5);
    }
}

void AbandonTestProgram(const char* reason) {
    std::fprintf(stderr, "giving up: %s\n", reason);
    std::fflush(stderr);
    ::ExitProcess(3);
}

std::wstring Text(HWND window) {
    return win32::WindowText(window);
}

bool IsChecked(HWND button) {
    return ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool IsEnabled(HWND window) {
    return ::IsWindowEnabled(window) != FALSE;
}

void Click(HWND button) {
    ::SendMessageW(button, BM_CLICK, 0, 0);
}

void PostClick(HWND button) {
    ::PostMessageW(button, BM_CLICK, 0, 0);
}

void Type(HWND target, std::wstring_view text) {
    for (const wchar_t c : text) {
        ::SendMessageW(target, WM_CHAR, c, 1);
    }
}

void PostType(HWND target, std::wstring_view text) {
    for (const wchar_t c : text) {
        ::PostMessageW(target, WM_CHAR, c, 1);
    }
}

void PostKey(HWND target, UINT virtualKey) {
    const UINT scanCode = ::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    const auto down = static_cast<LPARAM>(1u | (scanCode << 16));
    const auto up = static_cast<LPARAM>(down | (1 << 30) | static_cast<LPARAM>(1u << 31));
    ::PostMessageW(target, WM_KEYDOWN, virtualKey, down);
    ::PostMessageW(target, WM_KEYUP, virtualKey, up);
}

void SelectAll(HWND edit) {
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
}

void MoveTrackbarWithKeys(HWND dialog, HWND trackbar, int position) {
    Focus(dialog, trackbar);
    ::SendMessageW(trackbar, WM_KEYDOWN, VK_HOME, 0);
    for (int i = 0; i < position; ++i) {
        ::SendMessageW(trackbar, WM_KEYDOWN, VK_RIGHT, 0);
    }
}

void TypeOver(HWND dialog, HWND control, std::wstring_view text) {
    Focus(dialog, control);
    SelectAll(control);
    Type(control, text);
}

void Focus(HWND dialog, HWND control) {
    ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

HWND FocusedWindow(DWORD thread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return ::GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

namespace {

bool IsDialogBox(HWND window) {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    return std::wstring_view(name) == L"#32770";
}

BOOL CALLBACK CollectDialogBox(HWND window, LPARAM boxes) noexcept {
    if (IsDialogBox(window)) {
        reinterpret_cast<std::vector<HWND>*>(boxes)->push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM children) noexcept {
    reinterpret_cast<std::vector<HWND>*>(children)->push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> DialogBoxes(DWORD thread) {
    std::vector<HWND> boxes;
    ::EnumThreadWindows(thread, &CollectDialogBox, reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

std::vector<HWND> OwnedDialogBoxes(DWORD thread, HWND owner) {
    std::vector<HWND> owned;
    for (HWND box : DialogBoxes(thread)) {
        if (::IsWindowVisible(box) && ::GetWindow(box, GW_OWNER) == owner) {
            owned.push_back(box);
        }
    }
    return owned;
}

HWND WaitForDialogBox(DWORD thread, HWND owner, std::wstring_view caption,
                      std::chrono::milliseconds timeout) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND box : OwnedDialogBoxes(thread, owner)) {
                if (Text(box) == caption) {
                    found = box;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

std::vector<std::wstring> StaticTexts(HWND box) {
    std::vector<HWND> children;
    ::EnumChildWindows(box, &CollectChild, reinterpret_cast<LPARAM>(&children));
    std::vector<std::wstring> texts;
    for (HWND child : children) {
        wchar_t name[16] = {};
        ::GetClassNameW(child, name, 16);
        const auto style = static_cast<DWORD>(::GetWindowLongW(child, GWL_STYLE));
        if (_wcsicmp(name, L"Static") == 0 && (style & SS_TYPEMASK) != SS_ICON &&
            !Text(child).empty()) {
            texts.push_back(Text(child));
        }
    }
    return texts;
}

RECT ClientRectOf(HWND dialog, HWND control) {
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT DialogUnits(HWND dialog, int x, int y, int width, int height) {
    // Position and size are converted separately, as the dialog manager does.
    RECT units{x, y, width, height};
    ::MapDialogRect(dialog, &units);
    return RECT{units.left, units.top, units.left + units.right, units.top + units.bottom};
}

namespace {

std::mutex g_spyMutex;
HWND g_spied = nullptr;
std::vector<std::pair<int, WORD>> g_commands;

LRESULT CALLBACK SpyProcedure(int code, WPARAM wParam, LPARAM lParam) noexcept {
    if (code == HC_ACTION) {
        const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (message->message == WM_COMMAND) {
            std::lock_guard lock(g_spyMutex);
            if (message->hwnd == g_spied) {
                g_commands.emplace_back(LOWORD(message->wParam), HIWORD(message->wParam));
            }
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

CommandSpy::CommandSpy(UiThread& ui, HWND window) : ui_(ui) {
    {
        std::lock_guard lock(g_spyMutex);
        g_spied = window;
        g_commands.clear();
    }
    hook_ = ui_.Invoke([] {
        return ::SetWindowsHookExW(WH_CALLWNDPROC, &SpyProcedure, nullptr, ::GetCurrentThreadId());
    });
    if (hook_ == nullptr) {
        throw std::runtime_error("could not hook the UI thread");
    }
}

CommandSpy::~CommandSpy() {
    ui_.Invoke([this] { ::UnhookWindowsHookEx(hook_); });
    std::lock_guard lock(g_spyMutex);
    g_spied = nullptr;
}

bool CommandSpy::Saw(int id, WORD notification) const {
    std::lock_guard lock(g_spyMutex);
    for (const auto& [seenId, seenNotification] : g_commands) {
        if (seenId == id && seenNotification == notification) {
            return true;
        }
    }
    return false;
}

}  // namespace testing_ui

namespace testing_ui {

void CommandSpy::Clear() {
    std::lock_guard lock(g_spyMutex);
    g_commands.clear();
}

}  // namespace testing_ui
