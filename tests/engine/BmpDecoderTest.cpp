#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "BmpBuilder.h"
#include "bmp/BmpDecoder.h"
#include "bmp/BmpImage.h"

namespace rastelle {
namespace {

using test::BmpBuilder;
using test::ByteVector;
using test::PaddedRows;
using test::PaletteOf;

constexpr Colour Rgb(std::uint32_t rgb) {
    return MakeColour(static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                      static_cast<std::uint8_t>(rgb));
}

// All pixels, top row first, read through ReadRow; ColourAt must agree with it.
std::vector<std::vector<Colour>> Pixels(const ByteVector& file) {
    auto decoded = DecodeBmp(file);
    EXPECT_TRUE(decoded.ok()) << decoded.error().message;
    if (!decoded.ok()) {
        return {};
    }
    const BmpImage& image = decoded.value();
    std::vector<std::vector<Colour>> rows;
    for (std::int32_t y = 0; y < image.Height(); ++y) {
        std::vector<Colour> row(static_cast<std::size_t>(image.Width()));
        image.ReadRow(y, row);
        for (std::int32_t x = 0; x < image.Width(); ++x) {
            EXPECT_EQ(image.ColourAt(x, y), row[static_cast<std::size_t>(x)]) << x << "," << y;
        }
        rows.push_back(row);
    }
    return rows;
}

DecodeError Refusal(const ByteVector& file) {
    auto decoded = DecodeBmp(file);
    EXPECT_FALSE(decoded.ok());
    return decoded.ok() ? DecodeError{} : decoded.error();
}

// 2 x 2, 24-bit: red green / blue white, stored bottom-up.
BmpBuilder Rgb24(std::uint32_t headerSize) {
    BmpBuilder bmp;
    bmp.headerSize = headerSize;
    bmp.width = 2;
    bmp.height = 2;
    bmp.pixels = PaddedRows({{0xFF, 0, 0, 0xFF, 0xFF, 0xFF}, {0, 0, 0xFF, 0, 0xFF, 0}});
    return bmp;
}

const std::vector<std::vector<Colour>> kRgb24Expected = {{Rgb(0xFF0000), Rgb(0x00FF00)},
                                                         {Rgb(0x0000FF), Rgb(0xFFFFFF)}};

TEST(BmpDecoder, EveryHeaderVersionReadsTheSamePixels) {
    for (const std::uint32_t size : {12U, 16U, 24U, 40U, 52U, 56U, 64U, 108U, 124U}) {
        EXPECT_EQ(Pixels(Rgb24(size).Build()), kRgb24Expected) << "header size " << size;
    }
}

TEST(BmpDecoder, TopDownAndBottomUp) {
    BmpBuilder bmp = Rgb24(40);
    bmp.height = -2;
    bmp.pixels = PaddedRows({{0, 0, 0xFF, 0, 0xFF, 0}, {0xFF, 0, 0, 0xFF, 0xFF, 0xFF}});
    EXPECT_EQ(Pixels(bmp.Build()), kRgb24Expected);
}

TEST(BmpDecoder, Rgb24RowPadding) {
    BmpBuilder bmp;
    bmp.width = 3;
    bmp.height = 2;
    bmp.pixels = PaddedRows({{1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 11, 12, 13, 14, 15, 16, 17, 18}});
    ASSERT_EQ(bmp.pixels.size(), 24U);
    const auto rows = Pixels(bmp.Build());
    ASSERT_EQ(rows.size(), 2U);
    EXPECT_EQ(rows[0][0], Rgb(0x0C0B0A));
    EXPECT_EQ(rows[1][2], Rgb(0x090807));
}

TEST(BmpDecoder, IndexedDepths) {
    const ByteVector palette16 =
        PaletteOf({0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0x112233, 0x445566, 0x778899,
                   0x010101, 0x020202, 0x030303, 0x040404, 0x050505, 0x060606, 0x070707, 0xABCDEF});
    struct Case {
        std::uint16_t bits;
        ByteVector row;  // 9 pixels: indices 1,0,1,1,0,0,1,0,1 widened per depth
        std::vector<Colour> expected;
    };
    const Colour w = Rgb(0xFFFFFF);
    const Colour b = 0;
    const std::vector<Colour> pattern = {w, b, w, w, b, b, w, b, w};
    const std::vector<Case> cases = {
        {1, {0xB2, 0x80}, pattern},
        {2, {0x45, 0x04, 0x40}, pattern},
        {4, {0x10, 0x11, 0x00, 0x10, 0x10}, pattern},
        {8, {1, 0, 1, 1, 0, 0, 1, 0, 1}, pattern},
    };
    for (const Case& test : cases) {
        BmpBuilder bmp;
        bmp.width = 9;
        bmp.bits = test.bits;
        bmp.palette = ByteVector(palette16.begin(),
                                 palette16.begin() + 4 * (1 << (test.bits > 4 ? 4 : test.bits)));
        bmp.pixels = PaddedRows({test.row});
        const auto rows = Pixels(bmp.Build());
        ASSERT_EQ(rows.size(), 1U) << test.bits;
        EXPECT_EQ(rows[0], test.expected) << test.bits << " bits";
    }
}

TEST(BmpDecoder, PaletteRules) {
    BmpBuilder bmp;
    bmp.width = 4;
    bmp.bits = 8;
    bmp.pixels = PaddedRows({{0, 1, 2, 255}});

    // A short palette: indices past it are black.
    bmp.colorsUsed = 2;
    bmp.palette = PaletteOf({0x102030, 0x405060});
    EXPECT_EQ(Pixels(bmp.Build())[0], (std::vector<Colour>{Rgb(0x102030), Rgb(0x405060), 0, 0}));

    // A count beyond 2^bits is clamped.
    BmpBuilder one;
    one.width = 2;
    one.bits = 1;
    one.colorsUsed = 1000000;
    one.palette = PaletteOf({0xFFFFFF, 0x00FF00});
    one.pixels = PaddedRows({{0x40}});
    EXPECT_EQ(Pixels(one.Build())[0], (std::vector<Colour>{Rgb(0xFFFFFF), Rgb(0x00FF00)}));

    // Without a count, the palette is whatever fits before the pixel data.
    bmp.colorsUsed = 0;
    bmp.palette = PaletteOf({0x102030, 0x405060, 0x708090});
    EXPECT_EQ(Pixels(bmp.Build())[0],
              (std::vector<Colour>{Rgb(0x102030), Rgb(0x405060), Rgb(0x708090), 0}));

    // OS/2 1.x entries are three bytes.
    BmpBuilder core;
    core.headerSize = 12;
    core.width = 2;
    core.bits = 1;
    core.palette = PaletteOf({0x010203, 0xA0B0C0}, true);
    core.pixels = PaddedRows({{0x40}});
    EXPECT_EQ(Pixels(core.Build())[0], (std::vector<Colour>{Rgb(0x010203), Rgb(0xA0B0C0)}));
}

TEST(BmpDecoder, ScaleChannelRepeatsTheBitPattern) {
    EXPECT_EQ(ScaleChannel(3, 5), 24);
    EXPECT_EQ(ScaleChannel(31, 5), 255);
    EXPECT_EQ(ScaleChannel(8, 6), 32);
    EXPECT_EQ(ScaleChannel(1, 1), 255);
    EXPECT_EQ(ScaleChannel(5, 3), 182);
    EXPECT_EQ(ScaleChannel(0x3FF, 10), 255);
    EXPECT_EQ(ScaleChannel(0x200, 10), 128);
    EXPECT_EQ(ScaleChannel(0xAB, 8), 0xAB);
    EXPECT_EQ(ScaleChannel(0, 0), 0);
}

ByteVector Words16(std::initializer_list<std::uint32_t> values) {
    ByteVector out;
    for (const std::uint32_t value : values) {
        test::PutU16(out, value);
    }
    return out;
}

ByteVector Words32(std::initializer_list<std::uint32_t> values) {
    ByteVector out;
    for (const std::uint32_t value : values) {
        test::PutU32(out, value);
    }
    return out;
}

TEST(BmpDecoder, SixteenBitLayouts) {
    BmpBuilder bmp;
    bmp.width = 3;
    bmp.bits = 16;
    // 5-5-5, top bit ignored: blue 3, white with the top bit set, red 31.
    bmp.pixels = PaddedRows({Words16({0x0003, 0xFFFF, 0x7C00})});
    EXPECT_EQ(Pixels(bmp.Build())[0],
              (std::vector<Colour>{MakeColour(0, 0, 24), Rgb(0xFFFFFF), Rgb(0xFF0000)}));

    // 5-6-5 from BITFIELDS after a 40-byte header: green 8 of 6 bits is 32.
    bmp.compression = 3;
    bmp.masks = {0xF800, 0x07E0, 0x001F};
    bmp.pixels = PaddedRows({Words16({8U << 5, 0xF800, 0x001F})});
    EXPECT_EQ(Pixels(bmp.Build())[0],
              (std::vector<Colour>{MakeColour(0, 32, 0), Rgb(0xFF0000), Rgb(0x0000FF)}));

    // Odd widths: 3-bit red 5 is 182, 1-bit green, zero-width blue.
    bmp.masks = {0x0007, 0x0008, 0};
    bmp.pixels = PaddedRows({Words16({0x0005, 0x0008, 0xFFFF})});
    EXPECT_EQ(Pixels(bmp.Build())[0],
              (std::vector<Colour>{MakeColour(182, 0, 0), MakeColour(0, 255, 0),
                                   MakeColour(255, 255, 0)}));
}

TEST(BmpDecoder, ThirtyTwoBitLayouts) {
    BmpBuilder bmp;
    bmp.width = 2;
    bmp.bits = 32;
    bmp.pixels = Words32({0xAA123456, 0x00FFFFFF});  // alpha byte ignored
    EXPECT_EQ(Pixels(bmp.Build())[0], (std::vector<Colour>{Rgb(0x123456), Rgb(0xFFFFFF)}));

    // 10-10-10 keeps the top 8 bits of each channel; masks in a V4 header.
    bmp.headerSize = 108;
    bmp.compression = 3;
    bmp.masks = {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000};
    bmp.pixels = Words32({(0x3FFU << 20) | (0x200U << 10) | 0x003U});
    bmp.width = 1;
    EXPECT_EQ(Pixels(bmp.Build())[0], (std::vector<Colour>{MakeColour(255, 128, 0)}));

    // ALPHABITFIELDS after a 40-byte header: four masks, sixteen bytes.
    bmp.headerSize = 40;
    bmp.compression = 6;
    bmp.masks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};
    bmp.pixels = Words32({0x7F332211});
    EXPECT_EQ(Pixels(bmp.Build())[0], (std::vector<Colour>{MakeColour(0x11, 0x22, 0x33)}));

    // Masks in a V2 header.
    bmp.headerSize = 52;
    bmp.compression = 3;
    bmp.masks = {0xFF000000, 0x00FF0000, 0x0000FF00};
    bmp.pixels = Words32({0x11223344});
    EXPECT_EQ(Pixels(bmp.Build())[0], (std::vector<Colour>{MakeColour(0x11, 0x22, 0x33)}));
}

BmpBuilder Rle(std::uint16_t bits, std::int32_t width, std::int32_t height, ByteVector stream) {
    BmpBuilder bmp;
    bmp.bits = bits;
    bmp.compression = bits == 8 ? 1 : 2;
    bmp.width = width;
    bmp.height = height;
    // Entry 0 is white so that undefined (black) pixels stand out.
    bmp.palette = PaletteOf({0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0x808080});
    bmp.colorsUsed = 5;
    bmp.pixels = std::move(stream);
    return bmp;
}

TEST(BmpDecoder, Rle8RunsDeltaAndUndefinedPixels) {
    const Colour W = Rgb(0xFFFFFF), R = Rgb(0xFF0000), G = Rgb(0x00FF00), B = Rgb(0x0000FF);
    const Colour U = 0;
    // Bottom row: run of 2 red, absolute 3 (odd: padded) green blue white, end of line.
    // Next row: delta (1, 1) skipping into the top row, then run 1 blue, end of bitmap.
    const ByteVector stream = {2, 1, 0, 3, 2, 3, 0, 0, 0, 0, 0, 2, 1, 1, 1, 3, 0, 1};
    const auto rows = Pixels(Rle(8, 5, 3, stream).Build());
    ASSERT_EQ(rows.size(), 3U);
    EXPECT_EQ(rows[0], (std::vector<Colour>{U, B, U, U, U}));
    EXPECT_EQ(rows[1], (std::vector<Colour>{U, U, U, U, U}));
    EXPECT_EQ(rows[2], (std::vector<Colour>{R, R, G, B, W}));
}

TEST(BmpDecoder, Rle8ClipsAndToleratesAMissingEnd) {
    const Colour R = Rgb(0xFF0000), G = Rgb(0x00FF00);
    // A run of 200 on a 3-wide row, then an absolute run past the edge, no end marker.
    const ByteVector stream = {200, 1, 0, 0, 0, 5, 2, 2, 2, 2, 2, 0};
    const auto rows = Pixels(Rle(8, 3, 3, stream).Build());
    ASSERT_EQ(rows.size(), 3U);
    EXPECT_EQ(rows[2], (std::vector<Colour>{R, R, R}));
    EXPECT_EQ(rows[1], (std::vector<Colour>{G, G, G}));
    EXPECT_EQ(rows[0], (std::vector<Colour>{0, 0, 0}));

    // Deltas far beyond the image, and a stream cut inside an absolute run.
    EXPECT_EQ(Pixels(Rle(8, 3, 2, {0, 2, 255, 255, 1, 1}).Build()),
              (std::vector<std::vector<Colour>>(2, std::vector<Colour>(3, 0))));
    EXPECT_EQ(Pixels(Rle(8, 3, 1, {0, 3, 1}).Build())[0], (std::vector<Colour>{R, 0, 0}));
}

TEST(BmpDecoder, Rle4NibblesAndPadding) {
    const Colour W = Rgb(0xFFFFFF), R = Rgb(0xFF0000), G = Rgb(0x00FF00), B = Rgb(0x0000FF);
    // Run of 5 alternating red/green; end of line; absolute 5 (3 bytes + pad) then 3 (2 bytes).
    const ByteVector stream = {5, 0x12, 0, 0, 0, 5, 0x30, 0x12, 0x30, 0, 0, 3, 0x41, 0x20, 0, 1};
    const auto rows = Pixels(Rle(4, 8, 2, stream).Build());
    ASSERT_EQ(rows.size(), 2U);
    const Colour Y = Rgb(0x808080);
    EXPECT_EQ(rows[1], (std::vector<Colour>{R, G, R, G, R, 0, 0, 0}));
    EXPECT_EQ(rows[0], (std::vector<Colour>{B, W, R, G, B, Y, R, G}));
}

struct Refused {
    const char* name;
    ByteVector file;
    DecodeErrorKind kind;
    std::string message;
};

std::vector<Refused> RefusedFiles() {
    std::vector<Refused> cases;
    const auto with = [](auto change) {
        BmpBuilder bmp = Rgb24(40);
        change(bmp);
        return bmp.Build();
    };
    ByteVector notBmp = Rgb24(40).Build();
    notBmp[0] = 'P';
    cases.push_back({"signature", notBmp, DecodeErrorKind::Invalid, "not a BMP file"});
    ByteVector header20 = Rgb24(40).Build();
    header20[14] = 200;
    cases.push_back(
        {"unknown header", header20, DecodeErrorKind::Unsupported, "unknown header size 200"});
    cases.push_back({"jpeg", with([](BmpBuilder& b) {
                         b.compression = 4;
                         b.bits = 0;
                     }),
                     DecodeErrorKind::Unsupported, "JPEG compression is not supported"});
    cases.push_back({"png", with([](BmpBuilder& b) { b.compression = 5; }),
                     DecodeErrorKind::Unsupported, "PNG compression is not supported"});
    cases.push_back({"huffman", with([](BmpBuilder& b) {
                         b.headerSize = 64;
                         b.compression = 3;
                     }),
                     DecodeErrorKind::Unsupported, "Huffman 1D"});
    cases.push_back({"rle24", with([](BmpBuilder& b) {
                         b.headerSize = 64;
                         b.compression = 4;
                     }),
                     DecodeErrorKind::Unsupported, "RLE24"});
    cases.push_back({"unknown compression", with([](BmpBuilder& b) { b.compression = 9; }),
                     DecodeErrorKind::Unsupported, "unknown compression 9"});
    cases.push_back({"zero width", with([](BmpBuilder& b) { b.width = 0; }),
                     DecodeErrorKind::Invalid, "invalid width 0"});
    cases.push_back({"negative width", with([](BmpBuilder& b) { b.width = -3; }),
                     DecodeErrorKind::Invalid, "invalid width -3"});
    cases.push_back({"zero planes", with([](BmpBuilder& b) { b.planes = 0; }),
                     DecodeErrorKind::Invalid, "invalid plane count 0"});
    cases.push_back({"bit count", with([](BmpBuilder& b) { b.bits = 7; }),
                     DecodeErrorKind::Unsupported, "unsupported bit count 7"});
    cases.push_back({"rle8 depth", with([](BmpBuilder& b) { b.compression = 1; }),
                     DecodeErrorKind::Invalid, "RLE8 needs 8 bits per pixel, got 24"});
    cases.push_back({"rle4 depth", with([](BmpBuilder& b) {
                         b.compression = 2;
                         b.bits = 8;
                     }),
                     DecodeErrorKind::Invalid, "RLE4 needs 4 bits per pixel, got 8"});
    cases.push_back({"rle top-down", with([](BmpBuilder& b) {
                         b.compression = 1;
                         b.bits = 8;
                         b.height = -2;
                     }),
                     DecodeErrorKind::Invalid, "bottom-up"});
    cases.push_back({"bitfields depth", with([](BmpBuilder& b) {
                         b.compression = 3;
                         b.masks = {1, 2, 4};
                     }),
                     DecodeErrorKind::Invalid, "BITFIELDS needs 16 or 32 bits per pixel, got 24"});
    cases.push_back({"split mask", with([](BmpBuilder& b) {
                         b.compression = 3;
                         b.bits = 32;
                         b.masks = {0xF0F000, 0xFF00, 0xFF};
                     }),
                     DecodeErrorKind::Invalid, "non-contiguous red mask 0x00F0F000"});
    cases.push_back({"huge width", with([](BmpBuilder& b) { b.width = 0x7FFFFFFF; }),
                     DecodeErrorKind::TooLarge, "exceeds the largest side"});
    cases.push_back({"min height", with([](BmpBuilder& b) { b.height = INT32_MIN; }),
                     DecodeErrorKind::TooLarge, "2147483648"});
    cases.push_back({"text cap", with([](BmpBuilder& b) {
                         b.width = 1 << 20;
                         b.height = 1 << 20;
                     }),
                     DecodeErrorKind::TooLarge, "bytes of text"});
    cases.push_back({"rle buffer cap", with([](BmpBuilder& b) {
                         b.compression = 1;
                         b.bits = 8;
                         b.width = 20000;
                         b.height = 20000;
                     }),
                     DecodeErrorKind::TooLarge, "decode buffer"});
    cases.push_back({"offset into headers", with([](BmpBuilder& b) { b.pixelOffset = 20; }),
                     DecodeErrorKind::Invalid,
                     "pixel data offset 20 points into the headers, which end at 54"});
    cases.push_back({"offset past end", with([](BmpBuilder& b) { b.pixelOffset = 5000; }),
                     DecodeErrorKind::Truncated, "pixel data offset 5000 is beyond the end"});
    cases.push_back({"short pixels", with([](BmpBuilder& b) { b.height = 200; }),
                     DecodeErrorKind::Truncated,
                     "pixel data truncated: need 1600 bytes at offset 54, file has 70"});
    cases.push_back({"palette count", with([](BmpBuilder& b) {
                         b.bits = 8;
                         b.colorsUsed = 100;
                         b.palette = PaletteOf({0, 0});
                         b.pixels.resize(500);
                     }),
                     DecodeErrorKind::Invalid,
                     "palette of 100 entries overlaps the pixel data at offset 62"});
    cases.push_back({"palette past end", with([](BmpBuilder& b) {
                         b.bits = 8;
                         b.colorsUsed = 256;
                         b.pixels = {};
                         b.height = 0;
                     }),
                     DecodeErrorKind::Truncated,
                     "palette truncated: need 256 entries at offset 54"});
    return cases;
}

TEST(BmpDecoder, RefusesWithAReason) {
    for (const Refused& test : RefusedFiles()) {
        const DecodeError error = Refusal(test.file);
        EXPECT_EQ(error.kind, test.kind) << test.name << ": " << error.message;
        EXPECT_NE(error.message.find(test.message), std::string::npos)
            << test.name << ": " << error.message;
    }
}

TEST(BmpDecoder, EveryTruncationIsRefused) {
    std::vector<ByteVector> files = {Rgb24(40).Build(), Rgb24(12).Build(), Rgb24(124).Build()};
    BmpBuilder indexed;
    indexed.width = 3;
    indexed.bits = 4;
    indexed.colorsUsed = 3;
    indexed.palette = PaletteOf({1, 2, 3});
    indexed.pixels = PaddedRows({{0x12, 0x00}});
    files.push_back(indexed.Build());
    BmpBuilder masked;
    masked.bits = 16;
    masked.compression = 6;
    masked.masks = {0xF, 0xF0, 0xF00, 0xF000};
    masked.pixels = PaddedRows({Words16({0x1234})});
    files.push_back(masked.Build());
    for (const ByteVector& file : files) {
        ASSERT_TRUE(DecodeBmp(file).ok());
        for (std::size_t length = 0; length < file.size(); ++length) {
            const auto decoded = DecodeBmp(
                ByteVector(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length)));
            EXPECT_FALSE(decoded.ok()) << "length " << length;
        }
    }
}

TEST(BmpDecoder, TruncatedRleDecodesWhatIsThere) {
    const ByteVector file = Rle(4, 8, 2, {5, 0x12, 0, 0, 0, 5, 0x30, 0x12, 0x30, 0, 0, 1}).Build();
    for (std::size_t length = 0; length < file.size(); ++length) {
        (void)DecodeBmp(
            ByteVector(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length)));
    }
}

TEST(BmpDecoder, EdgeSizesWithinTheCaps) {
    BmpBuilder empty = Rgb24(40);
    empty.height = 0;
    empty.pixels = {};
    auto decoded = DecodeBmp(empty.Build());
    ASSERT_TRUE(decoded.ok()) << decoded.error().message;
    EXPECT_EQ(decoded.value().Height(), 0);
    EXPECT_EQ(decoded.value().Width(), 2);

    // 16384 x 16384 in RLE: the expanded buffer fits the cap; the stream is just an end.
    const auto big = DecodeBmp(Rle(8, 16384, 16384, {0, 1}).Build());
    ASSERT_TRUE(big.ok()) << big.error().message;
    EXPECT_EQ(big.value().ColourAt(16383, 0), 0U);
}

}  // namespace
}  // namespace rastelle

namespace rastelle {
namespace {

// The fixtures seed the fuzzer and the command-line tests; make sure each folder holds
// what its name says.
TEST(BmpDecoder, FixtureFoldersMatchTheirNames) {
    const std::filesystem::path root = RASTELLE_FIXTURES_DIR;
    if (!std::filesystem::is_directory(root)) {
        GTEST_SKIP() << "no fixtures at " << root;
    }
    for (const char* folder : {"good", "questionable", "bad"}) {
        const bool accepted = std::string(folder) != "bad";
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(root / folder)) {
            std::ifstream in(entry.path(), std::ios::binary);
            const ByteVector bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
            const auto decoded = DecodeBmp(bytes);
            EXPECT_EQ(decoded.ok(), accepted)
                << entry.path() << ": " << (decoded.ok() ? "" : decoded.error().message);
            ++count;
        }
        EXPECT_GT(count, 0) << folder;
    }
}

}  // namespace
}  // namespace rastelle
