#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "BmpBuilder.h"
#include "image/bmp/BmpImage.h"

namespace rastelle {
namespace {

using namespace test;
using Rows = std::vector<std::vector<Colour>>;

constexpr Colour C(std::uint32_t rgb) {  // from 0xRRGGBB
    return MakeColour(static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                      static_cast<std::uint8_t>(rgb));
}
constexpr Colour W = C(0xFFFFFF), K = 0, R = C(0xFF0000), G = C(0x00FF00), B = C(0x0000FF);

// One row of pixel values, each `bytes` wide.
ByteVector Words(int bytes, std::initializer_list<std::uint32_t> values) {
    ByteVector row;
    for (const std::uint32_t value : values) {
        Put(row, value, bytes);
    }
    return PaddedRows({row});
}

// clang-format off
// 2 x 2, 24 bits: red green over blue white.
BmpBuilder Rgb24(std::uint32_t headerSize, bool topDown = false) {
    const ByteVector top = {0, 0, 0xFF, 0, 0xFF, 0}, bottom = {0xFF, 0, 0, 0xFF, 0xFF, 0xFF};
    return {.width = 2, .height = topDown ? -2 : 2, .headerSize = headerSize,
            .pixels = topDown ? PaddedRows({top, bottom}) : PaddedRows({bottom, top})};
}

// White first, so that RLE pixels the stream leaves out (black) and wrong indices stand out.
const ByteVector kPalette = PaletteOf({0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0x808080});

BmpBuilder Indexed(std::uint16_t bits, ByteVector row) {  // 9 pixels
    return {.width = 9, .bits = bits, .palette = kPalette, .pixels = PaddedRows({row})};
}

BmpBuilder Rle(std::uint16_t bits, std::int32_t width, std::int32_t height, ByteVector stream) {
    return {.width = width, .height = height, .bits = bits, .compression = bits == 8 ? 1U : 2U,
            .colorsUsed = 5, .palette = kPalette, .pixels = std::move(stream)};
}
// clang-format on

TEST(BmpDecoder, Variants) {
    const Rows rgb = {{R, G}, {B, W}}, pattern = {{R, W, R, R, W, W, R, W, R}};
    const ByteVector two = PaletteOf({0x102030, 0x405060}), bits40 = {0x40, 0, 0, 0};
    // clang-format off
    const struct { const char* name; BmpBuilder bmp; Rows pixels; } cases[] = {  // top row first
        {"header 12", Rgb24(12), rgb}, {"header 16", Rgb24(16), rgb}, {"header 24", Rgb24(24), rgb},
        {"header 40", Rgb24(40), rgb}, {"header 52", Rgb24(52), rgb}, {"header 56", Rgb24(56), rgb},
        {"header 64", Rgb24(64), rgb}, {"header 108", Rgb24(108), rgb},
        {"header 124", Rgb24(124), rgb}, {"top-down", Rgb24(40, true), rgb},
        {"24 bits, 8 wide: no padding", {.width = 8, .pixels = Words(3, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF,
         0, 0x102030, 0x405060, 0x708090})},
         {{R, G, B, W, K, C(0x102030), C(0x405060), C(0x708090)}}},
        {"widest", {.width = 1 << 24, .height = 0}, {}},
        {"1 bit", Indexed(1, {0xB2, 0x80}), pattern},
        {"2 bits", Indexed(2, {0x45, 0x04, 0x40}), pattern},
        {"4 bits", Indexed(4, {0x10, 0x11, 0x00, 0x10, 0x10}), pattern},
        {"8 bits", Indexed(8, {1, 0, 1, 1, 0, 0, 1, 0, 1}), pattern},
        // Indices past the palette are black; without a count it is what fits before the pixels.
        {"count below the room", {.width = 3, .bits = 8, .colorsUsed = 2,
         .palette = PaletteOf({0x102030, 0x405060, 0x708090}), .pixels = {0, 1, 2, 0}},
         {{C(0x102030), C(0x405060), K}}},
        {"no count, room for 2", {.width = 3, .bits = 8, .palette = two, .pixels = {0, 1, 2, 0}},
         {{C(0x102030), C(0x405060), K}}},
        {"count clamped", {.width = 2, .bits = 1, .colorsUsed = 1000000, .palette = two,
         .pixels = bits40}, {{C(0x102030), C(0x405060)}}},
        {"3-byte entries", {.width = 2, .bits = 1, .headerSize = 12,
         .palette = PaletteOf({0x102030, 0x405060}, true), .pixels = bits40},
         {{C(0x102030), C(0x405060)}}},
        // Narrow channels repeat their bits (5-bit 3 is 24), wide ones keep the top 8.
        {"5-5-5", {.width = 3, .bits = 16, .pixels = Words(2, {0x0003, 0xFFFF, 0x7C00})},
         {{C(0x000018), W, R}}},
        {"5-6-5", {.width = 3, .bits = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F},
         .pixels = Words(2, {8U << 5, 0xF800, 0x001F})}, {{C(0x002000), R, B}}},
        {"3-1-0", {.width = 3, .bits = 16, .compression = 3, .masks = {0x0007, 0x0008, 0},
         .pixels = Words(2, {0x0005, 0x0008, 0xFFFF})}, {{C(0xB60000), G, C(0xFFFF00)}}},
        {"8-8-8-8", {.width = 2, .bits = 32, .pixels = Words(4, {0xAA123456, 0x00FFFFFF})},
         {{C(0x123456), W}}},
        {"10-10-10 in V4", {.bits = 32, .compression = 3, .headerSize = 108,
         .masks = {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}, .pixels = Words(4, {0x3FF80003})},
         {{C(0xFF8000)}}},
        {"alpha masks after 40", {.bits = 32, .compression = 6,
         .masks = {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, .pixels = Words(4, {0x7F332211})},
         {{C(0x112233)}}},
        {"masks in V2", {.bits = 32, .compression = 3, .headerSize = 52,
         .masks = {0xFF000000, 0xFF0000, 0xFF00}, .pixels = Words(4, {0x11223344})},
         {{C(0x112233)}}},
        // Run, odd absolute run (padded), end of line, delta (1, 1), run, end of bitmap.
        {"rle8", Rle(8, 5, 3, {2, 1, 0, 3, 2, 3, 0, 0, 0, 0, 0, 2, 1, 1, 1, 3, 0, 1}),
         {{K, B, K, K, K}, {K, K, K, K, K}, {R, R, G, B, W}}},
        {"rle8 delta from x 2", Rle(8, 5, 1, {2, 1, 0, 2, 1, 0, 1, 1, 0, 1}), {{R, R, K, R, K}}},
        {"rle8 past the right edge, no end", Rle(8, 3, 3, {200, 1, 0, 0, 0, 5, 2, 2, 2, 2, 2, 0}),
         {{K, K, K}, {G, G, G}, {R, R, R}}},
        {"rle8 run past the edge, not the last row in memory", Rle(8, 3, 2, {0, 0, 4, 1, 0, 1}),
         {{R, R, R}, {K, K, K}}},
        {"rle8 bytes after the end", Rle(8, 4, 1, {0, 1, 4, 1}), {{K, K, K, K}}},
        {"rle8 delta off the image", Rle(8, 3, 2, {0, 2, 255, 255, 1, 1}), {{K, K, K}, {K, K, K}}},
        {"rle8 cut in an absolute run", Rle(8, 3, 1, {0, 3, 1}), {{R, K, K}}},
        {"rle4", Rle(4, 8, 2, {5, 0x12, 0, 0, 0, 5, 0x30, 0x12, 0x30, 0, 0, 3, 0x41, 0x20, 0, 1}),
         {{B, W, R, G, B, C(0x808080), R, G}, {R, G, R, G, R, K, K, K}}},
    };
    // clang-format on
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        ByteVector file = test.bmp.Build();
        file.shrink_to_fit();  // so that the sanitizer sees a read past the file
        auto decoded = DecodeBmp(std::move(file));
        ASSERT_TRUE(decoded.ok()) << decoded.error().message;
        const BmpImage& image = decoded.value();
        Rows rows;
        for (std::int32_t y = 0; y < image.Height(); ++y) {
            rows.emplace_back(static_cast<std::size_t>(image.Width()));
            image.ReadRow(y, rows.back());
            for (std::int32_t x = 0; x < image.Width(); ++x) {
                EXPECT_EQ(image.ColourAt(x, y), rows.back()[static_cast<std::size_t>(x)]) << x;
            }
        }
        EXPECT_EQ(rows, test.pixels);
    }
}

TEST(BmpDecoder, Refusals) {
    using enum DecodeErrorKind;
    // clang-format off
    const struct { BmpBuilder bmp; DecodeErrorKind kind; } cases[] = {
        {{.headerSize = 200}, Unsupported},
        {{.bits = 0, .compression = 4}, Unsupported}, {{.compression = 5}, Unsupported},  // JPEG,
        {{.compression = 3, .headerSize = 64}, Unsupported},  // PNG, Huffman 1D and RLE24
        {{.compression = 4, .headerSize = 64}, Unsupported},
        {{.compression = 9}, Unsupported}, {{.bits = 7}, Unsupported},
        {{.width = 0}, Invalid}, {{.width = -3}, Invalid}, {{.planes = 0}, Invalid},
        {{.compression = 1}, Invalid}, {{.bits = 8, .compression = 2}, Invalid},  // RLE depths
        {{.height = -1, .bits = 8, .compression = 1}, Invalid},  // top-down RLE
        {{.compression = 3, .masks = {1, 2, 4}}, Invalid},  // masks at 24 bits
        {{.bits = 32, .compression = 3, .masks = {0xF0F000, 0xFF00, 0xFF}}, Invalid},
        {{.bits = 32, .compression = 6, .masks = {1, 2, 4, 8}, .pixelOffset = 66}, Invalid},
        {{.width = (1 << 24) + 1, .height = 0}, TooLarge}, {{.height = INT32_MIN}, TooLarge},
        {{.width = 1 << 20, .height = 1 << 20}, TooLarge},  // the text
        {Rle(8, 18000, 18000, {0, 1}), TooLarge},  // expanded, with a bit per pixel
        {{.pixelOffset = 20}, Invalid}, {{.pixelOffset = 5000}, Truncated},
        {{.height = 200}, Truncated},
        {{.bits = 8, .colorsUsed = 100, .palette = ByteVector(8), .pixels = ByteVector(500)},
         Invalid},
        {{.height = 0, .bits = 8, .colorsUsed = 256, .pixels = {}}, Truncated},
    };
    // clang-format on
    for (const auto& test : cases) {
        const auto decoded = DecodeBmp(test.bmp.Build());
        ASSERT_FALSE(decoded.ok()) << &test - cases;
        EXPECT_EQ(decoded.error().kind, test.kind)
            << &test - cases << ": " << decoded.error().message;
        EXPECT_FALSE(decoded.error().message.empty());
    }
    EXPECT_EQ(DecodeBmp({'G', 'I', 'F', '8', '9', 'a'}).error().kind, Invalid);
    EXPECT_TRUE(DecodeBmp(Rle(8, 16384, 16384, {0, 1}).Build()).ok());  // just within the cap
    EXPECT_EQ(DecodeBmp(BmpBuilder{.height = 200}.Build()).error().message,
              "pixel data truncated: need 800 bytes at offset 54, file has 58");
}

TEST(BmpDecoder, EveryTruncationIsRefused) {
    for (const BmpBuilder& bmp :
         {Rgb24(40), Rgb24(12), Rgb24(124), Indexed(8, {1, 0, 1, 1, 0, 0, 1, 0, 1}),
          BmpBuilder{.bits = 16, .compression = 6, .masks = {0xF, 0xF0, 0xF00, 0xF000}}}) {
        const ByteVector file = bmp.Build();
        ASSERT_TRUE(DecodeBmp(file).ok());
        for (auto end = file.begin(); end != file.end(); ++end) {
            EXPECT_FALSE(DecodeBmp(ByteVector(file.begin(), end)).ok()) << end - file.begin();
        }
    }
}

}  // namespace
}  // namespace rastelle
