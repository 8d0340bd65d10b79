#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "common/ConversionSettings.h"
#include "image/bmp/BmpHeaders.h"

namespace rastelle {

// Turns one stored row of an uncompressed (or RLE-expanded) image into colours. Everything
// that depends on the format alone (palette, mask tables) is worked out once here.
class RowDecoder {
  public:
    RowDecoder() = default;
    RowDecoder(const BmpLayout& layout, std::span<const std::uint8_t> file);

    // `row` holds at least the row's bytes; `out` has one entry per pixel, each with
    // `opacity` in bits 24-31.
    void DecodeRow(const std::uint8_t* row, std::span<Colour> out, Colour opacity = 0) const;
    Colour DecodePixel(const std::uint8_t* row, std::int32_t x) const;

    // Indices past the file's palette are black.
    const std::array<Colour, 256>& Palette() const { return palette_; }

  private:
    struct Channel {
        std::uint32_t shift = 0;
        std::uint32_t indexMask = 0;
        std::array<std::uint8_t, 256> scale{};
        std::uint32_t Apply(std::uint32_t pixel) const {
            return scale[(pixel >> shift) & indexMask];
        }
    };
    static Channel MakeChannel(std::uint32_t mask);
    Colour FromMasks(std::uint32_t pixel) const;

    PixelEncoding encoding_ = PixelEncoding::Indexed;
    std::uint16_t bitCount_ = 0;
    bool defaultMasks32_ = false;
    std::array<Colour, 256> palette_{};
    std::array<Channel, 3> channels_{};
    std::vector<Colour> lut16_;  // every 16-bit pixel value
};

// An RLE stream expanded to one palette index per pixel, top row first, with a bit per
// pixel telling whether the stream defined it.
struct RleCanvas {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> indices;
    std::vector<std::uint8_t> defined;

    bool IsDefined(std::size_t pixel) const {
        return ((unsigned{defined[pixel >> 3]} >> (pixel & 7U)) & 1U) != 0;
    }
};

// Runs and moves past the right edge are clipped; a stream that ends early, or moves
// past the last row, leaves the remaining pixels undefined.
RleCanvas ExpandRle(std::span<const std::uint8_t> stream, std::int32_t width, std::int32_t height,
                    bool fourBit);

// Channel value of `width` bits scaled to 8 by repeating its bit pattern (top 8 bits when
// wider).
std::uint8_t ScaleChannel(std::uint32_t value, std::uint32_t width);

}  // namespace rastelle
