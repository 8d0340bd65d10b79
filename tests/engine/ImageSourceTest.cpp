#include "ImageSource.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>

#include "BmpBuilder.h"

namespace rastelle {
namespace {

namespace fs = std::filesystem;

class ImageSourceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device random;
        dir_ = fs::temp_directory_path() / ("rastelle-test-" + std::to_string(random()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    fs::path Write(const fs::path& name, const test::ByteVector& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // 2 x 1, 24-bit, left pixel `left`, right pixel white.
    static test::ByteVector Image(std::uint8_t left) {
        test::BmpBuilder bmp;
        bmp.width = 2;
        bmp.pixels = test::PaddedRows({{left, left, left, 0xFF, 0xFF, 0xFF}});
        return bmp.Build();
    }

    fs::path dir_;
};

TEST_F(ImageSourceTest, OpensThePathAsTyped) {
    const fs::path path = Write(u8"pictüre ☃.bmp", Image(0x10));
    ImageSource source;
    const auto result = source.Open(path);
    ASSERT_TRUE(result.opened) << result.error.message;
    EXPECT_FALSE(result.completedPath);
    EXPECT_TRUE(source.IsOpen());
    EXPECT_EQ(source.Width(), 2);
    EXPECT_EQ(source.Height(), 1);
    EXPECT_EQ(source.ColourAt(0, 0), MakeColour(0x10, 0x10, 0x10));
    std::vector<Colour> row(2);
    source.ReadRow(0, row);
    EXPECT_EQ(row[1], MakeColour(0xFF, 0xFF, 0xFF));
    source.Close();
    EXPECT_FALSE(source.IsOpen());
    EXPECT_EQ(source.Width(), 0);
}

TEST_F(ImageSourceTest, CompletesTheNameWithBmp) {
    Write("sprite.bmp", Image(0x20));
    ImageSource source;
    const auto result = source.Open(dir_ / "sprite");
    ASSERT_TRUE(result.opened) << result.error.message;
    EXPECT_TRUE(result.completedPath);
    EXPECT_EQ(source.ColourAt(0, 0), MakeColour(0x20, 0x20, 0x20));

    // A name already ending in .bmp still gets another one.
    Write("twice.bmp.bmp", Image(0x30));
    const auto twice = source.Open(dir_ / "twice.bmp");
    ASSERT_TRUE(twice.opened) << twice.error.message;
    EXPECT_TRUE(twice.completedPath);
    EXPECT_EQ(source.ColourAt(0, 0), MakeColour(0x30, 0x30, 0x30));
}

TEST_F(ImageSourceTest, PrefersTheTypedName) {
    Write("both", Image(0x40));
    Write("both.bmp", Image(0x50));
    ImageSource source;
    const auto result = source.Open(dir_ / "both");
    ASSERT_TRUE(result.opened);
    EXPECT_FALSE(result.completedPath);
    EXPECT_EQ(source.ColourAt(0, 0), MakeColour(0x40, 0x40, 0x40));

    // A bad typed file falls back to the completed name.
    Write("bad", {'B', 'M', 1, 2});
    Write("bad.bmp", Image(0x60));
    const auto fallback = source.Open(dir_ / "bad");
    ASSERT_TRUE(fallback.opened);
    EXPECT_TRUE(fallback.completedPath);
}

TEST_F(ImageSourceTest, FailuresLeaveItClosedWithTheUsefulReason) {
    ImageSource source;
    ASSERT_TRUE(source.Open(Write("good.bmp", Image(0))).opened);

    const auto notBmp = source.Open(Write("notes.txt", {'h', 'e', 'l', 'l', 'o'}));
    EXPECT_FALSE(notBmp.opened);
    EXPECT_FALSE(source.IsOpen());
    EXPECT_EQ(notBmp.error.kind, DecodeErrorKind::Invalid);
    EXPECT_NE(notBmp.error.message.find("not a BMP"), std::string::npos);

    const auto missing = source.Open(dir_ / "nothing");
    EXPECT_FALSE(missing.opened);
    EXPECT_EQ(missing.error.kind, DecodeErrorKind::Unreadable);
    EXPECT_EQ(missing.error.message, "no such file");

    // Only the completed name exists: its reason is the one to give.
    Write("half.bmp", {'B', 'M'});
    const auto half = source.Open(dir_ / "half");
    EXPECT_FALSE(half.opened);
    EXPECT_EQ(half.error.kind, DecodeErrorKind::Truncated);

    const auto folder = source.Open(dir_);
    EXPECT_FALSE(folder.opened);
    EXPECT_EQ(folder.error.kind, DecodeErrorKind::Unreadable);
    EXPECT_FALSE(source.IsOpen());
    EXPECT_EQ(source.Height(), 0);
}

TEST_F(ImageSourceTest, TwoOpensReadTheSameColours) {
    test::BmpBuilder bmp;
    bmp.width = 5;
    bmp.height = 3;
    bmp.bits = 8;
    bmp.palette = test::PaletteOf({0x000000, 0x123456, 0xFEDCBA});
    bmp.pixels = test::PaddedRows({{0, 1, 2, 1, 0}, {2, 2, 1, 1, 0}, {0, 0, 0, 2, 9}});
    const fs::path path = Write("same.bmp", bmp.Build());
    ImageSource first;
    ImageSource second;
    ASSERT_TRUE(first.Open(path).opened);
    ASSERT_TRUE(second.Open(path).opened);
    for (std::int32_t y = 0; y < 3; ++y) {
        for (std::int32_t x = 0; x < 5; ++x) {
            EXPECT_EQ(first.ColourAt(x, y), second.ColourAt(x, y));
        }
    }
}

}  // namespace
}  // namespace rastelle
