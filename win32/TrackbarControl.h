#pragma once

#include <windows.h>

namespace win32 {

// A trackbar ("msctls_trackbar32") of a dialog, bound by the data exchange.
class TrackbarControl {
  public:
    HWND Window() const noexcept { return window_; }
    void Attach(HWND window) noexcept { window_ = window; }

    void SetRange(int minimum, int maximum, bool redraw) const noexcept;
    int RangeMinimum() const noexcept;
    int RangeMaximum() const noexcept;
    int Position() const noexcept;
    void SetPosition(int position, bool redraw) const noexcept;

  private:
    HWND window_ = nullptr;
};

}  // namespace win32
