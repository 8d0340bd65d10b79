#include "RowEncoder.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace rastelle {
namespace {

constexpr FillMode None = FillMode::None, Zeros = FillMode::Zeros, Ones = FillMode::Ones;
constexpr WidthUnit Bits = WidthUnit::Bits, Bytes = WidthUnit::Bytes;

// '1' is black and '0' white; the letters sit around a threshold of 100 (channel sum 300).
const std::map<char, Colour> kColours = {
    {'1', MakeColour(0, 0, 0)},       {'0', MakeColour(255, 255, 255)},
    {'a', MakeColour(100, 100, 100)},  // sum 300
    {'b', MakeColour(100, 100, 99)},   // 299
    {'c', MakeColour(255, 0, 45)},     // 300, channels uneven
    {'d', MakeColour(255, 255, 254)},  // one below white
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
            EXPECT_EQ(RowEncoder::TextSize(test.width, image.Height(), test.settings.fill),
                      test.text.size());
        }
    }
}

}  // namespace
}  // namespace rastelle
