#pragma once

// Shared by every stage: the settings a conversion follows, each read by the one stage it
// belongs to, and the colour every decoder gives. The front ends only fill them in.

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

// A colour with its opacity as it shows over the background, each channel rounded; opaque
// colours come back as they are. The result carries no opacity.
constexpr Colour ShownOver(Colour colour, Background background) {
    const std::uint32_t alpha = AlphaOf(colour);
    if (alpha == 255) {
        return colour & ~kOpaque;
    }
    const std::uint32_t under = background == Background::White ? 255 * (255 - alpha) : 0;
    const auto over = [&](std::uint32_t channel) {
        return static_cast<std::uint8_t>((channel * alpha + under + 127) / 255);
    };
    return MakeColour(over(RedOf(colour)), over(GreenOf(colour)), over(BlueOf(colour)));
}

// Which pixels the mask calls transparent: none (no mask), alpha below 128, or one key colour.
enum class MaskSource : std::int32_t { None, Alpha, KeyColour };
// Which pixels get a 1 in the mask.
enum class MaskBit : std::int32_t { Transparent, Opaque };
// Where the mask's bytes go: each before or after its picture byte, or an image of its own.
enum class MaskLayout : std::int32_t { Before, After, Block };
// Rows: each byte 8 pixels of a row. Pages: each byte a column of 8 rows, as panels read them.
// Strips: bytes as in rows, but the image's strips of 8 pixels wide one after another, each
// top to bottom (MSX sprites of 16 x 16: the top-left, bottom-left, top-right, bottom-right
// quarters).
enum class ByteLayout : std::int32_t { Rows, Pages, Strips };
// Which bit a byte's first pixel (leftmost in rows, topmost in pages) lands in; Default is
// bit 7 for rows and bit 0 for pages.
enum class BitOrder : std::int32_t { Default, Bit7First, Bit0First };
// In which order an image's cells come: along the rows of cells, or down the columns.
enum class CellOrder : std::int32_t { Rows, Columns };

// How the text spells a byte: as the syntax does by default (binary in assembler text,
// hexadecimal in C), or binary, hexadecimal or decimal.
enum class Radix : std::int32_t { Default, Binary, Hex, Decimal };

// The options of one conversion run.
struct ConversionSettings {
    FillMode fill = FillMode::Zeros;
    bool centre = false;
    WidthUnit widthUnit = WidthUnit::Bits;
    std::uint8_t threshold = 128;
    bool invert = false;  // 1 for light pixels instead of dark ones
    Dither dither = Dither::None;
    Background background = Background::White;

    // The mask, decided with the digits.
    MaskSource mask = MaskSource::None;
    Colour maskKey = 0;  // for MaskSource::KeyColour
    MaskBit maskBit = MaskBit::Transparent;

    // The layout of the bytes.
    ByteLayout layout = ByteLayout::Rows;
    BitOrder bitOrder = BitOrder::Default;
    MaskLayout maskLayout = MaskLayout::Before;
    std::int32_t cellWidth = 0;  // 0: the image is not cut into cells
    std::int32_t cellHeight = 0;
    CellOrder cellOrder = CellOrder::Rows;
    bool skipEmpty = false;  // leave out cells whose digits are all 0

    // The tiles: each distinct cell once, and a map of which goes where.
    bool unique = false;
    bool mirror = false;          // a flipped tile is the tile, its flips in the map
    bool attrInMap = false;       // the flips in the map's words rather than a table of their own
    std::int32_t mapBase = 0;     // added to every tile's index in the map
    std::int32_t emptyIndex = 0;  // the map entry of a cell left out as empty

    // The text.
    bool header = true;  // the width/height line
    Radix radix = Radix::Default;
    std::int32_t perLine = 0;  // at most this many literals a line; 0: a line per row or page
    bool comment = false;      // draw each row's pixels in a comment
    // Equates of each labelled image's width and height, and with several images a count
    // and a table of their addresses.
    bool symbols = false;
    // Set by the trim: where the part kept starts in the picture, written with the symbols as
    // NAME_trim_x and NAME_trim_y; -1 without trim.
    std::int32_t keptLeft = -1;
    std::int32_t keptTop = -1;
    // Instead of the text, the bytes assembling it gives: each header number a byte, then the
    // lines' bytes, images one after another.
    bool binary = false;
};

}  // namespace rastelle
