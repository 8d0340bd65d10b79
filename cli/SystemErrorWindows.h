#pragma once

#include <string>

namespace rastelle::cli {

// The reason for a Windows error code, in the words the Linux build takes from strerror for
// the same cause, so that messages and the tests reading them are the same on both.
std::string SystemErrorText(unsigned long error);

// Owns one Windows file handle and closes it exactly once.
class Handle {
  public:
    Handle() = default;
    explicit Handle(void* handle) noexcept;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Reset(); }

    void* Get() const noexcept { return handle_; }
    bool IsOpen() const noexcept { return handle_ != nullptr; }
    void Reset() noexcept;

  private:
    void* handle_ = nullptr;
};

}  // namespace rastelle::cli
