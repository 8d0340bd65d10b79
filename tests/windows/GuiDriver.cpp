#include "GuiDriver.h"

#include <cstdio>

#include "win32/Application.h"

namespace testing_ui {
namespace {

constexpr UINT kRunTask = WM_APP + 100;  // lParam: the task; wParam 1: posted, delete it

LRESULT CALLBACK RunTask(HWND window, UINT message, WPARAM posted, LPARAM task) noexcept {
    if (message != kRunTask) {
        return ::DefWindowProcW(window, message, posted, task);
    }
    auto* function = reinterpret_cast<std::function<void()>*>(task);
    const std::unique_ptr<std::function<void()>> owned(posted != 0 ? function : nullptr);
    (*function)();
    return 0;
}

DWORD WINAPI RunTasks(void* window) noexcept {
    HWND tasks = ::CreateWindowW(L"RastelleTestTasks", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 nullptr, nullptr);
    *static_cast<std::atomic<HWND>*>(window) = tasks;
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    ::DestroyWindow(tasks);
    return 0;
}

BOOL CALLBACK CollectDialogBox(HWND window, LPARAM boxes) noexcept {
    if (::GetClassLongW(window, GCW_ATOM) == 32770) {  // the class "#32770"
        reinterpret_cast<std::vector<HWND>*>(boxes)->push_back(window);
    }
    return TRUE;
}

}  // namespace

UiThread::UiThread() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &RunTask;
    windowClass.lpszClassName = L"RastelleTestTasks";
    ::RegisterClassW(&windowClass);   // fails harmlessly once registered
    win32::RegisterCommonControls();  // as the application does before its first dialog
    thread_ = ::CreateThread(nullptr, 0, &RunTasks, &window_, 0, &id_);
    if (thread_ == nullptr || !WaitUntil([this] { return window_ != nullptr; })) {
        AbandonTestProgram("the UI thread did not start");
    }
}

UiThread::~UiThread() {
    ::PostThreadMessageW(id_, WM_QUIT, 0, 0);  // ends any modal loop still running there too
    if (::WaitForSingleObject(thread_, 30000) != WAIT_OBJECT_0) {
        AbandonTestProgram("the UI thread did not end");
    }
    ::CloseHandle(thread_);
}

void UiThread::Call(const std::function<void()>& task) {
    DWORD_PTR ignored = 0;
    if (!::SendMessageTimeoutW(window_, kRunTask, 0, reinterpret_cast<LPARAM>(&task), SMTO_NORMAL,
                               30000, &ignored)) {
        AbandonTestProgram("the UI thread did not answer");
    }
}

void UiThread::Post(std::function<void()> task) {
    auto* posted = new std::function<void()>(std::move(task));
    ::PostMessageW(window_, kRunTask, 1, reinterpret_cast<LPARAM>(posted));
}

void UiThread::Drain() {
    auto done = std::make_shared<std::atomic<bool>>(false);
    Post([done] { *done = true; });
    WaitUntil([&] { return done->load(); });
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    for (const auto end = std::chrono::steady_clock::now() + timeout; !condition(); ::Sleep(5)) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
    }
    return true;
}

void AbandonTestProgram(const char* reason) {
    std::fprintf(stderr, "giving up: %s\n", reason);
    ::ExitProcess(3);
}

void Type(HWND target, std::wstring_view text, bool post) {
    for (const wchar_t c : text) {
        if (post) {
            ::PostMessageW(target, WM_CHAR, c, 1);
        } else {
            ::SendMessageW(target, WM_CHAR, c, 1);
        }
    }
}

void PostKey(HWND target, UINT virtualKey) {
    const UINT down = 1u | ::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC) << 16;
    ::PostMessageW(target, WM_KEYDOWN, virtualKey, static_cast<LPARAM>(down));
    ::PostMessageW(target, WM_KEYUP, virtualKey, static_cast<LPARAM>(down | 0xC0000000u));
}

void TypeOver(HWND dialog, HWND control, std::wstring_view text) {
    Focus(dialog, control);
    ::SendMessageW(control, EM_SETSEL, 0, -1);
    Type(control, text);
}

void MoveTrackbarWithKeys(HWND dialog, HWND trackbar, int position) {
    Focus(dialog, trackbar);
    ::SendMessageW(trackbar, WM_KEYDOWN, VK_HOME, 0);
    for (int i = 0; i < position; ++i) {
        ::SendMessageW(trackbar, WM_KEYDOWN, VK_RIGHT, 0);
    }
}

std::vector<HWND> DialogBoxes(DWORD thread) {
    std::vector<HWND> boxes;
    ::EnumThreadWindows(thread, &CollectDialogBox, reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

HWND WaitForDialogBox(DWORD thread, HWND owner, std::wstring_view caption) {
    HWND found = nullptr;
    WaitUntil([&] {
        for (HWND box : DialogBoxes(thread)) {
            if (::IsWindowVisible(box) && ::GetWindow(box, GW_OWNER) == owner &&
                (caption.empty() || Text(box) == caption)) {
                found = box;
            }
        }
        return found != nullptr;
    });
    return found;
}

std::vector<std::wstring> StaticTexts(HWND box) {
    std::vector<std::wstring> texts;
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[8] = {};
        ::GetClassNameW(child, name, 8);
        if (_wcsicmp(name, L"Static") == 0 && !Text(child).empty()) {
            texts.push_back(Text(child));
        }
    }
    return texts;
}

}  // namespace testing_ui
