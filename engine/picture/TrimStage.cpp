#include "picture/TrimStage.h"

#include <algorithm>
#include <new>

#include "common/Limits.h"
#include "picture/DigitStage.h"

namespace rastelle {

namespace {

constexpr std::uint8_t kTransparent = 2;

}  // namespace

TrimStage::TrimStage(const PixelSource& source, const ConversionSettings& settings)
    : settings_(settings) {
    const std::int32_t width = source.Width();
    const std::int32_t height = source.Height();
    if (width <= 0 || height <= 0) {
        return;
    }
    const auto pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (pixels > limits::kMaxDecodeBufferBytes) {
        error_ = "--trim holds the digits of the whole picture, and " + std::to_string(width) +
                 " x " + std::to_string(height) + " pixels are more than the cap of " +
                 std::to_string(limits::kMaxDecodeBufferBytes);
        return;
    }
    try {
        digits_.resize(static_cast<std::size_t>(pixels));
    } catch (const std::bad_alloc&) {
        error_ = "not enough memory for --trim";
        return;
    }
    const auto opaqueDigit = static_cast<std::uint8_t>(settings.maskBit == MaskBit::Opaque);
    std::int32_t left = width;
    std::int32_t right = -1;
    std::int32_t top = height;
    std::int32_t bottom = -1;
    DigitStage stage;
    stage.Begin(width, settings);
    for (std::int32_t y = 0; y < height; ++y) {
        const std::span<const std::uint8_t> row = stage.Row(source, y);
        const std::span<const std::uint8_t> mask = stage.Mask();
        std::uint8_t* const kept =
            digits_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (std::size_t x = 0; x < row.size(); ++x) {
            const bool transparent = !mask.empty() && mask[x] != opaqueDigit;
            kept[x] = static_cast<std::uint8_t>(row[x] | (transparent ? kTransparent : 0U));
            if (row[x] != 0) {
                left = std::min(left, static_cast<std::int32_t>(x));
                right = std::max(right, static_cast<std::int32_t>(x));
                top = std::min(top, y);
                bottom = y;
            }
        }
    }
    fullWidth_ = width;
    if (right < 0) {
        left = right = top = bottom = 0;
    }
    left_ = left;
    top_ = top;
    width_ = right - left + 1;
    height_ = bottom - top + 1;
    // Black and white with a threshold, transparency by opacity: the digits as decided.
    settings_.dither = Dither::None;
    settings_.threshold = 128;
    settings_.invert = false;
    settings_.background = Background::White;
    settings_.mask = settings.mask == MaskSource::None ? MaskSource::None : MaskSource::Alpha;
    settings_.keptLeft = left;
    settings_.keptTop = top;
}

void TrimStage::ReadRowWithAlpha(std::int32_t y, std::span<Colour> row) const {
    const std::uint8_t* const kept =
        digits_.data() + static_cast<std::size_t>(top_ + y) * static_cast<std::size_t>(fullWidth_) +
        static_cast<std::size_t>(left_);
    constexpr Colour kWhite = MakeColour(255, 255, 255);
    for (std::size_t x = 0; x < static_cast<std::size_t>(width_); ++x) {
        row[x] = (kept[x] & kTransparent) != 0 ? kWhite
                 : (kept[x] & 1U) != 0         ? kOpaque
                                               : kWhite | kOpaque;
    }
}

}  // namespace rastelle
