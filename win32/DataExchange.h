#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace win32 {

class ControlText;
class TrackbarControl;

// One pass of a dialog's members against its controls. Saving takes each control's state into
// its member; otherwise each member is shown in its control, touching only controls whose state
// differs. A failing member keeps its value, the user is told, and the pass goes on.
class DataExchange {
  public:
    DataExchange(HWND dialog, bool saving) noexcept : dialog_(dialog), saving_(saving) {}

    bool Saving() const noexcept { return saving_; }
    bool Failed() const noexcept { return failed_; }

    void Text(int id, std::wstring& value);
    void Text(int id, ControlText& value);
    // Decimal 0..255.
    void Text(int id, std::uint8_t& value);
    // BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
    void Check(int id, int& value);
    // Index of the checked radio button among those of the group that begins at `firstId`,
    // -1 when none is checked.
    void Radio(int firstId, int& value);
    // Index of the selected item of a combo box, -1 when none is.
    void ComboIndex(int id, int& value);
    void Control(int id, TrackbarControl& control);

  private:
    HWND Item(int id) const noexcept;
    void State(int id, UINT get, UINT set, int& value);
    void Fail(std::wstring_view message);

    HWND dialog_;
    bool saving_;
    bool failed_ = false;
};

// The number in `text` when it is a decimal from 0 to 255, blanks around it allowed.
std::optional<std::uint8_t> ParseByte(std::wstring_view text) noexcept;

}  // namespace win32
