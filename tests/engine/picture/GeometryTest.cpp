#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "picture/GeometryStage.h"
#include "picture/TrimStage.h"

namespace rastelle {
namespace {

// Pixels as text, rows separated by " / ": '#' black, '.' white, '-' fully transparent, a
// letter a grey (A is 0x0A0A0A, B 0x0B0B0B...), else RRGGBB, or RRGGBB@AA with its opacity.
class Picture final : public PixelSource {
  public:
    explicit Picture(const std::string& text) {
        std::istringstream words(text);
        for (std::string word; words >> word;) {
            unsigned value = word == "." ? 0xFFFFFFU : 0;
            unsigned alpha = word == "-" ? 0 : 255;
            if (word == "/") {
                ++rows_;
                continue;
            }
            if (word.size() == 1 && word[0] >= 'A' && word[0] <= 'Z') {
                value = static_cast<unsigned>(word[0] - 'A' + 10) * 0x010101U;
            } else if (word.size() > 1) {
                std::sscanf(word.c_str(), "%6x@%2x", &value, &alpha);
            }
            pixels_.push_back(MakeColour(static_cast<std::uint8_t>(value >> 16),
                                         static_cast<std::uint8_t>(value >> 8),
                                         static_cast<std::uint8_t>(value)) |
                              (Colour{alpha} << 24));
        }
    }
    std::int32_t Width() const override {
        return static_cast<std::int32_t>(pixels_.size()) / rows_;
    }
    std::int32_t Height() const override { return rows_; }
    Colour ColourAt(std::int32_t x, std::int32_t y) const override {
        return pixels_[static_cast<std::size_t>(y * Width() + x)];
    }
    void ReadRowWithAlpha(std::int32_t y, std::span<Colour> row) const override {
        std::copy_n(pixels_.begin() + y * Width(), Width(), row.begin());
    }

  private:
    std::vector<Colour> pixels_;
    std::int32_t rows_ = 1;
};

std::string TextOf(const PixelSource& picture) {
    std::string text;
    std::vector<Colour> row(static_cast<std::size_t>(picture.Width()));
    for (std::int32_t y = 0; y < picture.Height(); ++y) {
        picture.ReadRowWithAlpha(y, row);
        for (std::size_t x = 0; x < row.size(); ++x) {
            const Colour c = row[x];
            const unsigned grey = RedOf(c);
            char pixel[16];
            if (AlphaOf(c) == 0 || c == (kOpaque | 0xFFFFFFU) || c == kOpaque) {
                std::snprintf(pixel, sizeof pixel, "%s", AlphaOf(c) == 0 ? "-" : grey ? "." : "#");
            } else if (AlphaOf(c) == 255 && grey >= 10 && grey < 36 &&
                       (c & 0xFFFFFFU) == grey * 0x010101U) {
                std::snprintf(pixel, sizeof pixel, "%c", static_cast<char>('A' + grey - 10));
            } else {
                std::snprintf(pixel, sizeof pixel,
                              AlphaOf(c) == 255 ? "%02X%02X%02X" : "%02X%02X%02X@%02X", RedOf(c),
                              GreenOf(c), BlueOf(c), AlphaOf(c));
            }
            text += (x > 0 ? " " : y > 0 ? " / " : "") + std::string(pixel);
        }
    }
    return text;
}

using G = GeometrySettings;

struct Shaping {
    const char* source;
    GeometrySettings settings;
    const char* result;
};

// Worked out by hand: turns clockwise, flips after turning; contain pads with transparency
// (its odd pixel after the picture), cover cuts evenly (the odd one at the end); a resized
// pixel is the mean of the area it covers, halves rounding up (half black is 0x80).
const std::array kShapings{
    Shaping{"A B C / D E F", G{.rotate = 90}, "D A / E B / F C"},
    Shaping{"A B C / D E F", G{.rotate = 180}, "F E D / C B A"},
    Shaping{"A B C / D E F", G{.rotate = 270}, "C F / B E / A D"},
    Shaping{"A B C / D E F", G{.flip = Flip::Horizontal}, "C B A / F E D"},
    Shaping{"A B C / D E F", G{.flip = Flip::Vertical}, "D E F / A B C"},
    Shaping{"A B C / D E F", G{.flip = Flip::Both}, "F E D / C B A"},
    Shaping{"A B C / D E F", G{.rotate = 90, .flip = Flip::Horizontal}, "A D / B E / C F"},
    Shaping{"A B C / D E F", G{.rotate = 270, .flip = Flip::Horizontal}, "F C / E B / D A"},
    Shaping{"A B C / D E F", G{.rotate = 180, .flip = Flip::Vertical}, "C B A / F E D"},
    Shaping{"A B C / D E F", G{.crop = true, .cropWidth = 1, .cropHeight = 1}, "A"},
    Shaping{"A B C / D E F", G{true, 2, 1, 1, 1}, "F"},
    Shaping{"A B C / D E F", G{true, 1, 0, 2, 2}, "B C / E F"},
    Shaping{"A B C / D E F", G{true, 0, 0, 3, 2}, "A B C / D E F"},
    Shaping{"A B / C -", G{.scale = 3},
            "A A A B B B / A A A B B B / A A A B B B / C C C - - - / C C C - - - / C C C - - -"},
    Shaping{"# .", G{.resizeWidth = 4, .resizeHeight = 4}, "- - - - / # # . . / # # . . / - - - -"},
    Shaping{"# .", G{.resizeWidth = 4, .resizeHeight = 3}, "# # . . / # # . . / - - - -"},
    Shaping{"# / .", G{.resizeWidth = 4, .resizeHeight = 4},
            "- # # - / - # # - / - . . - / - . . -"},
    Shaping{"# / .", G{.resizeWidth = 3, .resizeHeight = 2}, "- # - / - . -"},
    Shaping{"# .", G{.resizeWidth = 3, .resizeHeight = 2, .fit = Fit::Cover}, "# # . / # # ."},
    Shaping{"# . A", G{.resizeWidth = 1, .resizeHeight = 1, .fit = Fit::Cover}, "."},
    Shaping{"# / . / A", G{.resizeWidth = 2, .resizeHeight = 2, .fit = Fit::Cover}, ". . / . ."},
    Shaping{"# / . / # / .", G{.resizeWidth = 1, .resizeHeight = 2, .fit = Fit::Cover}, ". / #"},
    Shaping{"# .", G{.resizeWidth = 3, .resizeHeight = 2, .fit = Fit::Stretch},
            "# 808080 . / # 808080 ."},
    // One side given: the other in proportion, rounded (1.5 up to 2).
    Shaping{"# . # . / # . # .", G{.resizeWidth = 2}, "808080 808080"},
    Shaping{"# # . / # # .", G{.resizeHeight = 1}, "# AAAAAA"},
    Shaping{"# . / # # / # #", G{.resizeWidth = 2}, "# . / # # / # #"},
    // A 3 x 3 to 2 x 2 covers 1.5 x 1.5 pixels: the corner's whole pixel weighs 4 ninths,
    // the edges' halves 2, the centre's quarter 1: (2 x 90 + 2 x 90) / 9 = 40.
    Shaping{"# 5A5A5A # / 5A5A5A # 5A5A5A / # 5A5A5A #", G{.resizeWidth = 2, .resizeHeight = 2},
            "282828 282828 / 282828 282828"},
    Shaping{"090909 # # / # # # / # # #", G{.resizeWidth = 2, .resizeHeight = 2}, "040404 # / # #"},
    Shaping{"# # . . / # # . . / 102030 302010 # 0000FF / 506070 706050 # #",
            G{.resizeWidth = 2, .resizeHeight = 2}, "# . / 404040 000040"},
    // Premultiplied: half transparent red stays red; opacities weigh the colours.
    Shaping{"FF0000 -", G{.resizeWidth = 1, .resizeHeight = 1}, "FF0000@80"},
    Shaping{"FF0000@40 0000FF@C0", G{.resizeWidth = 1, .resizeHeight = 1}, "4000BF@80"},
    Shaping{"- - / - -", G{.resizeWidth = 1, .resizeHeight = 1}, "-"},
};

TEST(GeometryTest, CropTurnFlipScaleAndFit) {
    for (const Shaping& shaping : kShapings) {
        SCOPED_TRACE(shaping.source);
        SCOPED_TRACE(shaping.result);
        const Picture source(shaping.source);
        const GeometryStage stage(source, shaping.settings);
        EXPECT_EQ(stage.Error(), "");
        EXPECT_EQ(TextOf(stage), shaping.result);
    }
}

// A flat field stays flat at any size; a checkerboard halves to the grey halfway.
TEST(GeometryTest, AveragingProperties) {
    const auto field = [](std::int32_t width, std::int32_t height, auto pixel) {
        std::string text;
        for (std::int32_t y = 0; y < height; ++y) {
            for (std::int32_t x = 0; x < width; ++x) {
                text += std::string(x == 0 && y > 0 ? " / " : x > 0 ? " " : "") + pixel(x, y);
            }
        }
        return text;
    };
    const auto flat = [](std::int32_t, std::int32_t) { return "3C5A78@C8"; };
    for (const auto& [width, height] :
         std::array<std::array<std::int32_t, 2>, 5>{{{3, 2}, {5, 5}, {7, 4}, {11, 9}, {1, 1}}}) {
        const G settings{.resizeWidth = width, .resizeHeight = height, .fit = Fit::Stretch};
        EXPECT_EQ(TextOf(GeometryStage(Picture(field(8, 6, flat)), settings)),
                  field(width, height, flat));
    }
    const auto board = [](std::int32_t x, std::int32_t y) { return (x + y) % 2 ? "#" : "."; };
    const auto grey = [](std::int32_t, std::int32_t) { return "808080"; };
    EXPECT_EQ(
        TextOf(GeometryStage(Picture(field(8, 6, board)), G{.resizeWidth = 4, .resizeHeight = 3})),
        field(4, 3, grey));
}

TEST(GeometryTest, Refusals) {
    const Picture source("A B C / D E F");
    EXPECT_EQ(GeometryStage(source, G{true, 0, 2, 1, 1}).Error(),
              "the crop 0,2,1,1 reaches outside the image of 3 x 2 pixels");
    EXPECT_TRUE(
        GeometryStage(source, G{.resizeWidth = 16777216, .resizeHeight = 100, .fit = Fit::Stretch})
            .Error()
            .starts_with("the picture would be 16777216 x 100 pixels, "));
    EXPECT_EQ(GeometryStage(
                  source,
                  G{.resizeWidth = 8192, .resizeHeight = 8193, .fit = Fit::Stretch, .rotate = 270})
                  .Error(),
              "a quarter turn holds the whole picture, and 8192 x 8193 pixels are more than the "
              "cap of 67108864");
}

// After dithering and inverting, the margins of 0s go, on each side, and nothing of a
// picture without one; a picture of 0s keeps its top-left pixel.
TEST(GeometryTest, TrimCutsMarginsOfZeros) {
    const struct {
        const char* source;
        bool invert;
        const char* kept;
        std::int32_t left;
        std::int32_t top;
    } cases[] = {
        {". . . / . # . / . . .", false, "#", 1, 1},
        {"# . . / . . .", false, "#", 0, 0},
        {". . / . #", false, "#", 1, 1},
        {". # / . . / . #", false, "# / . / #", 1, 0},
        {". # # / . # .", false, "# # / # .", 1, 0},
        {". . / . .", false, ".", 0, 0},
        {". . / # #", true, "# #", 0, 0},
        {". - . / # # #", true, "# - #", 0, 0},
    };
    for (const auto& [source, invert, kept, left, top] : cases) {
        SCOPED_TRACE(source);
        ConversionSettings settings;
        settings.invert = invert;
        settings.mask = MaskSource::Alpha;
        const TrimStage trimmed(Picture(source), settings);
        EXPECT_EQ(TextOf(trimmed), kept);
        EXPECT_EQ(trimmed.Left() * 10 + trimmed.Top(), left * 10 + top);
    }
}

}  // namespace
}  // namespace rastelle
