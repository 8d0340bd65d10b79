#include "common/TextSize.h"
#include "picture/DigitStage.h"
#include "text/RowEncoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <numeric>
#include <string>
#include <vector>

namespace rastelle {
namespace {

constexpr FillMode None = FillMode::None, Zeros = FillMode::Zeros, Ones = FillMode::Ones;
constexpr WidthUnit Bits = WidthUnit::Bits, Bytes = WidthUnit::Bytes;

// '1' is black and '0' white; a to d sit around a threshold of 100 (channel sum 300); h, g
// and l are greys; t, s and k have an opacity (bits 24-31), the others are opaque.
const std::map<char, Colour> kColours = {
    {'1', MakeColour(0, 0, 0)},
    {'0', MakeColour(255, 255, 255)},
    {'a', MakeColour(100, 100, 100)},  // sum 300
    {'b', MakeColour(100, 100, 99)},   // 299
    {'c', MakeColour(255, 0, 45)},     // 300, channels uneven
    {'d', MakeColour(255, 255, 254)},  // one below white
    {'h', MakeColour(64, 64, 64)},
    {'g', MakeColour(128, 128, 128)},
    {'l', MakeColour(192, 192, 192)},
    {'t', MakeColour(0, 0, 0)},  // alpha 0
    {'s', MakeColour(255, 255, 255) | 128U << 24},
    {'k', MakeColour(0, 0, 0) | 128U << 24},
};

// An image drawn with the characters above, top row first.
class TestImage final : public PixelSource {
  public:
    TestImage(std::int32_t width, std::vector<std::string> rows)
        : width_(width), rows_(std::move(rows)) {}
    std::int32_t Width() const override { return width_; }
    std::int32_t Height() const override { return static_cast<std::int32_t>(rows_.size()); }
    Colour ColourAt(std::int32_t x, std::int32_t y) const override {
        return kColours.at(rows_[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]);
    }
    // t, s and k have an opacity of their own; the others are opaque.
    void ReadRowWithAlpha(std::int32_t y, std::span<Colour> row) const override {
        for (std::int32_t x = 0; x < width_; ++x) {
            const Colour colour = ColourAt(x, y);
            const char pixel = rows_[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
            row[static_cast<std::size_t>(x)] =
                std::string_view("tsk").find(pixel) != std::string_view::npos ? colour
                                                                              : colour | kOpaque;
        }
    }

  private:
    std::int32_t width_;
    std::vector<std::string> rows_;
};

// clang-format off
const struct {
    std::int32_t width; std::vector<std::string> rows;
    ConversionSettings settings; std::string text;
} kCases[] = {
    {10, {"0000000000"}, {Ones, false, Bytes, 128}, "\t.db 2,1\r\n\t.db %00000000,%00111111\r\n"},
    {10, {"1111111111"}, {Zeros, true, Bits, 128}, "\t.db 16,1\r\n\t.db %00011111,%11111000\r\n"},
    {12, {"111111111111", "111111111111"}, {None, false, Bits, 128},
     "\t.db 12,2\r\n\t.db %11111111,%1111\r\n\t.db %11111111,%1111\r\n"},
    {10, {"1010101010"}, {Zeros, true, Bits, 128}, "\t.db 16,1\r\n\t.db %00010101,%01010000\r\n"},
    {10, {"1010101010"}, {Ones, false, Bits, 128}, "\t.db 16,1\r\n\t.db %10101010,%10111111\r\n"},
    // Without fill there are no whole bytes: no centring, and the width is in bits.
    {10, {"1010101010"}, {None, true, Bytes, 128}, "\t.db 10,1\r\n\t.db %10101010,%10\r\n"},
    {8, {"10110010"}, {Ones, true, Bytes, 128}, "\t.db 1,1\r\n\t.db %10110010\r\n"},
    {1, {"0"}, {Ones, true, Bits, 128}, "\t.db 8,1\r\n\t.db %11101111\r\n"},
    {7, {"1111111"}, {Zeros, true, Bits, 128}, "\t.db 8,1\r\n\t.db %11111110\r\n"},
    {1, {"1"}, {Zeros, true, Bits, 128}, "\t.db 8,1\r\n\t.db %00010000\r\n"},
    {9, {"111111111"}, {None, false, Bits, 128}, "\t.db 9,1\r\n\t.db %11111111,%1\r\n"},
    {9, {"111111111"}, {Zeros, false, Bits, 128}, "\t.db 16,1\r\n\t.db %11111111,%10000000\r\n"},
    {17, {"11001100110011001", "00110011001100110"}, {Zeros, false, Bytes, 128},
     "\t.db 3,2\r\n\t.db %11001100,%11001100,%10000000\r\n\t.db %00110011,%00110011,%00000000\r\n"},
    {4, {"abc1"}, {None, false, Bits, 100}, "\t.db 4,1\r\n\t.db %0101\r\n"},
    {3, {"0d1"}, {None, false, Bits, 0}, "\t.db 3,1\r\n\t.db %000\r\n"},
    {3, {"0d1"}, {None, false, Bits, 255}, "\t.db 3,1\r\n\t.db %011\r\n"},
    {1, {"1"}, {Ones, false, Bits, 0}, "\t.db 8,1\r\n\t.db %01111111\r\n"},
    {5, {}, {Zeros, false, Bits, 128}, "\t.db 8,0\r\n"},
    // Worked out by a model of the rules written apart from the engine.
    {16, {"hhhhgggglllaaah1", "gggghhhhaaallll0", "llllllllhhhhgggg", "aaaaaaaaggggllll", "hhhhhhhhaaaahhhh", "gggggggglllllll0", "llllaaaahhhhgggg", "aaaallllgggghhhh"},
     {Zeros, false, Bits, 128, false, Dither::Ordered, Background::White},
     "\t.db 16,8\r\n\t.db %11111010,%10101111\r\n\t.db %01010101,%01000000\r\n\t.db %10101010,%11111010\r\n\t.db %01010101,%01010000\r\n\t.db %11111111,%11101111\r\n\t.db %01010101,%00000000\r\n\t.db %10101011,%11111010\r\n\t.db %01010000,%01010101\r\n"},
    {8, {"hhhhhhhh", "gggggggg", "llllllll", "aaaaaaaa", "hhhhgggg", "ggggllll"}, {Zeros, false, Bits, 128, false, Dither::FloydSteinberg, Background::White},
     "\t.db 8,6\r\n\t.db %11111111\r\n\t.db %00000001\r\n\t.db %01010100\r\n\t.db %10110110\r\n\t.db %11101010\r\n\t.db %00100001\r\n"},
    {8, {"hhhhhhhh", "gggggggg", "llllllll", "aaaaaaaa", "hhhhgggg", "ggggllll"}, {Zeros, false, Bits, 128, false, Dither::Atkinson, Background::White},
     "\t.db 8,6\r\n\t.db %11111111\r\n\t.db %00001001\r\n\t.db %00000000\r\n\t.db %11111111\r\n\t.db %11110010\r\n\t.db %00010000\r\n"},
    {16, std::vector<std::string>(4, "aaaaaaaaaaaaaaaa"), {None, false, Bits, 100, false, Dither::FloydSteinberg, Background::White},
     "\t.db 16,4\r\n\t.db %01010101,%01010101\r\n\t.db %10101010,%10101010\r\n\t.db %01010101,%01010101\r\n\t.db %10101010,%10101010\r\n"},
    // Inverted pixels; the fill stays 1s.
    {6, std::vector<std::string>(4, "10ghl1"), {Ones, true, Bits, 128, true, Dither::Ordered, Background::White},
     "\t.db 8,4\r\n\t.db %10100001\r\n\t.db %10110101\r\n\t.db %10100001\r\n\t.db %10110101\r\n"},
    {4, {"tsk1", "tsk0", "tsk1", "tsk0"}, {None, false, Bits, 129, false, Dither::None, Background::Black},
     "\t.db 4,4\r\n\t.db %1111\r\n\t.db %1110\r\n\t.db %1111\r\n\t.db %1110\r\n"},
    {4, {"tsk1", "tsk0", "tsk1", "tsk0"}, {None, false, Bits, 129, false, Dither::None, Background::White},
     "\t.db 4,4\r\n\t.db %0011\r\n\t.db %0010\r\n\t.db %0011\r\n\t.db %0010\r\n"},
    {6, {"tsktsk", "ksksks", "tttttt", "gggggg"}, {None, false, Bits, 129, true, Dither::FloydSteinberg, Background::Black},
     "\t.db 6,4\r\n\t.db %000010\r\n\t.db %010000\r\n\t.db %000000\r\n\t.db %010101\r\n"},
};
// clang-format on

TEST(RowEncoder, WholeTexts) {
    RowEncoder encoder;  // shared: every Begin starts a new text
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.text);
        const TestImage image(test.width, test.rows);
        EXPECT_EQ(EncodeImage(image, test.settings), test.text);
        // Read between calls, the text ends just before the next line end.
        encoder.Begin(test.width, image.Height(), test.settings);
        std::size_t end = test.text.find("\r\n");
        EXPECT_EQ(encoder.Text(), test.text.substr(0, end));
        for (std::int32_t y = 0; y < image.Height(); ++y) {
            encoder.AppendRow(image, y);
            end = test.text.find("\r\n", end + 2);
            EXPECT_EQ(encoder.Text(), test.text.substr(0, end));
        }
        encoder.Finish();
        EXPECT_EQ(encoder.Text(), test.text);
        if (test.settings.widthUnit == Bits) {
            EXPECT_EQ(TextSize(test.width, image.Height(), test.settings.fill), test.text.size());
        }
    }
}

// Radix, literals a line and comments, each text written by hand.
TEST(RowEncoder, FormsOfTheText) {
    const std::vector<std::string> pic = {"1011001110", "0100110001"};
    const std::vector<std::string> wide = {std::string(17, '1') + "0000000"};
    const auto preset = [](std::string_view name) { return FindSyntaxPreset(name)->syntax; };
    ConversionSettings hexLines{.fill = None, .radix = Radix::Hex, .perLine = 1, .comment = true};
    ConversionSettings pagesDec{
        .layout = ByteLayout::Pages, .header = false, .radix = Radix::Decimal, .comment = true};
    ConversionSettings binTwo{.perLine = 2};
    ConversionSettings binThree{.perLine = 3};
    ConversionSettings cPages{.centre = true, .layout = ByteLayout::Pages, .comment = true};
    // clang-format off
    const struct {
        std::vector<std::string> rows; ConversionSettings settings; AssemblerSyntax syntax;
        std::string text;
    } cases[] = {
        {pic, hexLines, preset("tasm"),
         "\t.db 10,2\r\n\t.db $B3\r\n\t.db $02 ; #.##..###.\r\n\t.db $4C\r\n\t.db $01 ; .#..##...#\r\n"},
        {pic, hexLines, preset("intel"),
         "\tdb 10,2\r\n\tdb 0B3h\r\n\tdb 02h ; #.##..###.\r\n\tdb 4Ch\r\n\tdb 01h ; .#..##...#\r\n"},
        {pic, pagesDec, preset("gas"),
         "\t/* #.##..###. */\r\n\t/* .#..##...# */\r\n\t.byte 1,2,1,1,2,2,1,1,1,2\r\n"},
        {wide, binTwo, {}, "\t.db 24,1\r\n\t.db %11111111,%11111111\r\n\t.db %10000000\r\n"},
        {wide, binThree, {}, "\t.db 24,1\r\n\t.db %11111111,%11111111,%10000000\r\n"},
        {pic, cPages, preset("c"),
         "#define image_WIDTH 10\r\n#define image_HEIGHT 2\r\nstatic const unsigned char image[] = {\r\n"
         "\t/* #.##..###. */\r\n\t/* .#..##...# */\r\n"
         "\t0x08, 0x10, 0x08, 0x08, 0x10, 0x10, 0x08, 0x08, 0x08, 0x10,\r\n};\r\n"},
    };
    // clang-format on
    for (const auto& [rows, settings, syntax, text] : cases) {
        const TestImage image(static_cast<std::int32_t>(rows[0].size()), rows);
        EXPECT_EQ(EncodeImage(image, settings, syntax), text);
        EXPECT_GE(TextSize(image.Width(), image.Height(), settings.fill, syntax, settings),
                  text.size());
    }
}

// Without a sink the whole text stays in one piece, however many sink blocks it spans.
TEST(RowEncoder, TextBeyondTheSinkBlockWithoutSink) {
    const TestImage image(16, std::vector<std::string>(5000, "1111111100000000"));
    std::string text = "\t.db 16,5000";
    for (int row = 0; row < 5000; ++row) {
        text += "\r\n\t.db %11111111,%00000000";
    }
    EXPECT_EQ(EncodeImage(image, {}), text + "\r\n");
}

// A flat field of one grey, 64 x 64, in every dithering mode and at thresholds across the
// range: the promises the threshold keeps whatever the mode.
TEST(DigitStage, ThresholdKeepsItsMeaning) {
    struct Flat final : PixelSource {
        Colour colour;
        explicit Flat(std::uint8_t grey) : colour(MakeColour(grey, grey, grey)) {}
        std::int32_t Width() const override { return 64; }
        std::int32_t Height() const override { return 64; }
        Colour ColourAt(std::int32_t, std::int32_t) const override { return colour; }
    };
    // Ones in the whole field, and the fewest and most in any aligned 8 x 8 block.
    const auto count = [](Dither dither, std::uint8_t threshold, std::uint8_t grey) {
        ConversionSettings settings;
        settings.dither = dither;
        settings.threshold = threshold;
        DigitStage stage;
        stage.Begin(64, settings);
        std::array<int, 64> blocks{};
        for (std::int32_t y = 0; y < 64; ++y) {
            const auto digits = stage.Row(Flat(grey), y);
            for (std::size_t x = 0; x < 64; ++x)
                blocks[static_cast<std::size_t>(y / 8 * 8) + x / 8] += digits[x];
        }
        const auto [fewest, most] = std::minmax_element(blocks.begin(), blocks.end());
        return std::array<int, 3>{std::accumulate(blocks.begin(), blocks.end(), 0), *fewest, *most};
    };
    const std::uint8_t thresholds[] = {0, 1, 16, 64, 128, 200, 254, 255};
    for (const Dither dither : {Dither::Ordered, Dither::FloydSteinberg, Dither::Atkinson}) {
        SCOPED_TRACE(static_cast<int>(dither));
        std::array<int, 256> before{};  // ones for each grey at the threshold before
        for (const std::uint8_t threshold : thresholds) {
            SCOPED_TRACE(+threshold);
            const int blackOnes = threshold == 0 ? 0 : 4096;
            EXPECT_EQ(count(dither, threshold, 0)[0], blackOnes);
            if (threshold == 255) {
                EXPECT_EQ(count(dither, threshold, 254)[0], 4096);
            }
            EXPECT_EQ(count(dither, threshold, 255)[0], 0);
            if (threshold != 0 && threshold != 255) {
                const auto half = count(dither, threshold, threshold);
                if (dither == Dither::Ordered) {
                    EXPECT_EQ(half[1], 32);
                    EXPECT_EQ(half[2], 32);
                } else {
                    EXPECT_NEAR(half[0], 2048, 0.02 * 4096);
                }
            }
            for (int grey = 0; grey < 256; grey += 5) {
                const int ones = count(dither, threshold, static_cast<std::uint8_t>(grey))[0];
                EXPECT_GE(ones, before[static_cast<std::size_t>(grey)]) << grey;
                before[static_cast<std::size_t>(grey)] = ones;
                const double share = (255.0 - grey) / 255;
                if (threshold == 128 && dither != Dither::Atkinson) {
                    EXPECT_NEAR(ones / 4096.0, share, dither == Dither::Ordered ? 1.0 / 64 : 0.02)
                        << grey;
                }
            }
        }
    }
}

}  // namespace
}  // namespace rastelle
