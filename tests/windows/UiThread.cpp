#include "UiThread.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace testing_ui {
namespace {

constexpr UINT kInvoke = WM_APP + 1;
constexpr UINT kPosted = WM_APP + 2;
constexpr wchar_t kClassName[] = L"RastelleTestUiThread";

struct Invocation {
    const std::function<void()>* task;
    std::exception_ptr failure;
};

}  // namespace

UiThread::UiThread() : ready_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    thread_.Reset(::CreateThread(nullptr, 0, &UiThread::Main, this, 0, &id_));
    if (!thread_ || ::WaitForSingleObject(ready_.Get(), 20000) != WAIT_OBJECT_0 ||
        window_ == nullptr) {
        throw std::runtime_error("the UI thread did not start");
    }
}

UiThread::~UiThread() {
    // WM_QUIT also ends any modal loop still running there.
    ::PostThreadMessageW(id_, WM_QUIT, 0, 0);
    if (::WaitForSingleObject(thread_.Get(), 20000) != WAIT_OBJECT_0) {
        std::fputs("UI thread did not end within 20 s\n", stderr);
        std::fflush(stderr);
        ::ExitProcess(3);
    }
}

DWORD WINAPI UiThread::Main(void* parameter) noexcept {
    auto* self = static_cast<UiThread*>(parameter);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &UiThread::Procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    ::RegisterClassExW(&windowClass);  // fails harmlessly when an earlier thread registered it
    self->window_ = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      ::GetModuleHandleW(nullptr), self);
    ::SetWindowLongPtrW(self->window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    ::SetEvent(self->ready_.Get());
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    ::DestroyWindow(self->window_);
    return 0;
}

LRESULT CALLBACK UiThread::Procedure(HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept {
    if (message == kInvoke) {
        auto* call = reinterpret_cast<Invocation*>(lParam);
        try {
            (*call->task)();
        } catch (...) {
            call->failure = std::current_exception();
        }
        return 1;
    }
    if (message == kPosted) {
        std::unique_ptr<std::function<void()>> task(
            reinterpret_cast<std::function<void()>*>(lParam));
        auto* self = reinterpret_cast<UiThread*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        try {
            (*task)();
        } catch (...) {
            self->Keep(std::current_exception());
        }
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void UiThread::Call(const std::function<void()>& task) {
    Invocation call{&task, nullptr};
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(window_, kInvoke, 0, reinterpret_cast<LPARAM>(&call), SMTO_NORMAL,
                               20000, &result)) {
        std::fputs("UI thread did not answer within 20 s\n", stderr);
        std::fflush(stderr);
        ::ExitProcess(3);
    }
    if (call.failure) {
        std::rethrow_exception(call.failure);
    }
}

void UiThread::Post(std::function<void()> task) {
    auto owned = std::make_unique<std::function<void()>>(std::move(task));
    if (::PostMessageW(window_, kPosted, 0, reinterpret_cast<LPARAM>(owned.get()))) {
        owned.release();
    } else {
        throw std::runtime_error("could not post to the UI thread");
    }
}

void UiThread::Keep(std::exception_ptr failure) {
    std::lock_guard lock(mutex_);
    if (!failure_) {
        failure_ = std::move(failure);
    }
}

std::exception_ptr UiThread::TakeFailure() {
    std::lock_guard lock(mutex_);
    return std::exchange(failure_, nullptr);
}

}  // namespace testing_ui
