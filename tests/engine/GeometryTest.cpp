#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "GeometryStage.h"
#include "TrimStage.h"

namespace rastelle {
namespace {

// Pixels written as text: rows separated by " / ", each pixel RRGGBB (opaque), RRGGBB@AA
// with its opacity, or "--" fully transparent; single letters stand for greys, so that
// orientations read at a glance: A is 0x0A0A0A, B 0x0B0B0B...
class Picture final : public PixelSource {
  public:
    explicit Picture(const std::string& text) {
        std::istringstream words(text);
        std::string word;
        rows_ = 1;
        while (words >> word) {
            if (word == "/") {
                ++rows_;
                continue;
            }
            unsigned value = 0;
            unsigned alpha = 255;
            if (word == "--") {
                alpha = 0;
            } else if (word.size() == 1) {
                value = static_cast<unsigned>(word[0] - 'A' + 10) * 0x010101U;
            } else {
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
        return ShownOver(pixels_[static_cast<std::size_t>(y * Width() + x)], Background::White);
    }
    void ReadRowWithAlpha(std::int32_t y, std::span<Colour> row) const override {
        for (std::int32_t x = 0; x < Width(); ++x) {
            row[static_cast<std::size_t>(x)] = pixels_[static_cast<std::size_t>(y * Width() + x)];
        }
    }

  private:
    std::vector<Colour> pixels_;
    std::int32_t rows_ = 0;
};

// The same notation, letters where the test's greys come back.
std::string TextOf(const PixelSource& picture) {
    std::string text;
    std::vector<Colour> row(static_cast<std::size_t>(picture.Width()));
    for (std::int32_t y = 0; y < picture.Height(); ++y) {
        picture.ReadRowWithAlpha(y, row);
        for (std::size_t x = 0; x < row.size(); ++x) {
            const Colour colour = row[x];
            char pixel[16];
            const unsigned grey = RedOf(colour);
            if (AlphaOf(colour) == 0) {
                std::snprintf(pixel, sizeof pixel, "--");
            } else if (AlphaOf(colour) == 255 && grey >= 10 && grey < 36 &&
                       (colour & 0xFFFFFFU) == grey * 0x010101U) {
                std::snprintf(pixel, sizeof pixel, "%c", static_cast<char>('A' + grey - 10));
            } else {
                std::snprintf(pixel, sizeof pixel,
                              AlphaOf(colour) == 255 ? "%02X%02X%02X" : "%02X%02X%02X@%02X",
                              RedOf(colour), GreenOf(colour), BlueOf(colour), AlphaOf(colour));
            }
            text += (x > 0 ? " " : y > 0 ? " / " : "") + std::string(pixel);
        }
    }
    return text;
}

GeometrySettings Turned(std::int32_t rotate, Flip flip) {
    GeometrySettings settings;
    settings.rotate = rotate;
    settings.flip = flip;
    return settings;
}

GeometrySettings Cropped(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    GeometrySettings settings;
    settings.crop = true;
    settings.cropX = x;
    settings.cropY = y;
    settings.cropWidth = width;
    settings.cropHeight = height;
    return settings;
}

GeometrySettings Resized(std::int32_t width, std::int32_t height, Fit fit = Fit::Contain) {
    GeometrySettings settings;
    settings.resizeWidth = width;
    settings.resizeHeight = height;
    settings.fit = fit;
    return settings;
}

struct Shaping {
    const char* source;
    GeometrySettings settings;
    const char* result;
};

// Worked out by hand: turns clockwise, flips after turning; contain pads with transparency
// (its odd pixel after the picture), cover cuts evenly; enlarging by resize averages areas
// too (a pixel half over black and half over white is 0x80, halves rounding up).
const std::array kShapings{
    Shaping{"A B C / D E F", Turned(0, Flip::None), "A B C / D E F"},
    Shaping{"A B C / D E F", Turned(90, Flip::None), "D A / E B / F C"},
    Shaping{"A B C / D E F", Turned(180, Flip::None), "F E D / C B A"},
    Shaping{"A B C / D E F", Turned(270, Flip::None), "C F / B E / A D"},
    Shaping{"A B C / D E F", Turned(0, Flip::Horizontal), "C B A / F E D"},
    Shaping{"A B C / D E F", Turned(0, Flip::Vertical), "D E F / A B C"},
    Shaping{"A B C / D E F", Turned(0, Flip::Both), "F E D / C B A"},
    Shaping{"A B C / D E F", Turned(90, Flip::Horizontal), "A D / B E / C F"},
    Shaping{"A B C / D E F", Turned(90, Flip::Vertical), "F C / E B / D A"},
    Shaping{"A B C / D E F", Turned(270, Flip::Horizontal), "F C / E B / D A"},
    Shaping{"A B C / D E F", Turned(180, Flip::Vertical), "C B A / F E D"},
    Shaping{"A B C / D E F", Cropped(0, 0, 1, 1), "A"},
    Shaping{"A B C / D E F", Cropped(2, 1, 1, 1), "F"},
    Shaping{"A B C / D E F", Cropped(1, 0, 2, 2), "B C / E F"},
    Shaping{"A B C / D E F", Cropped(0, 0, 3, 2), "A B C / D E F"},
    // Contain, wider than the box and then taller.
    Shaping{
        "000000 FFFFFF", Resized(4, 4),
        "-- -- -- -- / 000000 000000 FFFFFF FFFFFF / 000000 000000 FFFFFF FFFFFF / -- -- -- --"},
    Shaping{"000000 FFFFFF", Resized(4, 3),
            "000000 000000 FFFFFF FFFFFF / 000000 000000 FFFFFF FFFFFF / -- -- -- --"},
    Shaping{
        "000000 / FFFFFF", Resized(4, 4),
        "-- 000000 000000 -- / -- 000000 000000 -- / -- FFFFFF FFFFFF -- / -- FFFFFF FFFFFF --"},
    Shaping{"000000 / FFFFFF", Resized(3, 2), "-- 000000 -- / -- FFFFFF --"},
    // Cover, both ways.
    Shaping{"000000 FFFFFF", Resized(3, 2, Fit::Cover),
            "000000 000000 FFFFFF / 000000 000000 FFFFFF"},
    Shaping{"000000 FFFFFF AAAAAA", Resized(1, 1, Fit::Cover), "FFFFFF"},
    Shaping{"000000 / FFFFFF / AAAAAA", Resized(2, 2, Fit::Cover), "FFFFFF FFFFFF / FFFFFF FFFFFF"},
    Shaping{"000000 / FFFFFF / 000000 / FFFFFF", Resized(1, 2, Fit::Cover), "FFFFFF / 000000"},
    // Stretch.
    Shaping{"000000 FFFFFF", Resized(3, 2, Fit::Stretch),
            "000000 808080 FFFFFF / 000000 808080 FFFFFF"},
    // One side: the other kept in proportion, rounded (1.5 up to 2).
    Shaping{"000000 FFFFFF 000000 FFFFFF / 000000 FFFFFF 000000 FFFFFF", Resized(2, 0),
            "808080 808080"},
    Shaping{"000000 000000 FFFFFF / 000000 000000 FFFFFF", Resized(0, 1), "000000 AAAAAA"},
    Shaping{"000000 FFFFFF / 000000 000000 / 000000 000000", Resized(2, 0),
            "000000 FFFFFF / 000000 000000 / 000000 000000"},
};

TEST(GeometryTest, CropTurnFlipAndFit) {
    for (const Shaping& shaping : kShapings) {
        SCOPED_TRACE(shaping.source);
        SCOPED_TRACE(shaping.settings.rotate);
        const Picture source(shaping.source);
        const GeometryStage stage(source, shaping.settings);
        EXPECT_EQ(stage.Error(), "");
        EXPECT_EQ(TextOf(stage), shaping.result);
    }
}

TEST(GeometryTest, ScaleCopiesPixels) {
    const Picture source("A B / C --");
    GeometrySettings settings;
    settings.scale = 3;
    settings.crop = true;
    settings.cropWidth = 2;
    settings.cropHeight = 2;
    EXPECT_EQ(TextOf(GeometryStage(source, settings)),
              "A A A B B B / A A A B B B / A A A B B B / C C C -- -- -- / C C C -- -- -- / "
              "C C C -- -- --");
}

// Each output pixel the weighted mean of what it covers: a 3 x 3 to 2 x 2 covers 1.5 x 1.5
// pixels, the corner one whole (weight 4 of 9 quarters), the edges' halves (2 each), the
// centre a quarter (1). Colours are premultiplied: a half-transparent mix keeps its colour.
TEST(GeometryTest, AreaAveraging) {
    const struct {
        const char* source;
        GeometrySettings settings;
        const char* result;
    } cases[] = {
        {"000000 000000 FFFFFF FFFFFF / 000000 000000 FFFFFF FFFFFF / "
         "102030 302010 000000 0000FF / 506070 706050 000000 000000",
         Resized(2, 2), "000000 FFFFFF / 404040 000040"},
        // (4 x 0 + 2 x 90 + 2 x 90 + 1 x 0) / 9 = 40 = 0x28; the centre 0 in every quarter.
        {"000000 5A5A5A 000000 / 5A5A5A 000000 5A5A5A / 000000 5A5A5A 000000", Resized(2, 2),
         "282828 282828 / 282828 282828"},
        {"090909 000000 000000 / 000000 000000 000000 / 000000 000000 000000", Resized(2, 2),
         "040404 000000 / 000000 000000"},
        {"FF0000 --", Resized(1, 1), "FF0000@80"},
        {"FF0000@40 0000FF@C0", Resized(1, 1), "4000BF@80"},
        {"-- -- / -- --", Resized(1, 1), "--"},
    };
    for (const auto& [source, settings, result] : cases) {
        SCOPED_TRACE(source);
        EXPECT_EQ(TextOf(GeometryStage(Picture(source), settings)), result);
    }
}

// A flat field stays flat at any size; a checkerboard halves to the grey halfway, rounded up.
TEST(GeometryTest, AveragingProperties) {
    // Rows of `width` pixels, each `pixel(x, y)`.
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
        EXPECT_EQ(
            TextOf(GeometryStage(Picture(field(8, 6, flat)), Resized(width, height, Fit::Stretch))),
            field(width, height, flat));
    }
    const std::string board = field(8, 6, [](std::int32_t x, std::int32_t y) {
        return (x + y) % 2 == 0 ? "000000" : "FFFFFF";
    });
    EXPECT_EQ(TextOf(GeometryStage(Picture(board), Resized(4, 3))),
              "808080 808080 808080 808080 / 808080 808080 808080 808080 / "
              "808080 808080 808080 808080");
}

// All at once is each step after the other.
TEST(GeometryTest, OrderIsCropResizeRotateFlip) {
    const Picture source(
        "A B C D E F / G H I J K L / M N O P Q R / S T U V W X / 102030 405060 708090 A0B0C0 "
        "D0E0F0 000000");
    GeometrySettings all = Resized(3, 5, Fit::Cover);
    all.crop = true;
    all.cropX = 1;
    all.cropY = 1;
    all.cropWidth = 5;
    all.cropHeight = 4;
    all.rotate = 90;
    all.flip = Flip::Horizontal;
    const GeometryStage crop(source, Cropped(1, 1, 5, 4));
    const GeometryStage resize(crop, Resized(3, 5, Fit::Cover));
    const GeometryStage rotate(resize, Turned(90, Flip::None));
    const GeometryStage flip(rotate, Turned(0, Flip::Horizontal));
    EXPECT_EQ(TextOf(GeometryStage(source, all)), TextOf(flip));
    EXPECT_EQ(flip.Width(), 5);
}

TEST(GeometryTest, Refusals) {
    const Picture source("A B C / D E F");
    EXPECT_EQ(GeometryStage(source, Cropped(1, 0, 3, 1)).Error(),
              "the crop 1,0,3,1 reaches outside the image of 3 x 2 pixels");
    EXPECT_EQ(GeometryStage(source, Cropped(0, 2, 1, 1)).Error(),
              "the crop 0,2,1,1 reaches outside the image of 3 x 2 pixels");
    EXPECT_EQ(GeometryStage(source, Resized(16777217, 0)).Error(),
              "the picture would be 16777217 x 11184811 pixels: a side is larger than the cap of "
              "16777216");
    GeometrySettings turned = Resized(10000, 10000, Fit::Stretch);
    turned.rotate = 270;
    EXPECT_EQ(GeometryStage(source, turned).Error(),
              "a quarter turn holds the whole picture, and 10000 x 10000 pixels are more than "
              "the cap of 67108864");
}

// Digits after dithering and inverting: the margins of 0s go, on each side, and nothing of
// a picture without one.
TEST(GeometryTest, TrimCutsMarginsOfZeros) {
    const struct {
        const char* source;
        bool invert;
        const char* kept;
        std::int32_t left;
        std::int32_t top;
    } cases[] = {
        {"FFFFFF FFFFFF FFFFFF / FFFFFF 000000 FFFFFF / FFFFFF FFFFFF FFFFFF", false, "000000", 1,
         1},
        {"000000 FFFFFF FFFFFF / FFFFFF FFFFFF FFFFFF", false, "000000", 0, 0},
        {"FFFFFF FFFFFF / FFFFFF 000000", false, "000000", 1, 1},
        {"FFFFFF 000000 / FFFFFF FFFFFF / FFFFFF 000000", false, "000000 / FFFFFF / 000000", 1, 0},
        {"000000 FFFFFF / FFFFFF 000000", false, "000000 FFFFFF / FFFFFF 000000", 0, 0},
        {"FFFFFF FFFFFF / FFFFFF FFFFFF", false, "FFFFFF", 0, 0},
        {"FFFFFF FFFFFF / 000000 000000", true, "000000 000000", 0, 0},
        {"FFFFFF -- FFFFFF / 000000 000000 000000", true, "000000 -- 000000", 0, 0},
    };
    for (const auto& [source, invert, kept, left, top] : cases) {
        SCOPED_TRACE(source);
        ConversionSettings settings;
        settings.invert = invert;
        settings.mask = MaskSource::Alpha;
        const TrimStage trimmed(Picture(source), settings);
        EXPECT_EQ(TextOf(trimmed), kept);
        EXPECT_EQ(trimmed.Left(), left);
        EXPECT_EQ(trimmed.Top(), top);
    }
}

}  // namespace
}  // namespace rastelle
