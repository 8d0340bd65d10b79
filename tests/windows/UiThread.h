#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <optional>
#include <type_traits>

namespace testing_ui {

// A thread of its own for the windows under test, like the program's main thread: the test
// thread drives them from outside through messages, as the user's input would.
class UiThread {
  public:
    UiThread();
    ~UiThread();

    DWORD Id() const noexcept { return id_; }
    // Runs `task` there and waits for it (served inside modal loops too).
    template <class Task>
    auto Invoke(Task&& task) -> std::invoke_result_t<Task&> {
        if constexpr (std::is_void_v<std::invoke_result_t<Task&>>) {
            Call([&] { task(); });
        } else {
            std::optional<std::invoke_result_t<Task&>> result;
            Call([&] { result.emplace(task()); });
            return std::move(*result);
        }
    }
    // Queues `task` behind what is already posted there; for actions that open a modal window.
    void Post(std::function<void()> task);
    // Returns once everything posted there before this call has been handled.
    void Drain();

  private:
    void Call(const std::function<void()>& task);

    HANDLE thread_ = nullptr;
    DWORD id_ = 0;
    std::atomic<HWND> window_{nullptr};
};

}  // namespace testing_ui
