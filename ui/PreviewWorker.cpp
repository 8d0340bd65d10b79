#include "PreviewWorker.h"

#include <atomic>
#include <filesystem>
#include <mutex>

#include "conversion/Conversion.h"

struct PreviewWorker::Shared {
    HWND dialog = nullptr;
    win32::EventHandle wake{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    std::atomic<unsigned> generation{0};  // of the newest request
    std::atomic<bool> stopping{false};
    std::mutex mutex;
    std::optional<PreviewRequest> pending;    // guarded by mutex, as is what follows
    std::optional<win32::PixelImage> result;  // of the newest request; a new one clears it
};

namespace {

// The palette's indices are the engine's tones; transparent pixels take that index and the
// next one, a checkerboard of two greys.
constexpr auto kClearLight = static_cast<std::uint8_t>(rastelle::PreviewTone::Transparent);

win32::PixelImage ToImage(const rastelle::PicturePreview& preview) {
    win32::PixelImage image;
    image.width = preview.width;
    image.height = preview.height;
    image.indices.resize(preview.tones.size());
    for (std::size_t i = 0; i < preview.tones.size(); ++i) {
        const auto tone = static_cast<std::uint8_t>(preview.tones[i]);
        const std::size_t x = i % static_cast<std::size_t>(preview.width);
        const std::size_t y = i / static_cast<std::size_t>(preview.width);
        image.indices[i] = preview.tones[i] == rastelle::PreviewTone::Transparent
                               ? static_cast<std::uint8_t>(kClearLight + (x + y) % 2)
                               : tone;
    }
    // White paper, black ink; fill in blue tints; transparent pixels a grey checkerboard.
    image.palette = {RGB(255, 255, 255), RGB(0, 0, 0),       RGB(200, 220, 255),
                     RGB(0, 40, 140),    RGB(204, 204, 204), RGB(153, 153, 153)};
    if (preview.cellWidth > 0) {
        image.gridWidth = static_cast<double>(preview.cellWidth) / preview.step;
        image.gridHeight = static_cast<double>(preview.cellHeight) / preview.step;
        image.gridColour = RGB(230, 40, 40);
    }
    return image;
}

// `parameter` is the worker's Shared, which outlives the thread: the worker waits for it.
DWORD WINAPI PreviewThread(LPVOID parameter) noexcept {
    auto* const shared = static_cast<PreviewWorker::Shared*>(parameter);
    std::unique_ptr<rastelle::ImageSource> source;
    std::wstring openFile;
    while (::WaitForSingleObject(shared->wake.Get(), INFINITE) == WAIT_OBJECT_0 &&
           !shared->stopping) {
        std::optional<PreviewRequest> request;
        unsigned generation = 0;
        {
            const std::lock_guard lock(shared->mutex);
            request.swap(shared->pending);
            generation = shared->generation;
        }
        if (!request) {
            continue;
        }
        const auto superseded = [&] {
            return shared->stopping || shared->generation != generation;
        };
        win32::PixelImage image;
        try {
            if (!source || request->inputFile != openFile) {
                openFile = request->inputFile;
                source = std::make_unique<rastelle::ImageSource>();
                if (openFile.empty() || !source->Open(std::filesystem::path(openFile)).opened) {
                    source.reset();
                }
            }
            rastelle::PicturePreview preview;
            if (source && !rastelle::PreviewPicture(*source, request->geometry, request->trim,
                                                    request->settings, request->maxWidth,
                                                    request->maxHeight, superseded, preview)) {
                continue;
            }
            image = ToImage(preview);
        } catch (...) {
            // Out of memory: the preview shows nothing rather than an old picture.
            source.reset();
            openFile.clear();
            image = {};
        }
        {
            const std::lock_guard lock(shared->mutex);
            if (superseded()) {
                continue;
            }
            shared->result = std::move(image);
        }
        ::PostMessageW(shared->dialog, WM_PREVIEW_READY, 0, 0);
    }
    return 0;
}

}  // namespace

PreviewWorker::PreviewWorker(HWND dialog) : shared_(std::make_unique<Shared>()) {
    shared_->dialog = dialog;
    thread_.Reset(::CreateThread(nullptr, 0, PreviewThread, shared_.get(), 0, nullptr));
    if (thread_) {
        // The window's own thread comes first whenever both want the processor.
        ::SetThreadPriority(thread_.Get(), THREAD_PRIORITY_BELOW_NORMAL);
    }
}

PreviewWorker::~PreviewWorker() {
    shared_->stopping = true;
    ::SetEvent(shared_->wake.Get());
    if (thread_) {
        ::WaitForSingleObject(thread_.Get(), INFINITE);
    }
}

void PreviewWorker::Request(PreviewRequest request) {
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->pending = std::move(request);
        shared_->result.reset();
        ++shared_->generation;
    }
    ::SetEvent(shared_->wake.Get());
}

std::optional<win32::PixelImage> PreviewWorker::Take() {
    const std::lock_guard lock(shared_->mutex);
    return std::exchange(shared_->result, std::nullopt);
}
