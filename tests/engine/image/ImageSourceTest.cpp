#include "image/ImageSource.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>

#include "BmpBuilder.h"

namespace rastelle {
namespace {

namespace fs = std::filesystem;

// 2 x 1, 24 bits: the left pixel grey `level`, the right one white.
test::ByteVector TwoPixels(std::uint8_t level) {
    return test::BmpBuilder{.width = 2, .pixels = {level, level, level, 0xFF, 0xFF, 0xFF, 0, 0}}
        .Build();
}

TEST(ImageSource, OpensTheTypedNameElseItWithBmp) {
    const fs::path dir =
        fs::temp_directory_path() / ("rastelle-" + std::to_string(std::random_device()()));
    fs::create_directories(dir);
    // clang-format off
    const std::pair<fs::path, test::ByteVector> files[] = {
        {u8"pictüre ☃.bmp", TwoPixels(0x10)}, {"sprite.bmp", TwoPixels(0x20)},
        {"twice.bmp.bmp", TwoPixels(0x30)}, {"both", TwoPixels(0x40)},
        {"both.bmp", TwoPixels(0x50)}, {"bad", {'B', 'M', 1, 2}}, {"bad.bmp", TwoPixels(0x60)},
        {"notes.txt", {'h', 'i'}}, {"half.bmp", {'B', 'M'}}};
    // clang-format on
    for (const auto& [name, bytes] : files) {
        std::ofstream(dir / name, std::ios::binary) << std::string(bytes.begin(), bytes.end());
    }
    using enum DecodeErrorKind;
    // clang-format off
    const struct {
        fs::path name; bool completed; std::uint8_t level; DecodeErrorKind error;  // None: opened
    } cases[] = {
        {u8"pictüre ☃.bmp", false, 0x10, None},
        {"notes.txt", false, 0, Invalid},  // a failure closes what was open
        {"sprite", true, 0x20, None}, {"nothing", false, 0, Unreadable},
        {"twice.bmp", true, 0x30, None}, {"both", false, 0x40, None},
        {"half", false, 0, Truncated},  // the only file there gives the reason
        {"bad", true, 0x60, None}, {"", false, 0, Unreadable},  // the folder itself
    };
    // clang-format on
    ImageSource source;
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const auto result = source.Open(dir / test.name);
        EXPECT_EQ(result.opened, test.error == None);
        EXPECT_EQ(result.completedPath, test.completed);
        EXPECT_EQ(result.error.kind, test.error) << result.error.message;
        EXPECT_EQ(source.Width(), test.error == None ? 2 : 0);  // nothing left open on failure
        if (result.opened) {
            std::vector<Colour> row(2);
            source.ReadRow(0, row);
            const Colour left = MakeColour(test.level, test.level, test.level);
            EXPECT_EQ(row, (std::vector<Colour>{left, MakeColour(0xFF, 0xFF, 0xFF)}));
            EXPECT_EQ(source.ColourAt(0, 0), left);
        }
    }
    EXPECT_EQ(source.Open(dir / "nothing").error.message, "no such file");
    fs::remove_all(dir);
}

}  // namespace
}  // namespace rastelle
