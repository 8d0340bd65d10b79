#include "CommandLine.h"

#include <gtest/gtest.h>

namespace rastelle::cli {
namespace {

ParseResult Parse(std::vector<std::string_view> arguments) {
    return ParseCommandLine(arguments);
}

TEST(CommandLine, EveryOptionInBothSpellings) {
    for (const auto& arguments : std::vector<std::vector<std::string_view>>{
             {"--threshold", "0", "--fill", "ones", "--centre", "--width-unit", "bytes", "-o",
              "out.asm", "--syntax", "nasm", "--label", "_Ok9", "--dither", "floyd-steinberg",
              "--background", "black", "--invert", "in"},
             {"--threshold=0", "--fill=ones", "--center", "--width-unit=bytes", "--output=out.asm",
              "--syntax=NASM", "--label=_Ok9", "--dither=floyd-steinberg", "--background=black",
              "--invert", "in"}}) {
        const ParseResult result = Parse(arguments);
        ASSERT_TRUE(result.commandLine) << result.error;
        const ConversionSettings& settings = result.commandLine->settings;
        EXPECT_EQ(settings.threshold, 0);
        EXPECT_EQ(settings.fill, FillMode::Ones);
        EXPECT_TRUE(settings.centre);
        EXPECT_EQ(settings.widthUnit, WidthUnit::Bytes);
        EXPECT_EQ(settings.dither, Dither::FloydSteinberg);
        EXPECT_EQ(settings.background, Background::Black);
        EXPECT_TRUE(settings.invert);
        EXPECT_EQ(result.commandLine->output, "out.asm");
        EXPECT_EQ(result.commandLine->syntax.literalSuffix, "b");
        EXPECT_EQ(result.commandLine->labels, std::vector<std::string>{"_Ok9"});
    }
    EXPECT_EQ(Parse({"--fill", "none", "x"}).commandLine->settings.fill, FillMode::None);
    EXPECT_EQ(Parse({"--threshold", "255", "x"}).commandLine->settings.threshold, 255);
    // A file whose name starts with a dash, after "--".
    EXPECT_EQ(Parse({"--", "-odd.bmp"}).commandLine->inputs[0], "-odd.bmp");
}

TEST(CommandLine, LabelsFromFileNames) {
    const ParseResult result =
        Parse({"dir/8x8.bmp", "my-sprite.v2.bmp", "sprite", "\xC3\xA9t\xC3\xA9.bmp", "-"});
    ASSERT_TRUE(result.commandLine) << result.error;
    EXPECT_EQ(result.commandLine->labels,
              (std::vector<std::string>{"_8x8", "my_sprite_v2", "sprite", "_t_", "stdin"}));
}

TEST(CommandLine, RefusesBadInput) {
    // clang-format off
    for (const auto& arguments : std::vector<std::vector<std::string_view>>{
             {}, {"--threshold", "256", "x"}, {"--threshold", "-1", "x"},
             {"--threshold", "12a", "x"}, {"--threshold", "", "x"}, {"--threshold", "+5", "x"},
             {"--fill", "twos", "x"}, {"--width-unit", "nibbles", "x"}, {"--colour", "x"},
             {"-o"}, {"-o", "", "x"}, {"--threshold"}, {"--syntax", "masm", "x"},
             {"--frames", "some", "x"}, {"--dither", "bayer", "x"}, {"--dither", "Ordered", "x"},
             {"--background", "grey", "x"}, {"--label", "9lives", "x"}, {"--label", "a-b", "x"},
             {"--label", "", "x"}, {"--label", "a", "x", "y"},
             {"a-b.bmp", "a_b"}, {"--cell", "8", "x"}, {"--cell", "0x8", "x"}, {"--cell", "8x+8", "x"},
             {"--mask", "#12345", "x"}, {"--layout", "columns", "x"},
             {"--layout", "pages", "--width-unit", "bytes", "x"}, {"x/1.bmp", "y/_1.bmp"},
             {"--radix", "oct", "x"}, {"--per-line", "0", "x"}, {"--per-line", "2x", "x"},
             {"--syntax", "c", "--radix", "bin", "x"}, {"--syntax", "xbm", "--radix", "dec", "x"},
             {"--syntax", "xbm", "--layout", "pages", "x"}, {"--syntax", "xbm", "--fill", "none", "x"},
             {"--syntax", "xbm", "--bit-order", "msb", "x"}, {"--syntax", "xbm", "--no-header", "x"},
             {"--unique", "x"}, {"--mirror", "--cell", "8x8", "x"},
             {"--attr-in-map", "--unique", "--cell", "8x8", "x"},
             {"--map-base", "1", "--cell", "8x8", "x"},
             {"--empty-index", "1", "--unique", "--cell", "8x8", "x"},
             {"--map-base", "65536", "--unique", "--cell", "8x8", "x"},
             {"--map-base", "-0", "--unique", "--cell", "8x8", "x"},
             {"--unique", "--cell", "8x8", "--reverse", "--binary", "-o", "p.png", "x"}}) {
        // clang-format on
        const ParseResult result = Parse(arguments);
        EXPECT_FALSE(result.commandLine);
        EXPECT_FALSE(result.error.empty());
    }
    EXPECT_EQ(Parse({"--mask-layout", "beside", "x"}).error,
              "--mask-layout must be before or after or block, not 'beside'");
    EXPECT_EQ(Parse({"--dither", "fs", "x"}).error,
              "dither must be none, ordered, floyd-steinberg or atkinson, not 'fs'");
    EXPECT_EQ(Parse({"--radix", "oct", "x"}).error, "radix must be bin, hex or dec, not 'oct'");
    EXPECT_EQ(Parse({"--background=grey", "x"}).error,
              "background must be white or black, not 'grey'");
    EXPECT_EQ(Parse({"--unique", "x"}).error, "--unique needs --cell WxH: tiles are cells");
    EXPECT_EQ(Parse({"--mirror", "--cell", "8x8", "x"}).error, "--mirror needs --unique");
    const ParseResult highest = Parse({"--map-base", "65535", "--empty-index", "0", "--unique",
                                       "--skip-empty", "--cell", "8x8", "x"});
    ASSERT_TRUE(highest.commandLine) << highest.error;
    EXPECT_EQ(highest.commandLine->settings.mapBase, 65535);
    EXPECT_EQ(Parse({"p/a-b.bmp", "a_b.gif"}).error,
              "p/a-b.bmp and a_b.gif would both get the label a_b");
}

// Labels an assembler would read as something else are refused, naming the file and the
// word; a prefix gets past them; labels that differ in case only clash where it ignores case.
TEST(CommandLine, ReservedAndClashingLabels) {
    const std::string a256(256, 'a'), a257(257, 'a'), p223(223, 'p'), p224(224, 'p');
    const std::string hint = "; --label-prefix TEXT puts TEXT before every label";
    const struct {
        std::vector<std::string_view> arguments;
        std::vector<std::string> labels;  // when accepted
        std::string error;
    } cases[] = {
        // clang-format off
        {{"--syntax", "acme", "nop.png", "b.png"}, {},
         "nop.png would get the label nop, which acme assemblers reserve" + hint},
        {{"--syntax", "xa65", "x/RTS.gif", "b.png"}, {},
         "x/RTS.gif would get the label RTS, which tasm assemblers reserve (as rts)" + hint},
        {{"--syntax=pasmo", "--label", "Ret", "s.bmp"}, {},
         "--label gives the label Ret, which zilog assemblers reserve (as ret)" + hint},
        {{"--syntax", "acme", "--label-prefix", "spr_", "nop.png", "b.png"},
         {"spr_nop", "spr_b"}, ""},
        {{"--label-prefix", "p", "--label", "a", "s.bmp"}, {"pa"}, ""},
        {{"--syntax", "acme", "a.png"}, {""}, ""},  // one file has no label line
        {{"--syntax", "acme", "--frames", "all", "nop.gif"}, {"nop"}, ""},  // nop_0, nop_1...
        {{"--syntax", "ca65", "mov.bmp", "x1.bmp"}, {"mov", "x1"}, ""},
        {{"--syntax", "as31", "Ball.png", "ball.png"}, {},
         "Ball.png and ball.png would get the labels Ball and ball, the same to sdas "
         "assemblers, which ignore case"},
        {{"--syntax", "tasm", "Ball.png", "ball.png"}, {"Ball", "ball"}, ""},
        {{"--mask", "alpha", "--mask-layout", "block", "x.png", "x_mask.png"}, {},
         "x.png's mask and x_mask.png would both get the label x_mask"},
        {{"--syntax", "sdas", "--mask=alpha", "--mask-layout=block", "x_MASK.png", "x.png"}, {},
         "x_MASK.png and x.png's mask would get the labels x_MASK and x_mask, the same to sdas "
         "assemblers, which ignore case"},
        // Cells' masks are x_0_mask, x_mask_0_mask...
        {{"--cell", "8x8", "--mask", "alpha", "--mask-layout", "block", "x.png", "x_mask.png"},
         {"x", "x_mask"}, ""},
        {{"--label-prefix", "spr_", "nop.png"}, {"spr_nop"}, ""},
        // Symbols are labels too: x_width, x_trim_x, and images_count for the files' table.
        {{"--symbols", "x.png", "x_width.png"}, {},
         "x.png's symbols and x_width.png would both get the label x_width"},
        {{"--symbols", "--trim", "x_trim_y.png", "x.png"}, {},
         "x_trim_y.png and x.png's symbols would both get the label x_trim_y"},
        {{"--symbols", "x.png", "images_count.png"}, {},
         "images_count.png and the table of files would both get the label images_count"},
        {{"--symbols", "x_count.png", "x.png"}, {"x_count", "x"}, ""},  // one image: no count
        {{"--cell", "8x8", "--unique", "--mirror", "x.png", "x_attr.png"}, {},
         "x.png's flips and x_attr.png would both get the label x_attr"},
        {{"--cell", "8x8", "--unique", "x_map.png", "x.png"}, {},
         "x_map.png and x.png's map would both get the label x_map"},
        {{"--label", a256, "s.bmp"}, {a256}, ""},
        {{"--label", a257, "s.bmp"}, {},
         "--label would get labels of up to 257 characters; labels have at most 256, the most "
         "--reverse reads"},
        // With frames (_2147483647), cells of 1 x 1 (_281474976710655) and the mask's _mask.
        {{"--label-prefix", p223, "--frames=all", "--cell=1x1", "--mask=alpha",
          "--mask-layout=block", "x"}, {p223 + "x"}, ""},
        {{"--label-prefix", p224, "--frames=all", "--cell=1x1", "--mask=alpha",
          "--mask-layout=block", "x"}, {},
         "x would get labels of up to 257 characters; labels have at most 256, the most "
         "--reverse reads"},
        {{"--label-prefix", "9", "a", "b"}, {},
         "label prefix '9' must be letters, digits and _, not starting with a digit"},
        {{"--syntax", "c", "int.png"}, {},
         "int.png would get the label int, a keyword of C" + hint},
        {{"--syntax", "c", "Int.png", "_Bool.bmp"}, {},
         "_Bool.bmp would get the label _Bool, a keyword of C" + hint},
        {{"--syntax", "arduino", "Int.png"}, {"Int"}, ""},  // an array needs its name
        {{"--threshold", "1", "--threshold=2", "a"}, {}, "option --threshold is given twice"},
        {{"--label", "a", "--label", "b", "x"}, {}, "option --label is given twice"},
        // clang-format on
    };
    for (const auto& [arguments, labels, error] : cases) {
        const ParseResult result = Parse(arguments);
        EXPECT_EQ(result.error, error);
        EXPECT_EQ(result.commandLine ? result.commandLine->labels : std::vector<std::string>{},
                  labels);
    }
}

// The geometry options: values at their bounds taken, one step beyond refused with the form
// the option wants; combinations that cannot both hold refused.
TEST(CommandLine, GeometryOptions) {
    const ParseResult taken = Parse({"--crop=0,0,16777216,1", "--resize", "x64", "--rotate=270",
                                     "--flip", "both", "--trim", "x"});
    ASSERT_TRUE(taken.commandLine) << taken.error;
    const GeometrySettings& geometry = taken.commandLine->geometry;
    EXPECT_EQ(std::vector<std::int32_t>({geometry.cropX, geometry.cropY, geometry.cropWidth,
                                         geometry.cropHeight, geometry.resizeWidth,
                                         geometry.resizeHeight, geometry.rotate}),
              std::vector<std::int32_t>({0, 0, 16777216, 1, 0, 64, 270}));
    EXPECT_EQ(geometry.flip, Flip::Both);
    EXPECT_TRUE(taken.commandLine->trim);
    EXPECT_EQ(Parse({"--scale", "256", "--fit", "cover", "x"}).error,
              "--fit needs --resize WIDTHxHEIGHT; with one side given the proportions are kept");
    EXPECT_EQ(Parse({"--scale", "256", "x"}).commandLine->geometry.scale, 256);

    const std::string crop = "--crop must be X,Y,WIDTH,HEIGHT in pixels (as 0,8,64,32), not '";
    const std::string resize =
        "--resize must be WIDTHxHEIGHT, WIDTHx or xHEIGHT in pixels, each from 1 to 16777216 (as "
        "128x64 or 128x), not '";
    const std::string scale = "--scale must be a whole number from 1 to 256, not '";
    const struct {
        std::vector<std::string_view> arguments;
        std::string error;
    } cases[] = {
        {{"--crop", "0,0,0,4", "x"}, crop + "0,0,0,4'"},
        {{"--crop", "-1,0,2,2", "x"}, crop + "-1,0,2,2'"},
        {{"--crop", "0,0,2,16777217", "x"}, crop + "0,0,2,16777217'"},
        {{"--crop", "0,0,2,2,", "x"}, crop + "0,0,2,2,'"},
        {{"--resize", "x", "x"}, resize + "x'"},
        {{"--resize", "0x5", "x"}, resize + "0x5'"},
        {{"--resize", "5x5x5", "x"}, resize + "5x5x5'"},
        {{"--scale", "257", "x"}, scale + "257'"},
        {{"--scale", "0", "x"}, scale + "0'"},
        {{"--rotate", "45", "x"}, "rotation must be 90, 180 or 270, not '45'"},
        {{"--flip", "sideways", "x"}, "flip must be horizontal, vertical or both, not 'sideways'"},
        {{"--fit", "fill", "x"}, "fit must be contain, cover or stretch, not 'fill'"},
        {{"--scale", "2", "--resize", "8x8", "x"},
         "--resize and --scale both set the size: give one"},
        {{"--reverse", "--trim", "a.asm", "-o", "b.png"},
         "--crop, --resize, --scale, --rotate, --flip and --trim change the images read, not the "
         "pictures --reverse writes"},
    };
    for (const auto& [arguments, error] : cases) {
        EXPECT_EQ(Parse(arguments).error, error);
    }
}

}  // namespace
}  // namespace rastelle::cli
