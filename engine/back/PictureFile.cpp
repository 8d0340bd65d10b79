#include "back/PictureFile.h"

#include <algorithm>

#include "back/StbWriter.h"

namespace rastelle {

namespace {

constexpr std::size_t kBlock = 64 * 1024;

int ComponentsOf(const ConversionSettings& settings) {
    switch (settings.mask) {
        case MaskSource::Alpha:
            return 2;  // grey and alpha
        case MaskSource::KeyColour:
            return 3;  // RGB
        default:
            return 1;
    }
}

}  // namespace

PictureFile::PictureFile(PictureFormat format, std::int32_t width, std::int32_t height,
                         const ConversionSettings& settings, TextSink& sink)
    : format_(format), width_(width), height_(height), settings_(settings), sink_(sink) {
    if (format_ == PictureFormat::Pbm) {
        pending_ = "P4\n" + std::to_string(width) + " " + std::to_string(height) + "\n";
        return;
    }
    components_ = ComponentsOf(settings);
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                       static_cast<std::size_t>(components_),
                   0xFF);
}

void PictureFile::SetRow(std::int32_t y, std::span<const std::uint8_t> digits,
                         std::span<const std::uint8_t> mask) {
    const std::uint8_t black = settings_.invert ? 0 : 1;
    if (format_ == PictureFormat::Pbm) {
        // PBM: 1 is black, 8 pixels a byte, the leftmost in bit 7, each row whole bytes.
        for (std::size_t x = 0; x < digits.size(); x += 8) {
            unsigned byte = 0;
            for (std::size_t i = 0; i < 8; ++i) {
                const bool dark = x + i < digits.size() && digits[x + i] == black;
                byte |= (dark ? 1U : 0U) << (7 - i);
            }
            pending_ += static_cast<char>(byte);
        }
        if (pending_.size() >= kBlock) {
            HandOver();
        }
        return;
    }
    const auto components = static_cast<std::size_t>(components_);
    // With alpha the second sample is the opacity, set by the mask.
    const std::size_t greys = components == 2 ? 1 : components;
    std::uint8_t* const row = PixelRow(y);
    for (std::size_t x = 0; x < digits.size(); ++x) {
        const std::uint8_t grey = digits[x] == black ? 0 : 255;
        std::fill_n(row + x * components, greys, grey);
    }
    if (!mask.empty()) {
        SetMaskRow(y, mask);
    }
}

void PictureFile::SetMaskRow(std::int32_t y, std::span<const std::uint8_t> mask) {
    if (format_ == PictureFormat::Pbm || components_ == 1) {
        return;
    }
    const std::uint8_t transparent = settings_.maskBit == MaskBit::Transparent ? 1 : 0;
    const auto components = static_cast<std::size_t>(components_);
    std::uint8_t* const row = PixelRow(y);
    for (std::size_t x = 0; x < mask.size(); ++x) {
        if (mask[x] != transparent) {
            continue;
        }
        std::uint8_t* const pixel = row + x * components;
        if (components == 2) {
            pixel[1] = 0;
        } else {
            pixel[0] = RedOf(settings_.maskKey);
            pixel[1] = GreenOf(settings_.maskKey);
            pixel[2] = BlueOf(settings_.maskKey);
        }
    }
}

std::uint8_t* PictureFile::PixelRow(std::int32_t y) {
    return pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) *
                                static_cast<std::size_t>(components_);
}

void PictureFile::HandOver() {
    ok_ = ok_ && sink_.Write(pending_);
    pending_.clear();
}

bool PictureFile::Finish() {
    if (format_ == PictureFormat::Pbm) {
        HandOver();
        return ok_;
    }
    return ok_ && stb::WritePng(width_, height_, components_, pixels_.data(), sink_);
}

}  // namespace rastelle
