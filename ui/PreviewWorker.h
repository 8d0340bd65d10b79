#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/ConversionSettings.h"
#include "picture/GeometryStage.h"
#include "win32/Handles.h"
#include "win32/PixelView.h"

// Posted to the dialog when a preview is ready to be taken.
constexpr UINT WM_PREVIEW_READY = WM_APP + 4;

struct PreviewRequest {
    std::wstring inputFile;
    rastelle::ConversionSettings settings;
    rastelle::GeometrySettings geometry;
    bool trim = false;
    std::int32_t maxWidth = 0;  // the room the preview has, in screen pixels
    std::int32_t maxHeight = 0;
};

// Makes the preview of the newest request on a thread of its own, so the window never waits
// for a big image. A new request ends the work on an older one between rows: the latest one
// wins. The image stays open from one request to the next for the same file.
class PreviewWorker {
  public:
    explicit PreviewWorker(HWND dialog);
    ~PreviewWorker();
    PreviewWorker(const PreviewWorker&) = delete;
    PreviewWorker& operator=(const PreviewWorker&) = delete;

    void Request(PreviewRequest request);
    // On WM_PREVIEW_READY: the newest request's picture (empty when its file does not open),
    // or nothing when that is not ready yet.
    std::optional<win32::PixelImage> Take();

    struct Shared;

  private:
    std::unique_ptr<Shared> shared_;  // outlives the thread, which the destructor ends
    win32::ThreadHandle thread_;
};
