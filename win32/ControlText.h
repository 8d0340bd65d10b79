#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace win32 {

// A dialog member for an edit control whose text may run to megabytes. Once exchanged, the
// member is what the control shows and the control alone keeps it, so taking and showing it
// copy nothing. A value the program assigns is held until the next exchange shows it.
class ControlText {
  public:
    ControlText() = default;
    explicit ControlText(std::wstring text) : assigned_(std::move(text)) {}
    ControlText& operator=(std::wstring text) {
        assigned_ = std::move(text);
        return *this;
    }

    void clear() { assigned_.emplace(); }
    std::size_t size() const;
    bool empty() const { return size() == 0; }
    // A copy of the whole text.
    std::wstring str() const;
    friend bool operator==(const ControlText& text, std::wstring_view other);

    // The exchange: saving makes the member the control's text; showing puts an assigned
    // value into the control.
    void Take(HWND control) noexcept;
    void Show(HWND control);

  private:
    HWND control_ = nullptr;
    std::optional<std::wstring> assigned_{std::in_place};
};

}  // namespace win32
