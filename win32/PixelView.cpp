#include "PixelView.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "Handles.h"

namespace win32 {
namespace {

constexpr UINT kSetImage = WM_USER + 1;  // lParam: the PixelImage to take over

// The header of an 8-bit device-independent bitmap with its palette.
struct BitmapInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};

// What the control keeps: the image with its rows padded as a DIB needs them, and the DIB's
// header, made once per image rather than for every paint.
struct ViewState {
    PixelImage image;
    BitmapInfo info{};
};

BitmapInfo MakeBitmapInfo(const PixelImage& image) {
    BitmapInfo info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = image.width;
    info.header.biHeight = -image.height;  // top row first
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biCompression = BI_RGB;
    info.header.biClrUsed = static_cast<DWORD>(std::min<std::size_t>(image.palette.size(), 256));
    for (DWORD i = 0; i < info.header.biClrUsed; ++i) {
        const COLORREF colour = image.palette[i];
        info.colours[i] = {GetBValue(colour), GetGValue(colour), GetRValue(colour), 0};
    }
    return info;
}

ViewState* State(HWND view) {
    return reinterpret_cast<ViewState*>(::GetWindowLongPtrW(view, GWLP_USERDATA));
}

int Scale(const PixelImage& image, const RECT& client) {
    if (image.width <= 0 || image.height <= 0) {
        return 1;
    }
    return std::max<LONG>(1, std::min((client.right - client.left) / image.width,
                                      (client.bottom - client.top) / image.height));
}

void Paint(HWND view, HDC dc) {
    RECT client{};
    ::GetClientRect(view, &client);
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
    const ViewState* state = State(view);
    if (state == nullptr || state->image.width <= 0 || state->image.height <= 0) {
        return;
    }
    const PixelImage& image = state->image;
    const int scale = Scale(image, client);
    const int width = image.width * scale;
    const int height = image.height * scale;
    const int left = (client.right - width) / 2;
    const int top = (client.bottom - height) / 2;

    // Whole factors with COLORONCOLOR repeat each pixel exactly: no smoothing.
    ::SetStretchBltMode(dc, COLORONCOLOR);
    ::StretchDIBits(dc, left, top, width, height, 0, 0, image.width, image.height,
                    image.indices.data(), reinterpret_cast<const BITMAPINFO*>(&state->info),
                    DIB_RGB_COLORS, SRCCOPY);

    if (image.gridWidth <= 0 || image.gridHeight <= 0) {
        return;
    }
    const GdiObject pen(::CreatePen(PS_SOLID, 1, image.gridColour));
    const SelectedObject selected(dc, pen.Get());
    for (int k = 1; k * image.gridWidth < image.width; ++k) {
        const int x = left + static_cast<int>(std::lround(k * image.gridWidth * scale));
        ::MoveToEx(dc, x, top, nullptr);
        ::LineTo(dc, x, top + height);
    }
    for (int k = 1; k * image.gridHeight < image.height; ++k) {
        const int y = top + static_cast<int>(std::lround(k * image.gridHeight * scale));
        ::MoveToEx(dc, left, y, nullptr);
        ::LineTo(dc, left + width, y);
    }
}

LRESULT CALLBACK ViewProcedure(HWND view, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_NCCREATE:
            ::SetWindowLongPtrW(view, GWLP_USERDATA,
                                reinterpret_cast<LONG_PTR>(new (std::nothrow) ViewState));
            break;
        case WM_NCDESTROY:
            delete State(view);
            ::SetWindowLongPtrW(view, GWLP_USERDATA, 0);
            break;
        case kSetImage:
            if (ViewState* state = State(view)) {
                state->image = std::move(*reinterpret_cast<PixelImage*>(lParam));
                state->info = MakeBitmapInfo(state->image);
            }
            ::InvalidateRect(view, nullptr, FALSE);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // painted whole in WM_PAINT
        case WM_PAINT: {
            const PaintDc dc(view);
            Paint(view, dc.Get());
            return 0;
        }
        case WM_PRINTCLIENT:
            Paint(view, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_SIZE:
            ::InvalidateRect(view, nullptr, FALSE);
            break;
        default:
            break;
    }
    return ::DefWindowProcW(view, message, wParam, lParam);
}

}  // namespace

void RegisterPixelView() noexcept {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &ViewProcedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kPixelViewClass;
    ::RegisterClassW(&windowClass);  // fails harmlessly once registered
}

void SetPixelImage(HWND view, PixelImage image) {
    // The device-independent bitmap wants every row padded to whole 32-bit words.
    const auto stride = static_cast<std::size_t>((image.width + 3) / 4 * 4);
    if (stride != static_cast<std::size_t>(image.width) && image.height > 0) {
        std::vector<std::uint8_t> padded(stride * static_cast<std::size_t>(image.height));
        for (std::size_t y = 0; y < static_cast<std::size_t>(image.height); ++y) {
            const auto from =
                image.indices.begin() +
                static_cast<std::ptrdiff_t>(y * static_cast<std::size_t>(image.width));
            std::copy(from, from + image.width,
                      padded.begin() + static_cast<std::ptrdiff_t>(y * stride));
        }
        image.indices = std::move(padded);
    }
    ::SendMessageW(view, kSetImage, 0, reinterpret_cast<LPARAM>(&image));
}

}  // namespace win32
