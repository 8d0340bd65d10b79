#pragma once

#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <utility>

namespace win32 {

// Owns one handle and gives it back to the system exactly once. Move-only.
template <class Traits>
class UniqueHandle {
  public:
    using Pointer = typename Traits::Pointer;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Pointer handle) noexcept : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    Pointer Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::Invalid(); }

    Pointer Release() noexcept { return std::exchange(handle_, Traits::Invalid()); }
    void Reset(Pointer handle = Traits::Invalid()) noexcept {
        const Pointer old = std::exchange(handle_, handle);
        if (old != Traits::Invalid()) {
            Traits::Close(old);
        }
    }

  private:
    Pointer handle_ = Traits::Invalid();
};

struct KernelHandleTraits {
    using Pointer = HANDLE;
    static Pointer Invalid() noexcept { return nullptr; }
    static void Close(Pointer handle) noexcept { ::CloseHandle(handle); }
};

// CreateFileW reports failure with INVALID_HANDLE_VALUE, not null.
struct FileHandleTraits {
    using Pointer = HANDLE;
    static Pointer Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Pointer handle) noexcept { ::CloseHandle(handle); }
};

struct IconTraits {
    using Pointer = HICON;
    static Pointer Invalid() noexcept { return nullptr; }
    static void Close(Pointer icon) noexcept { ::DestroyIcon(icon); }
};

struct GdiObjectTraits {
    using Pointer = HGDIOBJ;
    static Pointer Invalid() noexcept { return nullptr; }
    static void Close(Pointer object) noexcept { ::DeleteObject(object); }
};

struct MemoryDcTraits {
    using Pointer = HDC;
    static Pointer Invalid() noexcept { return nullptr; }
    static void Close(Pointer dc) noexcept { ::DeleteDC(dc); }
};

// The files of a WM_DROPFILES message.
struct DropTraits {
    using Pointer = HDROP;
    static Pointer Invalid() noexcept { return nullptr; }
    static void Close(Pointer drop) noexcept { ::DragFinish(drop); }
};

using ThreadHandle = UniqueHandle<KernelHandleTraits>;
using EventHandle = UniqueHandle<KernelHandleTraits>;
using FileHandle = UniqueHandle<FileHandleTraits>;
using IconHandle = UniqueHandle<IconTraits>;
using GdiObject = UniqueHandle<GdiObjectTraits>;
using MemoryDc = UniqueHandle<MemoryDcTraits>;
using DropHandle = UniqueHandle<DropTraits>;

// A window's device context from GetDC, released to the same window.
class WindowDc {
  public:
    explicit WindowDc(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
    WindowDc(WindowDc&& other) noexcept
        : window_(std::exchange(other.window_, nullptr)), dc_(std::exchange(other.dc_, nullptr)) {}
    WindowDc& operator=(WindowDc&&) = delete;
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_ != nullptr) {
            ::ReleaseDC(window_, dc_);
        }
    }

    HDC Get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

  private:
    HWND window_;
    HDC dc_;
};

// BeginPaint/EndPaint around one WM_PAINT.
class PaintDc {
  public:
    explicit PaintDc(HWND window) noexcept : window_(window), dc_(::BeginPaint(window, &paint_)) {}
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    ~PaintDc() { ::EndPaint(window_, &paint_); }

    HDC Get() const noexcept { return dc_; }

  private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// Selects an object into a DC and puts the previous one back, so the object can be deleted.
class SelectedObject {
  public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept
        : dc_(dc), previous_(::SelectObject(dc, object)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        // HGDI_ERROR itself converts a negative number, which -Wsign-conversion refuses on 64 bits.
        if (previous_ != nullptr && previous_ != reinterpret_cast<HGDIOBJ>(~std::uintptr_t{0})) {
            ::SelectObject(dc_, previous_);
        }
    }

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace win32
