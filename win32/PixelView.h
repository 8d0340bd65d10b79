#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace win32 {

// A picture of palette indices, rows top first.
struct PixelImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> indices;  // width x height
    std::vector<COLORREF> palette;      // at most 256
    // Lines between cells every gridWidth x gridHeight pixels of the image (0: none); not
    // whole numbers when the image holds a sample of a bigger picture's pixels.
    double gridWidth = 0;
    double gridHeight = 0;
    COLORREF gridColour = 0;
};

// The window class of a control that shows a PixelImage centred, each pixel a square of the
// largest whole size that fits, so pixels stay crisp. Dialog templates name it by this class.
inline constexpr wchar_t kPixelViewClass[] = L"RastellePixelView";

// Registers the class for this program; repeated calls are harmless.
void RegisterPixelView() noexcept;

// Shows `image` in the control (an empty one shows nothing) and repaints it.
void SetPixelImage(HWND view, PixelImage image);

}  // namespace win32
