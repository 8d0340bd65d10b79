#include "ControlAnchors.h"

namespace win32 {

void ControlAnchors::Begin(HWND dialog) {
    dialog_ = dialog;
    RECT client{};
    ::GetClientRect(dialog, &client);
    start_ = {client.right, client.bottom};
    anchors_.clear();
}

void ControlAnchors::Add(HWND control, int moveX, int moveY, int growX, int growY) {
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&rect), 2);
    anchors_.push_back({control, rect, moveX, moveY, growX, growY});
}

void ControlAnchors::Apply() const {
    RECT client{};
    ::GetClientRect(dialog_, &client);
    // Never smaller than the template: the controls would overlap.
    const LONG dx = client.right > start_.cx ? client.right - start_.cx : 0;
    const LONG dy = client.bottom > start_.cy ? client.bottom - start_.cy : 0;
    HDWP positions = ::BeginDeferWindowPos(static_cast<int>(anchors_.size()));
    for (const Anchor& anchor : anchors_) {
        const RECT& r = anchor.start;
        const int left = r.left + dx * anchor.moveX / 100;
        const int top = r.top + dy * anchor.moveY / 100;
        const int width = r.right - r.left + dx * anchor.growX / 100;
        const int height = r.bottom - r.top + dy * anchor.growY / 100;
        if (positions != nullptr) {
            positions = ::DeferWindowPos(positions, anchor.control, nullptr, left, top, width,
                                         height, SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    if (positions != nullptr) {
        ::EndDeferWindowPos(positions);
    }
}

}  // namespace win32
