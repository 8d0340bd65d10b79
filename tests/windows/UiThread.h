#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

#include "win32/Handles.h"

namespace testing_ui {

// A thread of its own for the windows under test, like the program's main thread: the test
// thread drives them from outside through messages, as the user's input would.
class UiThread {
  public:
    UiThread();
    ~UiThread();
    UiThread(const UiThread&) = delete;
    UiThread& operator=(const UiThread&) = delete;

    DWORD Id() const noexcept { return id_; }

    // Runs `task` on the UI thread and waits for it; its exception is rethrown here. A UI thread
    // that stays busy for 20 s ends the test program: nothing after it could be trusted.
    template <class Task>
    auto Invoke(Task&& task) -> std::invoke_result_t<Task&> {
        using Result = std::invoke_result_t<Task&>;
        if constexpr (std::is_void_v<Result>) {
            Call([&] { task(); });
        } else {
            std::optional<Result> result;
            Call([&] { result.emplace(task()); });
            return std::move(*result);
        }
    }

    // Queues `task` behind the messages already posted to the UI thread and returns at once;
    // for actions that open a modal window. An exception it throws is kept for TakeFailure.
    void Post(std::function<void()> task);

    // The first exception of a posted task, if any.
    std::exception_ptr TakeFailure();

  private:
    static DWORD WINAPI Main(void* self) noexcept;
    static LRESULT CALLBACK Procedure(HWND, UINT, WPARAM, LPARAM) noexcept;
    void Call(const std::function<void()>& task);
    void Keep(std::exception_ptr failure);

    win32::ThreadHandle thread_;
    DWORD id_ = 0;
    HWND window_ = nullptr;
    win32::EventHandle ready_;
    std::mutex mutex_;
    std::exception_ptr failure_;
};

}  // namespace testing_ui
