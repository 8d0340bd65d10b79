#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "common/TextSize.h"
#include "image/ImageSource.h"
#include "image/bmp/BmpHeaders.h"
#include "image/jpeg/JpegImage.h"
#include "image/stb/StbLibrary.h"
#include "text/RowEncoder.h"

namespace {

// Encoding big images is slow and finds nothing new.
constexpr std::int64_t kMaxEncodedPixels = 1 << 16;
// Animated GIFs: the first frames show how frames build on each other, and going back.
constexpr std::int32_t kMaxFrames = 4;

// RLE images are expanded and library images decoded whatever their data holds; huge ones
// only slow the search.
bool TooBigToDecodeQuickly(const std::uint8_t* data, std::size_t size) {
    std::int64_t pixels = 0;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
        const auto layout = rastelle::ParseHeaders({data, size});
        pixels = layout.ok() ? std::int64_t{layout.value().width} * layout.value().height : 0;
    } else if (rastelle::IsJpeg({data, size})) {
        // Data that decodes without a fault is followed to the end: a big picture of it takes
        // the library tens of milliseconds and covers nothing new of ours.
        pixels = 4 * rastelle::JpegImage::HeaderPixels({data, size});
    } else {
        const rastelle::stb::Info info = rastelle::stb::ReadInfo({data, size});
        pixels = info.width * info.height;
    }
    return pixels > 16 * kMaxEncodedPixels;
}

void Convert(const rastelle::ImageSource& image, std::uint8_t pick, std::uint8_t threshold) {
    const std::int64_t width = image.Width();
    const std::int64_t height = image.Height();
    if (width <= 0 || height < 0 || width * height > kMaxEncodedPixels) {
        return;
    }
    rastelle::ConversionSettings settings;
    settings.fill = static_cast<rastelle::FillMode>(static_cast<int>(pick % 3) - 1);
    settings.centre = (pick & 4) != 0;
    settings.widthUnit = rastelle::WidthUnit::Bits;
    settings.threshold = threshold;

    if (rastelle::EncodeImage(image, settings).size() !=
        rastelle::TextSize(width, height, settings.fill)) {
        std::abort();
    }
    // ColourAt must agree with the row it belongs to.
    std::vector<rastelle::Colour> row(static_cast<std::size_t>(width));
    for (std::int32_t y = 0; y < image.Height(); ++y) {
        image.ReadRow(y, row);
        for (std::int32_t x = 0; x < image.Width(); ++x) {
            if (image.ColourAt(x, y) != row[static_cast<std::size_t>(x)]) {
                std::abort();
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // For long runs on one decoder: the fuzzer soon turns JPEG seeds into big BMPs too.
    static const bool jpegOnly = std::getenv("RASTELLE_FUZZ_JPEG_ONLY") != nullptr;
    if ((jpegOnly && !rastelle::IsJpeg({data, size})) || TooBigToDecodeQuickly(data, size)) {
        return 0;
    }
    rastelle::ImageSource image;
    const rastelle::DecodeError error = image.OpenBytes({data, data + size});
    if (error.kind != rastelle::DecodeErrorKind::None) {
        if (error.message.empty()) {
            std::abort();  // every refusal says why
        }
        return 0;
    }
    // The last bytes pick the settings, so the fuzzer can steer them.
    const std::uint8_t pick = size > 0 ? data[size - 1] : 0;
    const std::uint8_t threshold = size > 1 ? data[size - 2] : 128;
    const std::int32_t frames = image.FrameCount() < kMaxFrames ? image.FrameCount() : kMaxFrames;
    for (std::int32_t frame = 0; frame < frames; ++frame) {
        const rastelle::DecodeError selected = image.SelectFrame(frame);
        if (selected.kind != rastelle::DecodeErrorKind::None) {
            if (selected.message.empty() || image.SelectedFrame() != frame - 1) {
                std::abort();  // a frame that fails says why and leaves the last one shown
            }
            return 0;
        }
        Convert(image, pick, threshold);
    }
    if (frames > 1 && image.SelectFrame(0).kind != rastelle::DecodeErrorKind::None) {
        std::abort();  // the first frame decoded once, so it decodes again
    }
    return 0;
}
