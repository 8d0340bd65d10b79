#include "RowEncoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rastelle {
namespace {

constexpr Colour kWhite = MakeColour(255, 255, 255);
constexpr Colour kBlack = MakeColour(0, 0, 0);

// An in-memory image; rows are given top to bottom.
class TestImage final : public PixelSource {
  public:
    TestImage(std::int32_t width, std::int32_t height, Colour fill)
        : width_(width),
          height_(height),
          pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill) {}

    // A one-row image whose pixels are black for '1' and white for '0'.
    static TestImage FromDigits(const std::string& digits) {
        TestImage image(static_cast<std::int32_t>(digits.size()), 1, kWhite);
        for (std::size_t x = 0; x < digits.size(); ++x) {
            image.pixels_[x] = digits[x] == '1' ? kBlack : kWhite;
        }
        return image;
    }

    void Set(std::int32_t x, std::int32_t y, Colour colour) { pixels_[Index(x, y)] = colour; }

    std::int32_t Width() const override { return width_; }
    std::int32_t Height() const override { return height_; }
    Colour ColourAt(std::int32_t x, std::int32_t y) const override { return pixels_[Index(x, y)]; }

  private:
    std::size_t Index(std::int32_t x, std::int32_t y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
               static_cast<std::size_t>(x);
    }

    std::int32_t width_;
    std::int32_t height_;
    std::vector<Colour> pixels_;
};

ConversionSettings Settings(FillMode fill, bool centre = false, WidthUnit unit = WidthUnit::Bits,
                            std::uint8_t threshold = 128) {
    return ConversionSettings{fill, centre, unit, threshold};
}

std::string Encode(const PixelSource& image, const ConversionSettings& settings) {
    return EncodeImage(image, settings);
}

// The line of the first row, without its line end.
std::string FirstRow(const PixelSource& image, const ConversionSettings& settings) {
    const std::string text = Encode(image, settings);
    const auto start = text.find("\r\n") + 2;
    return text.substr(start, text.find("\r\n", start) - start);
}

TEST(RowEncoder, CompleteTexts) {
    EXPECT_EQ(Encode(TestImage(10, 1, kWhite), Settings(FillMode::Ones, false, WidthUnit::Bytes)),
              "\t.db 2,1\r\n\t.db %00000000,%00111111\r\n");
    EXPECT_EQ(Encode(TestImage(10, 1, kBlack), Settings(FillMode::Zeros, true, WidthUnit::Bits)),
              "\t.db 16,1\r\n\t.db %00011111,%11111000\r\n");
    EXPECT_EQ(Encode(TestImage(12, 2, kBlack), Settings(FillMode::None)),
              "\t.db 12,2\r\n\t.db %11111111,%1111\r\n\t.db %11111111,%1111\r\n");
}

TEST(RowEncoder, FillAndCentreOfATenPixelRow) {
    const TestImage image = TestImage::FromDigits("1010101010");
    EXPECT_EQ(FirstRow(image, Settings(FillMode::Zeros, true)), "\t.db %00010101,%01010000");
    EXPECT_EQ(FirstRow(image, Settings(FillMode::Ones)), "\t.db %10101010,%10111111");
    EXPECT_EQ(FirstRow(image, Settings(FillMode::None)), "\t.db %10101010,%10");
    EXPECT_EQ(FirstRow(image, Settings(FillMode::None, true)), "\t.db %10101010,%10");
}

TEST(RowEncoder, LeadAndTailAroundNarrowImages) {
    EXPECT_EQ(FirstRow(TestImage(1, 1, kWhite), Settings(FillMode::Ones, true)), "\t.db %11101111");
    EXPECT_EQ(FirstRow(TestImage(7, 1, kBlack), Settings(FillMode::Zeros, true)),
              "\t.db %11111110");
    EXPECT_EQ(FirstRow(TestImage(1, 1, kBlack), Settings(FillMode::Zeros, true)),
              "\t.db %00010000");
    EXPECT_EQ(FirstRow(TestImage(9, 1, kBlack), Settings(FillMode::None)), "\t.db %11111111,%1");
    EXPECT_EQ(FirstRow(TestImage(9, 1, kBlack), Settings(FillMode::Zeros)),
              "\t.db %11111111,%10000000");
}

// Around every multiple of 8 the grouping, the fill and the header must agree with a
// digit-by-digit rendering of the rules.
TEST(RowEncoder, WidthsAroundMultiplesOfEight) {
    for (std::int32_t width = 1; width <= 41; ++width) {
        std::string digits;
        for (std::int32_t x = 0; x < width; ++x)
            digits += (x * 7 + 3) % 5 < 2 ? '1' : '0';
        const TestImage image = TestImage::FromDigits(digits);
        for (const FillMode fill : {FillMode::None, FillMode::Zeros, FillMode::Ones}) {
            for (const bool centre : {false, true}) {
                const std::int32_t rowBits = fill == FillMode::None ? width : (width + 7) / 8 * 8;
                const std::int32_t lead = centre ? (rowBits - width) / 2 : 0;
                const char fillDigit = fill == FillMode::Ones ? '1' : '0';
                const std::string all =
                    std::string(static_cast<std::size_t>(lead), fillDigit) + digits +
                    std::string(static_cast<std::size_t>(rowBits - lead - width), fillDigit);
                std::string expected = "\t.db %";
                for (std::size_t i = 0; i < all.size(); i += 8) {
                    expected += (i == 0 ? "" : ",%") + all.substr(i, 8);
                }
                SCOPED_TRACE(testing::Message() << "width " << width << " fill "
                                                << static_cast<int>(fill) << " centre " << centre);
                EXPECT_EQ(FirstRow(image, Settings(fill, centre)), expected);
                if (width % 8 == 0) {
                    EXPECT_EQ(FirstRow(image, Settings(fill, centre)),
                              FirstRow(image, Settings(FillMode::None)));
                }
            }
        }
    }
}

TEST(RowEncoder, HeaderWidthUnit) {
    const TestImage image(20, 3, kWhite);
    EXPECT_EQ(Encode(image, Settings(FillMode::Zeros, false, WidthUnit::Bytes)).substr(0, 10),
              "\t.db 3,3\r\n");
    EXPECT_EQ(Encode(image, Settings(FillMode::Zeros, false, WidthUnit::Bits)).substr(0, 11),
              "\t.db 24,3\r\n");
    // Without fill there are no whole bytes to count.
    EXPECT_EQ(Encode(image, Settings(FillMode::None, false, WidthUnit::Bytes)).substr(0, 11),
              "\t.db 20,3\r\n");
    // Rows do not depend on the unit.
    EXPECT_EQ(FirstRow(image, Settings(FillMode::Zeros, false, WidthUnit::Bytes)),
              FirstRow(image, Settings(FillMode::Zeros, false, WidthUnit::Bits)));
}

TEST(RowEncoder, ThresholdIsStrict) {
    TestImage image(4, 1, kWhite);
    image.Set(0, 0, MakeColour(100, 100, 100));  // sum 300 = 3 x 100
    image.Set(1, 0, MakeColour(100, 100, 99));   // one less
    image.Set(2, 0, MakeColour(255, 0, 45));     // sum 300, channels uneven
    image.Set(3, 0, MakeColour(0, 0, 0));
    EXPECT_EQ(FirstRow(image, Settings(FillMode::None, false, WidthUnit::Bits, 100)),
              "\t.db %0101");

    TestImage extremes(3, 1, kWhite);
    extremes.Set(1, 0, MakeColour(255, 255, 254));
    extremes.Set(2, 0, kBlack);
    EXPECT_EQ(FirstRow(extremes, Settings(FillMode::None, false, WidthUnit::Bits, 0)),
              "\t.db %000");
    EXPECT_EQ(FirstRow(extremes, Settings(FillMode::None, false, WidthUnit::Bits, 255)),
              "\t.db %011");
    // Fill digits ignore the threshold.
    EXPECT_EQ(
        FirstRow(TestImage(1, 1, kBlack), Settings(FillMode::Ones, false, WidthUnit::Bits, 0)),
        "\t.db %01111111");
}

TEST(RowEncoder, ImageWithoutRows) {
    EXPECT_EQ(Encode(TestImage(5, 0, kWhite), Settings(FillMode::Zeros)), "\t.db 8,0\r\n");
}

TEST(RowEncoder, TextGrowsInPlaceAndCanBeReadBetweenCalls) {
    const TestImage image(3, 2, kBlack);
    RowEncoder encoder;
    encoder.Begin(3, 2, Settings(FillMode::None));
    EXPECT_EQ(encoder.Text(), "\t.db 3,2");
    encoder.AppendRow(image, 0);
    EXPECT_EQ(encoder.Text(), "\t.db 3,2\r\n\t.db %111");
    encoder.AppendRow(image, 1);
    encoder.Finish();
    EXPECT_EQ(encoder.Text(), "\t.db 3,2\r\n\t.db %111\r\n\t.db %111\r\n");
    // A second run starts from an empty text.
    encoder.Begin(1, 1, Settings(FillMode::Ones, true));
    EXPECT_EQ(encoder.Text(), "\t.db 8,1");
}

TEST(RowEncoder, TextSizePredictsTheText) {
    for (const std::int32_t width : {1, 7, 8, 9, 100}) {
        for (const FillMode fill : {FillMode::None, FillMode::Zeros}) {
            const TestImage image(width, 3, kBlack);
            EXPECT_EQ(RowEncoder::TextSize(width, 3, fill), Encode(image, Settings(fill)).size());
        }
    }
}

}  // namespace
}  // namespace rastelle
