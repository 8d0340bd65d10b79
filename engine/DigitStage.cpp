#include "DigitStage.h"

namespace rastelle {

namespace {

// The sum of the three channels as the pixel shows against the background, each channel
// rounded: a transparent pixel shows the background.
std::uint32_t Tone(Colour colour, Background background) {
    const std::uint32_t alpha = AlphaOf(colour);
    const std::uint32_t sum = std::uint32_t{RedOf(colour)} + GreenOf(colour) + BlueOf(colour);
    if (alpha == 255) {
        return sum;
    }
    const std::uint32_t under = background == Background::White ? 255 * (255 - alpha) : 0;
    const auto over = [&](std::uint32_t channel) { return (channel * alpha + under + 127) / 255; };
    return over(RedOf(colour)) + over(GreenOf(colour)) + over(BlueOf(colour));
}

}  // namespace

void DigitStage::Begin(std::int32_t width, const ConversionSettings& settings) {
    settings_ = settings;
    const std::size_t pixels = width > 0 ? static_cast<std::size_t>(width) : 0U;
    colours_.assign(pixels, Colour{0});
    digits_.assign(pixels, 0);
    mask_.assign(settings.mask == MaskSource::None ? 0U : pixels, 0);
    sawTransparent_ = false;
}

std::span<const std::uint8_t> DigitStage::Row(const PixelSource& source, std::int32_t y) {
    source.ReadRowWithAlpha(y, colours_);
    const std::uint32_t limit = 3U * settings_.threshold;
    const auto flip = static_cast<std::uint8_t>(settings_.invert ? 1 : 0);
    for (std::size_t x = 0; x < colours_.size(); ++x) {
        const bool dark = Tone(colours_[x], settings_.background) < limit;
        digits_[x] = static_cast<std::uint8_t>(static_cast<std::uint8_t>(dark) ^ flip);
    }
    if (settings_.mask != MaskSource::None) {
        ApplyMask();
    }
    return digits_;
}

void DigitStage::ApplyMask() {
    const bool byAlpha = settings_.mask == MaskSource::Alpha;
    const Colour key = settings_.maskKey & 0xFFFFFFU;
    const auto opaqueDigit = static_cast<std::uint8_t>(settings_.maskBit == MaskBit::Opaque);
    bool any = false;
    for (std::size_t x = 0; x < colours_.size(); ++x) {
        const bool transparent =
            byAlpha ? AlphaOf(colours_[x]) < 128 : (colours_[x] & 0xFFFFFFU) == key;
        any = any || transparent;
        if (transparent) {
            digits_[x] = 0;
        }
        mask_[x] = static_cast<std::uint8_t>(transparent ? opaqueDigit ^ 1U : opaqueDigit);
    }
    sawTransparent_ = sawTransparent_ || any;
}

}  // namespace rastelle
