#include "back/LayoutReader.h"

#include <algorithm>

namespace rastelle {

void LayoutReader::Begin(std::int32_t width, std::int32_t height,
                         const ConversionSettings& settings, LayoutContent content) {
    layout_ = settings.layout;
    firstInBit7_ = Layout::FirstPixelInBit7(settings);
    maskFirst_ = settings.maskLayout == MaskLayout::Before;
    planes_ = content == LayoutContent::PictureWithMask ? 2 : 1;
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    const Layout::LaidOutImage image = Layout::LaidOut(width_, height_, settings);
    const bool rows = layout_ != ByteLayout::Pages;
    laidOut_ = rows ? image.width : image.height;
    lead_ = static_cast<std::int32_t>(rows ? image.left : image.top);
    if (layout_ == ByteLayout::Strips) {
        // A line per strip: the picture's rows are whole only after the last.
        lineValues_ = planes_ * static_cast<std::size_t>(height_);
        lines_ = (laidOut_ + 7) / 8;
        bandStride_ = static_cast<std::size_t>(laidOut_);
    } else if (rows) {
        lineValues_ = planes_ * static_cast<std::size_t>((laidOut_ + 7) / 8);
        lines_ = height_;
        bandStride_ = static_cast<std::size_t>(laidOut_);
    } else {
        lineValues_ = planes_ * static_cast<std::size_t>(width_);
        lines_ = (laidOut_ + 7) / 8;
        bandStride_ = static_cast<std::size_t>(width_);
    }
    const std::size_t bandRows = layout_ == ByteLayout::Strips ? static_cast<std::size_t>(height_)
                                 : rows                        ? 1
                                                               : 8;
    for (std::size_t plane = 0; plane < planes_; ++plane) {
        band_[plane].assign(bandRows * bandStride_, 0);
    }
    linesRead_ = 0;
    rowCount_ = 0;
}

std::uint8_t LayoutReader::ValueOf(std::span<const std::uint8_t> values, std::size_t plane,
                                   std::size_t j) const {
    if (planes_ == 1) {
        return values[j];
    }
    const bool first = (plane == 1) == maskFirst_;
    return values[2 * j + (first ? 0 : 1)];
}

std::string LayoutReader::AddLine(std::span<const std::uint8_t> values) {
    if (values.size() != lineValues_) {
        return "expected " + std::to_string(lineValues_) + " numbers in each line, not " +
               std::to_string(values.size());
    }
    if (linesRead_ == lines_) {
        return "expected the image to end after its " + std::to_string(lines_) + " lines";
    }
    if (layout_ == ByteLayout::Strips) {
        return AddStrip(values);
    }
    // Rows: each byte 8 digits of the row, the last fewer without fill. Pages: each byte a
    // column of the page, as many digits as the page has rows.
    const bool rows = layout_ == ByteLayout::Rows;
    const std::int64_t start = rows ? 0 : 8 * linesRead_;
    const std::int64_t pageRows = std::min<std::int64_t>(8, laidOut_ - start);
    const std::size_t bytes = lineValues_ / planes_;
    for (std::size_t plane = 0; plane < planes_; ++plane) {
        std::uint8_t* const band = band_[plane].data();
        for (std::size_t j = 0; j < bytes; ++j) {
            const std::uint8_t value = ValueOf(values, plane, j);
            const std::int64_t digits =
                rows ? std::min<std::int64_t>(8, laidOut_ - 8 * static_cast<std::int64_t>(j))
                     : pageRows;
            if (digits < 8 && (value >> digits) != 0) {
                return "expected a number of " + std::to_string(digits) + " binary digits (below " +
                       std::to_string(1 << digits) + ") in place " + std::to_string(j + 1) +
                       ", not " + std::to_string(value);
            }
            for (std::int64_t k = 0; k < digits; ++k) {
                const std::int64_t bit = firstInBit7_ ? digits - 1 - k : k;
                const auto digit = static_cast<std::uint8_t>((value >> bit) & 1U);
                if (rows) {
                    band[8 * j + static_cast<std::size_t>(k)] = digit;
                } else {
                    band[static_cast<std::size_t>(k) * bandStride_ + j] = digit;
                }
            }
        }
    }
    if (rows) {
        firstRow_ = static_cast<std::int32_t>(linesRead_);
        rowCount_ = 1;
        firstBandRow_ = 0;
    } else {
        // The page's rows that are pixels, not fill above or below the picture.
        const std::int64_t first = std::max<std::int64_t>(start, lead_);
        const std::int64_t end = std::min<std::int64_t>(start + pageRows, lead_ + height_);
        firstRow_ = static_cast<std::int32_t>(first - lead_);
        rowCount_ = static_cast<std::int32_t>(std::max<std::int64_t>(end - first, 0));
        firstBandRow_ = static_cast<std::size_t>(first - start);
    }
    ++linesRead_;
    return {};
}

std::string LayoutReader::AddStrip(std::span<const std::uint8_t> values) {
    // Each byte 8 digits of its row in the strip, fewer in a last strip without fill.
    const std::int64_t left = 8 * linesRead_;
    const std::int64_t digits = std::min<std::int64_t>(8, laidOut_ - left);
    const std::size_t bytes = lineValues_ / planes_;
    for (std::size_t plane = 0; plane < planes_; ++plane) {
        std::uint8_t* const band = band_[plane].data();
        for (std::size_t y = 0; y < bytes; ++y) {
            const std::uint8_t value = ValueOf(values, plane, y);
            if (digits < 8 && (value >> digits) != 0) {
                return "expected a number of " + std::to_string(digits) + " binary digits (below " +
                       std::to_string(1 << digits) + ") in place " + std::to_string(y + 1) +
                       ", not " + std::to_string(value);
            }
            for (std::int64_t k = 0; k < digits; ++k) {
                const std::int64_t bit = firstInBit7_ ? digits - 1 - k : k;
                band[y * bandStride_ + static_cast<std::size_t>(left + k)] =
                    static_cast<std::uint8_t>((value >> bit) & 1U);
            }
        }
    }
    ++linesRead_;
    firstRow_ = 0;
    rowCount_ = linesRead_ == lines_ ? height_ : 0;
    firstBandRow_ = 0;
    return {};
}

std::span<const std::uint8_t> LayoutReader::Row(std::size_t plane, std::int32_t i) const {
    const std::uint8_t* const band = band_[plane].data();
    if (layout_ == ByteLayout::Rows) {
        return {band + lead_, static_cast<std::size_t>(width_)};
    }
    if (layout_ == ByteLayout::Strips) {
        return {band + static_cast<std::size_t>(i) * bandStride_ + static_cast<std::size_t>(lead_),
                static_cast<std::size_t>(width_)};
    }
    return {band + (firstBandRow_ + static_cast<std::size_t>(i)) * bandStride_,
            static_cast<std::size_t>(width_)};
}

std::span<const std::uint8_t> LayoutReader::Mask(std::int32_t i) const {
    return planes_ == 2 ? Row(1, i) : std::span<const std::uint8_t>{};
}

}  // namespace rastelle
