#pragma once

#include <cstdint>

namespace rastelle {

// A pixel colour packed like the Windows COLORREF: red in bits 0-7, green in 8-15, blue in 16-23.
using Colour = std::uint32_t;

constexpr Colour MakeColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return Colour{red} | (Colour{green} << 8) | (Colour{blue} << 16);
}
constexpr std::uint8_t RedOf(Colour colour) {
    return static_cast<std::uint8_t>(colour);
}
constexpr std::uint8_t GreenOf(Colour colour) {
    return static_cast<std::uint8_t>(colour >> 8);
}
constexpr std::uint8_t BlueOf(Colour colour) {
    return static_cast<std::uint8_t>(colour >> 16);
}
// Where a source gives it (PixelSource::ReadRowWithAlpha), bits 24-31 hold the opacity:
// 255 opaque, 0 fully transparent.
constexpr std::uint8_t AlphaOf(Colour colour) {
    return static_cast<std::uint8_t>(colour >> 24);
}
constexpr Colour kOpaque = Colour{0xFF} << 24;

// The values match the dialog's radio buttons and the fill digit ('0' + value).
enum class FillMode : std::int32_t { None = -1, Zeros = 0, Ones = 1 };
enum class WidthUnit : std::int32_t { Bits = 0, Bytes = 1 };
// How a pixel's tone becomes a digit: one threshold for every pixel, or dithering.
enum class Dither : std::int32_t { None, Ordered, FloydSteinberg, Atkinson };
// What transparent pixels are seen against.
enum class Background : std::int32_t { White, Black };

// The options of one conversion run.
struct ConversionSettings {
    FillMode fill = FillMode::Zeros;
    bool centre = false;
    WidthUnit widthUnit = WidthUnit::Bits;
    std::uint8_t threshold = 128;
    bool invert = false;  // 1 for light pixels instead of dark ones
    Dither dither = Dither::None;
    Background background = Background::White;
};

}  // namespace rastelle
