#include "picture/GeometryStage.h"

#include <algorithm>

#include "common/Limits.h"
#include "common/TextSize.h"

namespace rastelle {

namespace {

// a x b / c rounded to the nearest, halves up, and at least 1.
std::int64_t Proportion(std::int64_t a, std::int64_t b, std::int64_t c) {
    return std::max<std::int64_t>(1, (2 * a * b + c) / (2 * c));
}

std::string Size(std::int64_t width, std::int64_t height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

// a / b rounded to the nearest, halves up.
std::uint64_t Rounded(std::uint64_t a, std::uint64_t b) {
    return (2 * a + b) / (2 * b);
}

}  // namespace

// Output pixel i covers [(i + offset) n, (i + offset + 1) n) in units of which a source pixel
// holds `scaled` and an output pixel `source` (n): the weights are whole numbers, summing to
// n for every output pixel.
std::vector<GeometryStage::Span> GeometryStage::Spans(std::int32_t source, std::int64_t scaled,
                                                      std::int64_t offset, std::int32_t count) {
    std::vector<Span> spans(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int64_t start = (i + offset) * source;
        const std::int64_t end = start + source;
        const std::int64_t first = start / scaled;
        const std::int64_t last = (end - 1) / scaled;
        Span& span = spans[static_cast<std::size_t>(i)];
        span.first = static_cast<std::int32_t>(first);
        span.count = static_cast<std::int32_t>(last - first + 1);
        span.firstWeight = static_cast<std::uint32_t>(std::min((first + 1) * scaled, end) - start);
        span.fullWeight = static_cast<std::uint32_t>(scaled);
        span.lastWeight = static_cast<std::uint32_t>(end - last * scaled);
    }
    return spans;
}

GeometryStage::GeometryStage(const PixelSource& source, const GeometrySettings& settings)
    : source_(source), settings_(settings) {
    const std::int64_t sourceWidth = source.Width();
    const std::int64_t sourceHeight = source.Height();
    if (sourceWidth <= 0 || sourceHeight <= 0) {
        return;
    }
    if (!settings.crop) {
        settings_.cropX = 0;
        settings_.cropY = 0;
        settings_.cropWidth = static_cast<std::int32_t>(sourceWidth);
        settings_.cropHeight = static_cast<std::int32_t>(sourceHeight);
    } else if (std::int64_t{settings.cropX} + settings.cropWidth > sourceWidth ||
               std::int64_t{settings.cropY} + settings.cropHeight > sourceHeight) {
        error_ = "the crop " + std::to_string(settings.cropX) + "," +
                 std::to_string(settings.cropY) + "," + std::to_string(settings.cropWidth) + "," +
                 std::to_string(settings.cropHeight) + " reaches outside the image of " +
                 Size(sourceWidth, sourceHeight) + " pixels";
        return;
    }
    const std::int64_t width = settings_.cropWidth;
    const std::int64_t height = settings_.cropHeight;

    // The picture resampled to scaledWidth x scaledHeight, of which innerWidth x innerHeight
    // from (offsetX, offsetY) are kept, centred in the resized picture.
    std::int64_t resizedWidth = width * settings.scale;
    std::int64_t resizedHeight = height * settings.scale;
    std::int64_t scaledWidth = resizedWidth;
    std::int64_t scaledHeight = resizedHeight;
    std::int64_t offsetX = 0;
    std::int64_t offsetY = 0;
    if (settings.resizeWidth > 0 || settings.resizeHeight > 0) {
        resizedWidth = settings.resizeWidth > 0 ? settings.resizeWidth
                                                : Proportion(width, settings.resizeHeight, height);
        resizedHeight = settings.resizeHeight > 0 ? settings.resizeHeight
                                                  : Proportion(height, settings.resizeWidth, width);
        scaledWidth = resizedWidth;
        scaledHeight = resizedHeight;
        const bool both = settings.resizeWidth > 0 && settings.resizeHeight > 0;
        if (both && settings.fit != Fit::Stretch) {
            // Whether the width decides the scale: for contain the side that fits tighter,
            // for cover the other one.
            const bool byWidth =
                (resizedWidth * height <= resizedHeight * width) == (settings.fit == Fit::Contain);
            scaledWidth = byWidth ? resizedWidth : Proportion(width, resizedHeight, height);
            scaledHeight = byWidth ? Proportion(height, resizedWidth, width) : resizedHeight;
            if (settings.fit == Fit::Cover) {
                offsetX = (scaledWidth - resizedWidth) / 2;
                offsetY = (scaledHeight - resizedHeight) / 2;
            }
        }
        averaging_ = true;
    }
    if (resizedWidth > limits::kMaxSide || resizedHeight > limits::kMaxSide) {
        error_ = "the picture would be " + Size(resizedWidth, resizedHeight) +
                 " pixels: a side is larger than the cap of " + std::to_string(limits::kMaxSide);
        return;
    }
    // As for a BMP that big: its text alone would take hours.
    if (const std::uint64_t text = TextSize(resizedWidth, resizedHeight, FillMode::Zeros);
        text > limits::kMaxTextBytes) {
        error_ = "the picture would be " + Size(resizedWidth, resizedHeight) + " pixels, " +
                 std::to_string(text) + " bytes of text; the cap is " +
                 std::to_string(limits::kMaxTextBytes);
        return;
    }
    const bool turned = settings.rotate == 90 || settings.rotate == 270;
    if (turned &&
        static_cast<std::uint64_t>(resizedWidth * resizedHeight) > limits::kMaxDecodedPixels) {
        error_ = "a quarter turn holds the whole picture, and " +
                 Size(resizedWidth, resizedHeight) + " pixels are more than the cap of " +
                 std::to_string(limits::kMaxDecodedPixels);
        return;
    }
    resizedWidth_ = static_cast<std::int32_t>(resizedWidth);
    resizedHeight_ = static_cast<std::int32_t>(resizedHeight);
    innerWidth_ = static_cast<std::int32_t>(std::min(scaledWidth, resizedWidth));
    innerHeight_ = static_cast<std::int32_t>(std::min(scaledHeight, resizedHeight));
    left_ = (resizedWidth_ - innerWidth_) / 2;
    top_ = (resizedHeight_ - innerHeight_) / 2;
    if (averaging_) {
        columns_ = Spans(static_cast<std::int32_t>(width), scaledWidth, offsetX, innerWidth_);
        rows_ = Spans(static_cast<std::int32_t>(height), scaledHeight, offsetY, innerHeight_);
        totalWeight_ = static_cast<std::uint64_t>(width * height);
        rowSums_.assign(4 * static_cast<std::size_t>(innerWidth_), 0);
        areaSums_.assign(rowSums_.size(), 0);
    }
    width_ = turned ? resizedHeight_ : resizedWidth_;
    height_ = turned ? resizedWidth_ : resizedHeight_;
    sourceRow_.resize(static_cast<std::size_t>(sourceWidth));
}

void GeometryStage::SumSourceRow(std::int32_t y) const {
    if (summedRow_ == y) {
        return;
    }
    summedRow_ = y;
    source_.ReadRowWithAlpha(settings_.cropY + y, sourceRow_);
    const Colour* const pixels = sourceRow_.data() + settings_.cropX;
    std::uint64_t* sums = rowSums_.data();
    // First as if opaque, as photos are: every pixel but a span's first and last has the same
    // weight, so they are added up first and weighted once (their channel sums fit 32 bits
    // while a side is at most 2^24 pixels). A row that turns out not to be is summed again.
    Colour common = ~Colour{0};
    const std::uint64_t opaque = 255 * static_cast<std::uint64_t>(settings_.cropWidth);
    for (const Span& span : columns_) {
        const Colour* const at = pixels + span.first;
        const Colour first = at[0];
        common &= first;
        std::uint64_t red = std::uint64_t{span.firstWeight} * RedOf(first);
        std::uint64_t green = std::uint64_t{span.firstWeight} * GreenOf(first);
        std::uint64_t blue = std::uint64_t{span.firstWeight} * BlueOf(first);
        if (span.count > 1) {
            std::uint32_t middleRed = 0;
            std::uint32_t middleGreen = 0;
            std::uint32_t middleBlue = 0;
            for (std::int32_t k = 1; k + 1 < span.count; ++k) {
                const Colour colour = at[k];
                common &= colour;
                middleRed += colour & 0xFFU;
                middleGreen += (colour >> 8) & 0xFFU;
                middleBlue += (colour >> 16) & 0xFFU;
            }
            const Colour last = at[span.count - 1];
            common &= last;
            red += std::uint64_t{span.fullWeight} * middleRed +
                   std::uint64_t{span.lastWeight} * RedOf(last);
            green += std::uint64_t{span.fullWeight} * middleGreen +
                     std::uint64_t{span.lastWeight} * GreenOf(last);
            blue += std::uint64_t{span.fullWeight} * middleBlue +
                    std::uint64_t{span.lastWeight} * BlueOf(last);
        }
        sums[0] = 255 * red;
        sums[1] = 255 * green;
        sums[2] = 255 * blue;
        sums[3] = opaque;
        sums += 4;
    }
    if (AlphaOf(common) == 255) {
        return;
    }
    sums = rowSums_.data();
    for (const Span& span : columns_) {
        const Colour* at = pixels + span.first;
        std::uint64_t red = 0;
        std::uint64_t green = 0;
        std::uint64_t blue = 0;
        std::uint64_t alpha = 0;
        for (std::int32_t k = 0; k < span.count; ++k) {
            const std::uint64_t weight = k == 0                ? span.firstWeight
                                         : k + 1 == span.count ? span.lastWeight
                                                               : span.fullWeight;
            const Colour colour = at[k];
            const std::uint64_t opacity = weight * AlphaOf(colour);
            red += opacity * RedOf(colour);
            green += opacity * GreenOf(colour);
            blue += opacity * BlueOf(colour);
            alpha += opacity;
        }
        sums[0] = red;
        sums[1] = green;
        sums[2] = blue;
        sums[3] = alpha;
        sums += 4;
    }
}

void GeometryStage::ResizedRow(std::int32_t y, std::span<Colour> row) const {
    const auto left = static_cast<std::size_t>(left_);
    const auto inner = static_cast<std::size_t>(innerWidth_);
    // Padding is transparent: it shows as the background, and a mask calls it transparent.
    std::fill(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(resizedWidth_), Colour{0});
    if (y < top_ || y >= top_ + innerHeight_) {
        return;
    }
    const std::int32_t innerY = y - top_;
    if (!averaging_) {
        const std::int32_t scale = settings_.scale;
        source_.ReadRowWithAlpha(settings_.cropY + innerY / scale, sourceRow_);
        const Colour* const from = sourceRow_.data() + settings_.cropX;
        for (std::size_t x = 0; x < inner; ++x) {
            row[left + x] = from[x / static_cast<std::size_t>(scale)];
        }
        return;
    }
    const Span& span = rows_[static_cast<std::size_t>(innerY)];
    std::fill(areaSums_.begin(), areaSums_.end(), 0);
    for (std::int32_t k = 0; k < span.count; ++k) {
        const std::uint64_t weight = k == 0                ? span.firstWeight
                                     : k + 1 == span.count ? span.lastWeight
                                                           : span.fullWeight;
        SumSourceRow(span.first + k);
        for (std::size_t i = 0; i < areaSums_.size(); ++i) {
            areaSums_[i] += weight * rowSums_[i];
        }
    }
    for (std::size_t x = 0; x < inner; ++x) {
        const std::uint64_t* const sums = areaSums_.data() + 4 * x;
        const std::uint64_t alpha = sums[3];
        const auto channel = [alpha](std::uint64_t sum) {
            return static_cast<std::uint8_t>(alpha == 0 ? 0 : Rounded(sum, alpha));
        };
        row[left + x] = MakeColour(channel(sums[0]), channel(sums[1]), channel(sums[2])) |
                        static_cast<Colour>(Rounded(alpha, totalWeight_) << 24);
    }
}

void GeometryStage::ReadRowWithAlpha(std::int32_t y, std::span<Colour> row) const {
    const bool flipAcross = settings_.flip == Flip::Horizontal || settings_.flip == Flip::Both;
    const bool flipDown = settings_.flip == Flip::Vertical || settings_.flip == Flip::Both;
    const std::int32_t down = flipDown ? height_ - 1 - y : y;
    const auto width = static_cast<std::size_t>(width_);
    if (settings_.rotate == 0 || settings_.rotate == 180) {
        const bool half = settings_.rotate == 180;
        ResizedRow(half ? resizedHeight_ - 1 - down : down, row);
        if (half != flipAcross) {
            std::reverse(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(width));
        }
        return;
    }
    const auto resizedWidth = static_cast<std::size_t>(resizedWidth_);
    if (whole_.empty()) {
        whole_.resize(resizedWidth * static_cast<std::size_t>(resizedHeight_));
        for (std::int32_t at = 0; at < resizedHeight_; ++at) {
            ResizedRow(at, std::span(whole_).subspan(static_cast<std::size_t>(at) * resizedWidth,
                                                     resizedWidth));
        }
    }
    // Clockwise, output (x, y) is resized (y, H - 1 - x) at 90 and (W - 1 - y, x) at 270.
    const bool quarter = settings_.rotate == 90;
    const auto column = static_cast<std::size_t>(quarter ? down : resizedWidth_ - 1 - down);
    for (std::size_t x = 0; x < width; ++x) {
        const std::size_t across = flipAcross ? width - 1 - x : x;
        const std::size_t from = quarter ? width - 1 - across : across;
        row[x] = whole_[from * resizedWidth + column];
    }
}

}  // namespace rastelle
