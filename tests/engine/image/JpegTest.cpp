#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/ImageSource.h"

namespace rastelle {
namespace {

// Written by make_jpegs.py with Debian's cjpeg, ImageMagick and djpeg.
const std::filesystem::path kSamples = RASTELLE_JPEG_SAMPLES_DIR;

// djpeg's binary PGM or PPM (maximum 255, no comments) as colours, after its width and height.
std::vector<Colour> ReadPnm(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::string magic;
    std::int32_t width = 0, height = 0, maximum = 0;
    file >> magic >> width >> height >> maximum;
    file.get();
    const std::vector<unsigned char> samples{std::istreambuf_iterator<char>(file), {}};
    std::vector<Colour> pixels{static_cast<Colour>(width), static_cast<Colour>(height)};
    const std::size_t step = magic == "P5" ? 1 : 3;
    for (std::size_t at = 0; at + step <= samples.size(); at += step) {
        pixels.push_back(MakeColour(samples[at], samples[at + step / 2], samples[at + step - 1]));
    }
    return pixels;
}

// Each sample against djpeg's pixels, turned by ImageMagick for the EXIF orientations;
// an orientation outside 1 to 8 or EXIF data cut short leave the picture as stored.
constexpr std::array kSampleNames{
    "baseline-420",   "baseline-444", "baseline-422", "baseline-440",     "baseline-411",
    "progressive",    "arithmetic",   "grey",         "grey-progressive", "ycck",
    "cmyk",           "exif-1",       "exif-2",       "exif-3",           "exif-4",
    "exif-5",         "exif-6",       "exif-7",       "exif-8",           "exif-9",
    "exif-cut-short",
};

TEST(JpegTest, PixelsAreDjpegs) {
    for (const char* name : kSampleNames) {
        SCOPED_TRACE(name);
        ImageSource image;
        const auto opened = image.Open(kSamples / (std::string(name) + ".jpg"));
        ASSERT_TRUE(opened.opened) << opened.error.message;
        std::vector<Colour> pixels{static_cast<Colour>(image.Width()),
                                   static_cast<Colour>(image.Height())};
        std::vector<Colour> row(static_cast<std::size_t>(image.Width()));
        for (std::int32_t y = 0; y < image.Height(); ++y) {
            image.ReadRow(y, row);
            pixels.insert(pixels.end(), row.begin(), row.end());
        }
        EXPECT_EQ(pixels, ReadPnm(kSamples / (std::string(name) + ".pnm")));
        EXPECT_EQ(pixels.size(), 2 + 37 * 23);
    }
}

struct Refusal {
    const char* file;
    DecodeErrorKind kind;
};

// Damage the library would paint over is refused as well as what it cannot read; the caps
// come before any decoding.
constexpr std::array kRefusals{
    Refusal{"truncated-in-scan", DecodeErrorKind::Truncated},
    Refusal{"truncated-after-header", DecodeErrorKind::Truncated},
    Refusal{"unknown-marker", DecodeErrorKind::Invalid},
    Refusal{"restart-marker-in-scan", DecodeErrorKind::Invalid},
    Refusal{"694-scans", DecodeErrorKind::Invalid},
    Refusal{"8192x8193", DecodeErrorKind::TooLarge},
    Refusal{"8192x8192", DecodeErrorKind::Invalid},  // within the cap: its data runs out
};

TEST(JpegTest, RefusesDamagedFilesWithTheReason) {
    for (const Refusal& refusal : kRefusals) {
        SCOPED_TRACE(refusal.file);
        ImageSource image;
        const auto opened = image.Open(kSamples / "bad" / (std::string(refusal.file) + ".jpg"));
        EXPECT_FALSE(opened.opened);
        EXPECT_EQ(opened.error.kind, refusal.kind);
    }
    ImageSource image;
    EXPECT_EQ(image.Open(kSamples / "bad" / "truncated-in-scan.jpg").error.message,
              "bad JPEG file (Premature end of JPEG file)");
    EXPECT_EQ(image.Open(kSamples / "bad" / "694-scans.jpg").error.message,
              "bad JPEG file (more than 500 scans)");
}

}  // namespace
}  // namespace rastelle
