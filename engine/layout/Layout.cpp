#include "layout/Layout.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace rastelle {

namespace {

std::int64_t WholeBytes(std::int64_t bits) {
    return (bits + 7) / 8 * 8;
}

// Eight digits (each 0 or 1) as one byte, the first in bit 7 or in bit 0.
std::uint8_t PackEight(const std::uint8_t* digits, bool firstInBit7) {
    if constexpr (std::endian::native == std::endian::little) {
        // Each digit is a byte of the word; the product gathers their low bits in its top byte.
        std::uint64_t word = 0;
        std::memcpy(&word, digits, sizeof word);
        return static_cast<std::uint8_t>(
            (word * (firstInBit7 ? 0x8040201008040201U : 0x0102040810204080U)) >> 56);
    } else {
        unsigned value = 0;
        for (unsigned i = 0; i < 8; ++i) {
            value |= unsigned{digits[i]} << (firstInBit7 ? 7 - i : i);
        }
        return static_cast<std::uint8_t>(value);
    }
}

}  // namespace

Layout::LaidOutImage Layout::LaidOut(std::int64_t width, std::int64_t height,
                                     const ConversionSettings& settings) {
    LaidOutImage image{width, height, 0, 0};
    if (settings.fill != FillMode::None) {
        std::int64_t& side = settings.layout == ByteLayout::Pages ? image.height : image.width;
        side = WholeBytes(side);
    }
    if (settings.centre) {
        image.left = (image.width - width) / 2;
        image.top = (image.height - height) / 2;
    }
    return image;
}

bool Layout::FirstPixelInBit7(const ConversionSettings& settings) {
    // Rows read like a binary number; panels' pages put the top pixel in bit 0.
    return settings.bitOrder == BitOrder::Bit7First ||
           (settings.bitOrder == BitOrder::Default && settings.layout != ByteLayout::Pages);
}

std::pair<std::int64_t, std::int64_t> Layout::HeaderSize(std::int64_t width, std::int64_t height,
                                                         const ConversionSettings& settings) {
    const LaidOutImage image = LaidOut(width, height, settings);
    const bool inBytes = settings.layout != ByteLayout::Pages &&
                         settings.widthUnit == WidthUnit::Bytes && settings.fill != FillMode::None;
    return {inBytes ? image.width / 8 : image.width, image.height};
}

void Layout::Begin(std::int32_t width, std::int32_t height, const ConversionSettings& settings,
                   LayoutContent content) {
    layout_ = settings.layout;
    firstInBit7_ = FirstPixelInBit7(settings);
    filled_ = settings.fill != FillMode::None;
    width_ = std::max(width, 0);
    height = std::max(height, 0);
    maskLayout_ = settings.maskLayout;

    const auto pictureFill = static_cast<std::uint8_t>(settings.fill == FillMode::Ones);
    const auto maskFill = static_cast<std::uint8_t>(settings.maskBit == MaskBit::Transparent);
    planes_.resize(content == LayoutContent::PictureWithMask ? 2 : 1);
    planes_[0].fill = content == LayoutContent::Mask ? maskFill : pictureFill;
    planes_.back().fill = content == LayoutContent::Picture ? pictureFill : maskFill;

    lineDigits_.clear();
    const LaidOutImage image = LaidOut(width_, height, settings);
    if (layout_ != ByteLayout::Pages) {
        const auto rowBits = static_cast<std::int32_t>(image.width);
        lead_ = static_cast<std::int32_t>(image.left);
        for (Plane& plane : planes_) {
            plane.padded.assign(static_cast<std::size_t>(rowBits), plane.fill);
            plane.values.assign(static_cast<std::size_t>(rowBits + 7) / 8, 0);
        }
        for (std::int32_t bit = 0; bit < rowBits; bit += 8) {
            const auto digits = static_cast<std::uint8_t>(std::min(8, rowBits - bit));
            lineDigits_.insert(lineDigits_.end(), planes_.size(), digits);
        }
        rowBits_ = rowBits;
        rowBytes_ = static_cast<std::size_t>(rowBits + 7) / 8;
        rows_ = 0;
        stripRows_ = layout_ == ByteLayout::Strips ? height : 0;
        nextStrip_ = 0;
        if (layout_ == ByteLayout::Strips) {
            for (Plane& plane : planes_) {
                plane.strips.assign(rowBytes_ * static_cast<std::size_t>(height), 0);
            }
        }
    } else {
        lead_ = static_cast<std::int32_t>(image.top);
        for (Plane& plane : planes_) {
            plane.values.assign(static_cast<std::size_t>(width_), 0);
            FillPage(plane, 0, lead_);
        }
        rowInPage_ = lead_;
        pageStarted_ = true;
        lineDigits_.assign(planes_.size() * static_cast<std::size_t>(width_), 8);
    }
    lineValues_.resize(planes_.size() == 2 ? lineDigits_.size() : 0);
}

bool Layout::AddRow(std::span<const std::uint8_t> picture, std::span<const std::uint8_t> mask) {
    const std::span<const std::uint8_t> rows[2] = {picture, mask};
    if (layout_ == ByteLayout::Rows) {
        for (std::size_t i = 0; i < planes_.size(); ++i) {
            PackRow(planes_[i], rows[i]);
        }
        Combine(8);
        return true;
    }
    if (layout_ == ByteLayout::Strips) {
        const auto at = static_cast<std::ptrdiff_t>(static_cast<std::size_t>(rows_) * rowBytes_);
        for (std::size_t i = 0; i < planes_.size(); ++i) {
            PackRow(planes_[i], rows[i]);
            if (rows_ < stripRows_) {
                std::copy(planes_[i].values.begin(), planes_[i].values.end(),
                          planes_[i].strips.begin() + at);
            }
        }
        ++rows_;
        return false;
    }
    for (std::size_t i = 0; i < planes_.size(); ++i) {
        if (!pageStarted_) {
            std::fill(planes_[i].values.begin(), planes_[i].values.end(), std::uint8_t{0});
        }
        AddToPage(planes_[i], rows[i], rowInPage_);
    }
    pageStarted_ = true;
    if (++rowInPage_ < 8) {
        return false;
    }
    rowInPage_ = 0;
    pageStarted_ = false;
    Combine(8);
    return true;
}

bool Layout::Finish() {
    if (layout_ == ByteLayout::Strips) {
        return NextStrip();
    }
    if (layout_ == ByteLayout::Rows || !pageStarted_ || rowInPage_ == 0) {
        return false;
    }
    const std::int32_t rows = rowInPage_;
    for (Plane& plane : planes_) {
        if (filled_) {
            FillPage(plane, rows, 8);
        } else if (firstInBit7_) {
            // The top pixel belongs in the highest of the page's few digits.
            for (std::uint8_t& value : plane.values) {
                value = static_cast<std::uint8_t>(value >> (8 - rows));
            }
        }
    }
    rowInPage_ = 0;
    pageStarted_ = false;
    Combine(static_cast<std::uint8_t>(filled_ ? 8 : rows));
    return true;
}

LiteralLine Layout::Line() const {
    return {planes_.size() == 2 ? std::span<const std::uint8_t>(lineValues_)
                                : std::span<const std::uint8_t>(planes_[0].values),
            lineDigits_};
}

void Layout::PackRow(Plane& plane, std::span<const std::uint8_t> digits) const {
    const std::size_t pixels = std::min(digits.size(), static_cast<std::size_t>(width_));
    const std::size_t whole = plane.padded.size() / 8;
    // Bytes of pixels only are packed from the digits as they are; the rest from a copy that
    // has the fill digits in place.
    const std::size_t direct = lead_ == 0 ? pixels / 8 : 0;
    for (std::size_t i = 0; i < direct; ++i) {
        plane.values[i] = PackEight(digits.data() + 8 * i, firstInBit7_);
    }
    std::copy(digits.begin() + static_cast<std::ptrdiff_t>(8 * direct),
              digits.begin() + static_cast<std::ptrdiff_t>(pixels),
              plane.padded.begin() + static_cast<std::ptrdiff_t>(8 * direct) + lead_);
    const std::uint8_t* const padded = plane.padded.data();
    for (std::size_t i = direct; i < whole; ++i) {
        plane.values[i] = PackEight(padded + 8 * i, firstInBit7_);
    }
    // Without fill, a last byte of fewer than 8 digits: its first pixel is its highest digit
    // with bit 7 first, bit 0 otherwise.
    const std::size_t rest = plane.padded.size() % 8;
    if (rest != 0) {
        unsigned value = 0;
        for (std::size_t i = 0; i < rest; ++i) {
            const unsigned digit = padded[8 * whole + i];
            value = firstInBit7_ ? (value << 1) | digit : value | (digit << i);
        }
        plane.values[whole] = static_cast<std::uint8_t>(value);
    }
}

void Layout::AddToPage(Plane& plane, std::span<const std::uint8_t> digits, std::int32_t row) const {
    const int bit = firstInBit7_ ? 7 - row : row;
    const std::size_t pixels = std::min(digits.size(), plane.values.size());
    for (std::size_t x = 0; x < pixels; ++x) {
        plane.values[x] = static_cast<std::uint8_t>(plane.values[x] | (digits[x] << bit));
    }
}

void Layout::FillPage(Plane& plane, std::int32_t from, std::int32_t to) const {
    if (plane.fill == 0) {
        return;
    }
    unsigned bits = 0;
    for (std::int32_t row = from; row < to; ++row) {
        bits |= 1U << (firstInBit7_ ? 7 - row : row);
    }
    for (std::uint8_t& value : plane.values) {
        value = static_cast<std::uint8_t>(value | bits);
    }
}

bool Layout::NextStrip() {
    if (nextStrip_ >= rowBytes_ || stripRows_ == 0) {
        return false;
    }
    const auto rows = static_cast<std::size_t>(stripRows_);
    for (Plane& plane : planes_) {
        plane.values.resize(rows);
        for (std::size_t y = 0; y < rows; ++y) {
            plane.values[y] = plane.strips[y * rowBytes_ + nextStrip_];
        }
    }
    const auto digits = static_cast<std::uint8_t>(
        std::min<std::int64_t>(8, rowBits_ - 8 * static_cast<std::int64_t>(nextStrip_)));
    lineDigits_.assign(planes_.size() * rows, digits);
    lineValues_.resize(planes_.size() == 2 ? lineDigits_.size() : 0);
    ++nextStrip_;
    Combine(8);
    return true;
}

void Layout::Combine(std::uint8_t pageDigits) {
    if (layout_ == ByteLayout::Pages) {
        std::fill(lineDigits_.begin(), lineDigits_.end(), pageDigits);
    }
    if (planes_.size() != 2) {
        return;
    }
    const bool maskFirst = maskLayout_ == MaskLayout::Before;
    const std::vector<std::uint8_t>& first = planes_[maskFirst ? 1 : 0].values;
    const std::vector<std::uint8_t>& second = planes_[maskFirst ? 0 : 1].values;
    for (std::size_t i = 0; i < first.size(); ++i) {
        lineValues_[2 * i] = first[i];
        lineValues_[2 * i + 1] = second[i];
    }
}

}  // namespace rastelle
