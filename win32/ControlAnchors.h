#pragma once

#include <windows.h>

#include <vector>

namespace win32 {

// Keeps a resizable dialog's controls in place: when the client area grows or shrinks by
// (dx, dy) pixels, each control added moves and grows by its own shares (in percent) of it.
// The starting positions come from the template, laid out in dialog units for the screen's
// DPI, so the layout holds at any DPI.
class ControlAnchors {
  public:
    // Takes the dialog's client size as the starting point.
    void Begin(HWND dialog);
    void Add(HWND control, int moveX, int moveY, int growX, int growY);
    // Lays the controls out for the client size now.
    void Apply() const;

  private:
    struct Anchor {
        HWND control;
        RECT start;
        int moveX, moveY, growX, growY;
    };
    HWND dialog_ = nullptr;
    SIZE start_{};
    std::vector<Anchor> anchors_;
};

}  // namespace win32
