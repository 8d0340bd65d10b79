#include "CommandLine.h"

#include <gtest/gtest.h>

namespace rastelle::cli {
namespace {

ParseResult Parse(std::vector<std::string_view> arguments) {
    return ParseCommandLine(arguments);
}

TEST(CommandLine, DefaultsAreTheWindowsInitialState) {
    const ParseResult result = Parse({"sprite.bmp"});
    ASSERT_TRUE(result.commandLine) << result.error;
    const ConversionSettings& settings = result.commandLine->settings;
    EXPECT_EQ(settings.threshold, 128);
    EXPECT_EQ(settings.fill, FillMode::Zeros);
    EXPECT_FALSE(settings.centre);
    EXPECT_EQ(settings.widthUnit, WidthUnit::Bits);
    EXPECT_EQ(result.commandLine->input, "sprite.bmp");
    EXPECT_FALSE(result.commandLine->output);
}

TEST(CommandLine, EveryOptionInBothSpellings) {
    for (const auto& arguments : std::vector<std::vector<std::string_view>>{
             {"--threshold", "0", "--fill", "ones", "--centre", "--width-unit", "bytes", "-o",
              "out.asm", "in"},
             {"--threshold=0", "--fill=ones", "--center", "--width-unit=bytes", "--output=out.asm",
              "in"}}) {
        const ParseResult result = Parse(arguments);
        ASSERT_TRUE(result.commandLine) << result.error;
        const ConversionSettings& settings = result.commandLine->settings;
        EXPECT_EQ(settings.threshold, 0);
        EXPECT_EQ(settings.fill, FillMode::Ones);
        EXPECT_TRUE(settings.centre);
        EXPECT_EQ(settings.widthUnit, WidthUnit::Bytes);
        EXPECT_EQ(result.commandLine->output, "out.asm");
        EXPECT_EQ(result.commandLine->input, "in");
    }
    EXPECT_EQ(Parse({"--fill", "none", "x"}).commandLine->settings.fill, FillMode::None);
    EXPECT_EQ(Parse({"--threshold", "255", "x"}).commandLine->settings.threshold, 255);
    // A file whose name starts with a dash, after "--".
    EXPECT_EQ(Parse({"--", "-odd.bmp"}).commandLine->input, "-odd.bmp");
}

TEST(CommandLine, RefusesBadInput) {
    for (const auto& arguments :
         std::vector<std::vector<std::string_view>>{{},
                                                    {"--threshold", "256", "x"},
                                                    {"--threshold", "-1", "x"},
                                                    {"--threshold", "12a", "x"},
                                                    {"--threshold", "", "x"},
                                                    {"--threshold", "+5", "x"},
                                                    {"--fill", "twos", "x"},
                                                    {"--width-unit", "nibbles", "x"},
                                                    {"--colour", "x"},
                                                    {"-o"},
                                                    {"-o", "", "x"},
                                                    {"a", "b"},
                                                    {"--threshold"}}) {
        const ParseResult result = Parse(arguments);
        EXPECT_FALSE(result.commandLine);
        EXPECT_FALSE(result.error.empty());
    }
}

}  // namespace
}  // namespace rastelle::cli
