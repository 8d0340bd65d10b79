#include "image/jpeg/JpegImage.h"

#include <algorithm>
#include <cstddef>
#include <new>
#include <string>
#include <vector>

#include "common/Limits.h"
#include "image/jpeg/ExifOrientation.h"
#include "image/jpeg/JpegLibrary.h"
#include "image/stb/StbImage.h"

namespace rastelle {

namespace {

using jpeg::ColourModel;

// a x b / 255, rounded as djpeg rounds.
constexpr std::uint8_t Product(std::uint32_t a, std::uint32_t b) {
    return static_cast<std::uint8_t>((a * b + 127) / 255);
}

template <ColourModel kModel>
Colour ColourOf(const std::uint8_t* samples) {
    if constexpr (kModel == ColourModel::Grey) {
        return MakeColour(samples[0], samples[0], samples[0]);
    } else if constexpr (kModel == ColourModel::Rgb) {
        return MakeColour(samples[0], samples[1], samples[2]);
    } else if constexpr (kModel == ColourModel::InvertedCmyk) {
        const std::uint32_t black = samples[3];
        return MakeColour(Product(samples[0], black), Product(samples[1], black),
                          Product(samples[2], black));
    } else {
        const std::uint32_t black = 255U - samples[3];
        return MakeColour(Product(255U - samples[0], black), Product(255U - samples[1], black),
                          Product(255U - samples[2], black));
    }
}

// A stored row's pixels, left to right, go to out[start], out[start + step], ...
template <ColourModel kModel>
void PlaceRow(const std::uint8_t* samples, std::int64_t width, Colour* out, std::ptrdiff_t start,
              std::ptrdiff_t step) {
    constexpr std::size_t kSamples = kModel == ColourModel::Grey  ? 1
                                     : kModel == ColourModel::Rgb ? 3
                                                                  : 4;
    for (std::int64_t x = 0; x < width; ++x, samples += kSamples, start += step) {
        out[start] = ColourOf<kModel>(samples);
    }
}

struct Placement {
    std::ptrdiff_t start = 0;
    std::ptrdiff_t step = 1;
};

// Where stored row y of a width x height image starts, and its direction, in the upright
// image.
Placement PlaceOf(Orientation orientation, std::ptrdiff_t y, std::ptrdiff_t width,
                  std::ptrdiff_t height) {
    switch (orientation) {
        case 2:
            return {y * width + width - 1, -1};
        case 3:
            return {(height - 1 - y) * width + width - 1, -1};
        case 4:
            return {(height - 1 - y) * width, 1};
        case 5:
            return {y, height};
        case 6:
            return {height - 1 - y, height};
        case 7:
            return {(width - 1) * height + height - 1 - y, -height};
        case 8:
            return {(width - 1) * height + y, -height};
        default:
            return {y * width, 1};
    }
}

// What the library's large buffers may take: a progressive image's coefficients, two bytes a
// sample for up to four full-size components, in blocks of up to 32 x 32 pixels.
std::uint64_t MemoryLimit(std::int64_t width, std::int64_t height) {
    constexpr std::uint64_t kBytesPerPixel = 8;
    constexpr std::uint64_t kSlack = 1024 * 1024;
    const auto padded = [](std::int64_t side) { return static_cast<std::uint64_t>(side + 32); };
    return std::min(kBytesPerPixel * padded(width) * padded(height) + kSlack,
                    limits::kMaxLibraryBytes);
}

}  // namespace

Decoded<std::unique_ptr<JpegImage>> JpegImage::Decode(std::span<const std::uint8_t> file) {
    try {
        jpeg::Decompressor decompressor(file);
        Decoded<jpeg::Header> header = decompressor.ReadHeader();
        if (!header.ok()) {
            return header.error();
        }
        const std::int64_t width = header.value().width;
        const std::int64_t height = header.value().height;
        if (DecodeError error = CheckDecodedSize(width, height);
            error.kind != DecodeErrorKind::None) {
            return error;
        }
        // A broken EXIF block does not spoil the picture: it is shown as stored, as viewers do.
        const Decoded<Orientation> exif = ReadExifOrientation(decompressor.Exif());
        const Orientation orientation = exif.ok() ? exif.value() : 1;
        const Decoded<int> rowsAtOnce = decompressor.Start(MemoryLimit(width, height));
        if (!rowsAtOnce.ok()) {
            return rowsAtOnce.error();
        }

        std::unique_ptr<JpegImage> image(new JpegImage);
        const bool turned = orientation >= 5;
        image->width_ = static_cast<std::int32_t>(turned ? height : width);
        image->height_ = static_cast<std::int32_t>(turned ? width : height);
        // Left uninitialised, as every pixel is written below: new without () zeroes nothing.
        image->pixels_.reset(new Colour[static_cast<std::size_t>(width * height)]);
        const auto rowSamples = static_cast<std::size_t>(width) *
                                static_cast<std::size_t>(header.value().samplesPerPixel);
        std::vector<std::uint8_t> samples(rowSamples *
                                          static_cast<std::size_t>(rowsAtOnce.value()));
        const auto place = [&](std::ptrdiff_t y, const std::uint8_t* row) {
            const Placement at = PlaceOf(orientation, y, static_cast<std::ptrdiff_t>(width),
                                         static_cast<std::ptrdiff_t>(height));
            Colour* out = image->pixels_.get();
            switch (header.value().model) {
                case ColourModel::Grey:
                    return PlaceRow<ColourModel::Grey>(row, width, out, at.start, at.step);
                case ColourModel::Rgb:
                    return PlaceRow<ColourModel::Rgb>(row, width, out, at.start, at.step);
                case ColourModel::InvertedCmyk:
                    return PlaceRow<ColourModel::InvertedCmyk>(row, width, out, at.start, at.step);
                case ColourModel::Cmyk:
                    return PlaceRow<ColourModel::Cmyk>(row, width, out, at.start, at.step);
            }
        };
        for (std::int64_t y = 0; y < height;) {
            const Decoded<int> read = decompressor.ReadRows(samples);
            if (!read.ok()) {
                return read.error();
            }
            if (read.value() <= 0) {  // never with data in memory; no endless loop either way
                return MakeError(
                    DecodeErrorKind::Invalid,
                    "bad JPEG file (no more rows after row " + std::to_string(y) + ")");
            }
            for (int row = 0; row < read.value() && y < height; ++row, ++y) {
                place(static_cast<std::ptrdiff_t>(y),
                      samples.data() + static_cast<std::size_t>(row) * rowSamples);
            }
        }
        return image;
    } catch (const std::bad_alloc&) {
        return MakeError(DecodeErrorKind::TooLarge, "not enough memory to decode the image");
    }
}

std::int64_t JpegImage::HeaderPixels(std::span<const std::uint8_t> file) {
    jpeg::Decompressor decompressor(file);
    const Decoded<jpeg::Header> header = decompressor.ReadHeader();
    return header.ok() ? header.value().width * header.value().height : 0;
}

Colour JpegImage::ColourAt(std::int32_t x, std::int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return 0;
    }
    return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                   static_cast<std::size_t>(x)];
}

void JpegImage::ReadRow(std::int32_t y, std::span<Colour> row) const {
    const auto count = std::min(row.size(), static_cast<std::size_t>(width_));
    if (y < 0 || y >= height_) {
        std::fill_n(row.begin(), count, Colour{0});
        return;
    }
    std::copy_n(pixels_.get() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_),
                count, row.begin());
}

void JpegImage::ReadRowWithAlpha(std::int32_t y, std::span<Colour> row) const {
    const auto count = std::min(row.size(), static_cast<std::size_t>(width_));
    if (y < 0 || y >= height_) {
        std::fill_n(row.begin(), count, kOpaque);
        return;
    }
    const Colour* const from =
        pixels_.get() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
    for (std::size_t x = 0; x < count; ++x) {
        row[x] = from[x] | kOpaque;
    }
}

}  // namespace rastelle
