#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "image/ImageSource.h"

namespace rastelle {
namespace {

const std::filesystem::path kFixtures = std::filesystem::path(RASTELLE_FIXTURES_DIR) / "formats";

// Every pixel as RRGGBB, rows separated by " / ".
std::string ColoursOf(const ImageSource& image) {
    std::string text;
    for (std::int32_t y = 0; y < image.Height(); ++y) {
        for (std::int32_t x = 0; x < image.Width(); ++x) {
            const Colour colour = image.ColourAt(x, y);
            char pixel[8];
            std::snprintf(pixel, sizeof pixel, "%02X%02X%02X", RedOf(colour), GreenOf(colour),
                          BlueOf(colour));
            text += (x > 0 ? " " : y > 0 ? " / " : "") + std::string(pixel);
        }
    }
    return text;
}

struct Decoding {
    const char* file;
    const char* colours;
};

// Grey is scaled by bit replication, 16 bits keep their top 8, transparency is composited
// over white with rounding: (1, 0x40, 0xFF) at alpha 0x80 shows as 80 9F FF.
constexpr std::array kDecodings{
    Decoding{"grey-1bit.png", "FFFFFF 000000 FFFFFF"},
    Decoding{"grey-2bit.png", "000000 555555 AAAAAA FFFFFF"},
    Decoding{"grey-4bit-trns.png", "111111 FFFFFF EEEEEE"},
    Decoding{"grey-8bit-png-named.bmp", "121212 FEFEFE"},
    Decoding{"grey-16bit-trns.png", "121212 FFFFFF ABABAB"},
    Decoding{"palette-2bit.png", "010203 405060 FEFDFC"},
    Decoding{"palette-8bit-trns.png", "809FFF FFFFFF 102030"},
    Decoding{"rgb-8bit-trns.png", "102030 FFFFFF"},
    Decoding{"rgb-16bit.png", "12AB00"},
    Decoding{"grey-alpha-8bit.png", "7F7F7F FFFFFF 404040"},
    Decoding{"grey-alpha-16bit.png", "9F9F9F"},
    Decoding{"rgba-8bit.png", "809FFF FFFFFF 123456"},
    Decoding{"rgba-16bit.png", "809FFF"},
    Decoding{"grey-4bit-interlaced.png",
             "111111 222222 333333 / 444444 555555 666666 / 777777 888888 999999"},
    Decoding{"transparent-index.gif", "000000 FFFFFF"},
    Decoding{"rgb555.tga", "8408FF"},
    Decoding{"grey-4bit.pgm", "111111 FFFFFF"},
    Decoding{"rgb-16bit.ppm", "12AB00"},
    // Round(v x 255 / 100): 2.55 and 38.25.
    Decoding{"grey-maximum-100.pgm", "030303 262626"},
    // The first frame; the third pixel is left uncovered, whatever the background colour.
    Decoding{"animated-4-frames.gif", "FF0000 FF0000 FFFFFF"},
};

TEST(ImageFormatsTest, ColoursFollowTheRules) {
    for (const Decoding& decoding : kDecodings) {
        SCOPED_TRACE(decoding.file);
        ImageSource image;
        const auto opened = image.Open(kFixtures / "good" / decoding.file);
        ASSERT_TRUE(opened.opened) << opened.error.message;
        EXPECT_EQ(ColoursOf(image), decoding.colours);
        EXPECT_EQ(image.FrameCount(), std::string(decoding.file).starts_with("animated") ? 4 : 1);
    }
}

// Each frame as the GIF shows it: "restore to background" leaves white, "restore to previous"
// brings the red back, a transparent pixel keeps what is under it.
TEST(ImageFormatsTest, AnimatedGifFramesInAnyOrder) {
    ImageSource image;
    ASSERT_TRUE(image.Open(kFixtures / "good" / "animated-4-frames.gif").opened);
    const std::array<const char*, 4> frames{"FF0000 FF0000 FFFFFF", "00FF00 FF0000 FFFFFF",
                                            "FFFFFF 0000FF FFFFFF", "FFFFFF FF0000 00FF00"};
    for (const std::int32_t index : {0, 1, 2, 3, 1, 3, 0}) {
        SCOPED_TRACE(index);
        ASSERT_EQ(image.SelectFrame(index).kind, DecodeErrorKind::None);
        EXPECT_EQ(image.SelectedFrame(), index);
        EXPECT_EQ(ColoursOf(image), frames[static_cast<std::size_t>(index)]);
    }
    const DecodeError beyond = image.SelectFrame(4);
    EXPECT_EQ(beyond.message, "no frame 4: the image has 4");
    EXPECT_EQ(ColoursOf(image), frames[0]);
}

struct Refusal {
    const char* file;
    DecodeErrorKind kind;
    const char* message;
};

constexpr std::array kRefusals{
    Refusal{"png-truncated.png", DecodeErrorKind::Truncated, "bad PNG file (outofdata)"},
    Refusal{"png-corrupt-data.png", DecodeErrorKind::Invalid, "bad PNG file (bad zlib header)"},
    Refusal{"png-20000x20000.png", DecodeErrorKind::TooLarge,
            "image of 20000 x 20000 pixels is larger than the cap of 67108864 pixels"},
    Refusal{"gif-truncated.gif", DecodeErrorKind::Truncated, "the GIF ends inside frame 4"},
    Refusal{"gif-no-frame.gif", DecodeErrorKind::Invalid, "the GIF holds no frame"},
    Refusal{"pgm-number-too-long.pgm", DecodeErrorKind::Invalid, "bad PNM file (number too long)"},
};

TEST(ImageFormatsTest, RefusesBadFilesWithTheReason) {
    for (const Refusal& refusal : kRefusals) {
        SCOPED_TRACE(refusal.file);
        ImageSource image;
        const auto opened = image.Open(kFixtures / "bad" / refusal.file);
        EXPECT_FALSE(opened.opened);
        EXPECT_EQ(opened.error.kind, refusal.kind);
        EXPECT_EQ(opened.error.message, refusal.message);
    }
}

// Written by make_pnms.py with ImageMagick and netpbm, each beside netpbm's reading of it.
const std::filesystem::path kPnmSamples = RASTELLE_PNM_SAMPLES_DIR;

TEST(PnmTest, ToolsFilesReadAsNetpbmReadsThem) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kPnmSamples)) {
        const std::filesystem::path name = entry.path();
        if (name.extension() == ".txt") {
            continue;
        }
        SCOPED_TRACE(name);
        ImageSource image;
        const auto opened = image.Open(name);
        ASSERT_TRUE(opened.opened) << opened.error.message;
        std::ifstream expected(name.string() + ".txt");
        EXPECT_EQ(ColoursOf(image), std::string(std::istreambuf_iterator<char>(expected), {}));
        ++files;
    }
    EXPECT_EQ(files, 16);
}

struct PnmCase {
    std::string_view bytes;
    const char* colours;  // empty: refused
    DecodeErrorKind kind = DecodeErrorKind::None;
};

using namespace std::string_view_literals;

// Comments wherever whitespace may be, samples past the picture ignored, PBM rows padded to
// bytes; the refusals each one step beyond a bound.
constexpr std::array kPnmCases{
    PnmCase{"P1#a\n3#b\n#c\n2#d\n1 0#e\n1\n010\n"sv, "000000 FFFFFF 000000 / FFFFFF 000000 FFFFFF"},
    PnmCase{"P2 2 1 1000 #x\n1000 500"sv, "FFFFFF 808080"},
    PnmCase{"P3 1 1 7 1 2 7"sv, "2449FF"},
    PnmCase{"P4 3 2\n\x80\x5F"sv, "000000 FFFFFF FFFFFF / FFFFFF 000000 FFFFFF"},
    PnmCase{"P5 1 1 65535\n\x80\xFF"sv, "808080"},
    PnmCase{"P6 1 1 255\n\x01\x02\x03"sv, "010203"},
    PnmCase{"P5 1 1 256\n\x00\x01"sv, "010101"},
    PnmCase{"P5 2 1 255\n\x01"sv, "", DecodeErrorKind::Truncated},
    PnmCase{"P4 9 1\n\x01"sv, "", DecodeErrorKind::Truncated},
    PnmCase{"P2 2 1 255 7"sv, "", DecodeErrorKind::Truncated},
    PnmCase{"P1 2 1 1 2"sv, "", DecodeErrorKind::Invalid},
    PnmCase{"P2 1 1 9 10"sv, "", DecodeErrorKind::Invalid},
    PnmCase{"P5 1 1 9\n\x0A"sv, "", DecodeErrorKind::Invalid},
    PnmCase{"P5 1 1 65536\n\x00\x00\x00"sv, "", DecodeErrorKind::Invalid},
    PnmCase{"P5 1 1 0\n\x00"sv, "", DecodeErrorKind::Invalid},
    PnmCase{"P5 1 x 255\n\x00"sv, "", DecodeErrorKind::Invalid},
    PnmCase{"P6 1 1"sv, "", DecodeErrorKind::Truncated},
    PnmCase{"P1 8193 8193\n"sv, "", DecodeErrorKind::TooLarge},
};

TEST(PnmTest, PlainAndBinaryFilesAndTheirRefusals) {
    for (const PnmCase& row : kPnmCases) {
        SCOPED_TRACE(std::string(row.bytes));
        ImageSource image;
        const DecodeError error = image.OpenBytes({row.bytes.begin(), row.bytes.end()});
        EXPECT_EQ(error.kind, row.kind) << error.message;
        if (row.kind == DecodeErrorKind::None) {
            EXPECT_EQ(ColoursOf(image), row.colours);
        }
    }
    ImageSource image;
    const std::string_view above = "P2 1 1 9 10";
    EXPECT_EQ(image.OpenBytes({above.begin(), above.end()}).message,
              "bad PNM file (sample 10 above the maximum value 9)");
}

}  // namespace
}  // namespace rastelle
