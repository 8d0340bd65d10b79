#include "TrackbarControl.h"

#include <commctrl.h>

namespace win32 {

void TrackbarControl::SetRange(int minimum, int maximum, bool redraw) const noexcept {
    const auto range = static_cast<LPARAM>(static_cast<DWORD>(minimum & 0xFFFF) |
                                           (static_cast<DWORD>(maximum & 0xFFFF) << 16));
    ::SendMessageW(window_, TBM_SETRANGE, redraw ? TRUE : FALSE, range);
}

int TrackbarControl::RangeMinimum() const noexcept {
    return static_cast<int>(::SendMessageW(window_, TBM_GETRANGEMIN, 0, 0));
}

int TrackbarControl::RangeMaximum() const noexcept {
    return static_cast<int>(::SendMessageW(window_, TBM_GETRANGEMAX, 0, 0));
}

int TrackbarControl::Position() const noexcept {
    return static_cast<int>(::SendMessageW(window_, TBM_GETPOS, 0, 0));
}

void TrackbarControl::SetPosition(int position, bool redraw) const noexcept {
    ::SendMessageW(window_, TBM_SETPOS, redraw ? TRUE : FALSE, position);
}

}  // namespace win32
