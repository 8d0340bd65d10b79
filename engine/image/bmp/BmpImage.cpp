#include "image/bmp/BmpImage.h"

#include <algorithm>
#include <new>
#include <string>

#include "common/Limits.h"

namespace rastelle {

namespace {

void Prefetch(const std::uint8_t* address) {
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    static_cast<void>(address);
#endif
}

}  // namespace

BmpImage::BmpImage(std::vector<std::uint8_t> file, const BmpLayout& layout)
    : file_(std::move(file)), layout_(layout), decoder_(layout, file_) {
    const bool fourBit = layout.encoding == PixelEncoding::Rle4;
    if (fourBit || layout.encoding == PixelEncoding::Rle8) {
        const std::span<const std::uint8_t> stream(file_.data() + layout.pixelOffset,
                                                   static_cast<std::size_t>(layout.pixelBytes));
        rle_ = ExpandRle(stream, layout.width, layout.height, fourBit);
        // The palette is in the decoder and the pixels in the canvas: the file can go.
        file_ = {};
    }
}

const std::uint8_t* BmpImage::StoredRow(std::int32_t y) const {
    const auto row = static_cast<std::uint64_t>(layout_.topDown ? y : layout_.height - 1 - y);
    return file_.data() + layout_.pixelOffset + row * layout_.stride;
}

Colour BmpImage::ColourAt(std::int32_t x, std::int32_t y) const {
    if (x < 0 || y < 0 || x >= layout_.width || y >= layout_.height) {
        return 0;
    }
    if (IsRle()) {
        const std::size_t pixel =
            static_cast<std::size_t>(y) * static_cast<std::size_t>(layout_.width) +
            static_cast<std::size_t>(x);
        return rle_.IsDefined(pixel) ? decoder_.Palette()[rle_.indices[pixel]] : 0;
    }
    return decoder_.DecodePixel(StoredRow(y), x);
}

void BmpImage::ReadRow(std::int32_t y, std::span<Colour> row) const {
    Read(y, row, 0);
}

void BmpImage::ReadRowWithAlpha(std::int32_t y, std::span<Colour> row) const {
    Read(y, row, kOpaque);
}

void BmpImage::Read(std::int32_t y, std::span<Colour> row, Colour opacity) const {
    const auto count = std::min(row.size(), static_cast<std::size_t>(layout_.width));
    const std::span<Colour> out = row.first(count);
    if (y < 0 || y >= layout_.height) {
        std::fill(out.begin(), out.end(), opacity);
        return;
    }
    if (!IsRle()) {
        // Rows are read one after another: the next one is fetched into the cache meanwhile
        // (bottom-up files store it below this one, where the hardware does not look ahead).
        if (y + 1 < layout_.height) {
            const std::uint8_t* next = StoredRow(y + 1);
            for (std::uint64_t at = 0; at < layout_.stride; at += 64) {
                Prefetch(next + at);
            }
        }
        decoder_.DecodeRow(StoredRow(y), out, opacity);
        return;
    }
    const std::size_t start = static_cast<std::size_t>(y) * static_cast<std::size_t>(layout_.width);
    decoder_.DecodeRow(rle_.indices.data() + start, out, opacity);
    // Pixels the stream never set are black, whatever palette entry 0 is.
    for (std::size_t x = 0; x < count; ++x) {
        if (!rle_.IsDefined(start + x)) {
            out[x] = opacity;
        }
    }
}

Decoded<BmpImage> DecodeBmp(std::vector<std::uint8_t> fileBytes) {
    if (fileBytes.size() > limits::kMaxFileBytes) {
        return MakeError(DecodeErrorKind::TooLarge, "file of " + std::to_string(fileBytes.size()) +
                                                        " bytes is larger than the cap of " +
                                                        std::to_string(limits::kMaxFileBytes));
    }
    auto layout = ParseHeaders(fileBytes);
    if (!layout.ok()) {
        return layout.error();
    }
    try {
        return BmpImage(std::move(fileBytes), layout.value());
    } catch (const std::bad_alloc&) {
        return MakeError(DecodeErrorKind::TooLarge, "not enough memory to decode the image");
    }
}

}  // namespace rastelle
