#include "back/TextToPicture.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <map>
#include <memory>

#include "BmpBuilder.h"
#include "image/ImageSource.h"
#include "layout/TileSet.h"
#include "picture/DigitStage.h"
#include "text/PictureWriter.h"

namespace rastelle {
namespace {

using namespace std::string_literals;

struct StringSink final : TextSink {
    bool Write(std::string_view piece) override {
        bytes += piece;
        return true;
    }
    std::string bytes;
};

struct Files final : PictureTarget {
    TextSink* Open(std::string_view label) override { return &files[std::string(label)]; }
    std::map<std::string, StringSink> files;
};

struct Outcome {
    std::string error;  // "LINE: what was expected", or empty
    std::map<std::string, StringSink> files;
};

// ReverseSettings without its string, which GCC doubts in static tables.
struct Options {
    ConversionSettings settings = {};
    std::int32_t width = 0, height = 0;
    PictureFormat format = PictureFormat::Png;
    const char* label = "";
};

Outcome Reverse(std::string_view text, const Options& o) {
    Files files;
    TextToPicture reverse({o.settings, o.width, o.height, o.format, o.label}, files);
    reverse.BeginFile();
    // In two pieces, so that a word may be cut between them.
    const std::size_t half = text.size() / 2;
    if (reverse.Feed(text.substr(0, half)) && reverse.Feed(text.substr(half)) &&
        reverse.EndFile() && reverse.Finish())
        return {"", std::move(files.files)};
    return {std::to_string(reverse.Line()) + ": " + reverse.Error(), {}};
}

// Picture digits, then mask digits, row by row.
std::vector<std::uint8_t> DigitsOf(const PixelSource& source, const ConversionSettings& settings) {
    DigitStage stage;
    stage.Begin(source.Width(), settings);
    std::vector<std::uint8_t> digits;
    for (std::int32_t y = 0; y < source.Height(); ++y) {
        const auto row = stage.Row(source, y);
        digits.insert(digits.end(), row.begin(), row.end());
        digits.insert(digits.end(), stage.Mask().begin(), stage.Mask().end());
    }
    return digits;
}

// Every fixture through every layout: picture -> text -> picture keeps the digits and
// text -> picture -> text the text.
TEST(Reverse, RoundTripsEveryLayout) {
    constexpr std::size_t kPresets = 8;  // all but xbm, which takes only its own layout
    std::vector<std::unique_ptr<ImageSource>> pictures;
    for (const char* folder : {"/good", "/formats/good"}) {
        for (const auto& entry :
             std::filesystem::directory_iterator(std::string(RASTELLE_FIXTURES_DIR) + folder)) {
            pictures.push_back(std::make_unique<ImageSource>());
            ASSERT_TRUE(pictures.back()->Open(entry.path()).opened) << entry.path();
        }
    }
    // 11 x 10: two pages, the last of 2 rows, and a row of two bytes.
    test::BmpBuilder bmp;
    bmp.width = 11;
    bmp.height = 10;
    std::vector<test::ByteVector> rows(10);
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (std::size_t x = 0; x < 11; ++x)
            rows[y].insert(rows[y].end(), 3, (x * 7 + y * 3) % 5 < 2 ? 0 : 255);
    bmp.pixels = test::PaddedRows(rows);
    pictures.push_back(std::make_unique<ImageSource>());
    ASSERT_EQ(pictures.back()->OpenBytes(bmp.Build()).kind, DecodeErrorKind::None);

    const ConversionSettings masks[] = {
        {},
        {.mask = MaskSource::Alpha},
        {.mask = MaskSource::Alpha, .maskBit = MaskBit::Opaque, .maskLayout = MaskLayout::After},
        {.mask = MaskSource::Alpha, .maskLayout = MaskLayout::Block},
        {.mask = MaskSource::KeyColour, .maskKey = MakeColour(255, 0, 255)},
    };
    std::size_t combination = 0;
    for (const auto& picture : pictures)
        for (const ByteLayout layout : {ByteLayout::Rows, ByteLayout::Pages})
            for (const BitOrder order : {BitOrder::Bit7First, BitOrder::Bit0First})
                for (const FillMode fill : {FillMode::None, FillMode::Zeros, FillMode::Ones})
                    for (const bool centre : {false, true})
                        for (ConversionSettings settings : masks) {
                            settings.layout = layout;
                            settings.bitOrder = order;
                            settings.fill = fill;
                            settings.centre = centre;
                            settings.invert = ++combination % 3 == 0;
                            // Every form of the text that reads back.
                            settings.radix = static_cast<Radix>(combination % 4);
                            settings.perLine = combination % 5 == 0 ? 1 : 0;
                            settings.comment = combination % 2 == 0;
                            settings.symbols = combination % 7 < 3;
                            const AssemblerSyntax& syntax =
                                SyntaxPresets()[combination % kPresets].syntax;
                            StringSink text;
                            WritePicture(*picture, settings, syntax, "s", text, false);
                            SCOPED_TRACE(text.bytes);
                            const Outcome back = Reverse(
                                text.bytes, {settings, picture->Width(), picture->Height()});
                            ASSERT_EQ(back.error, "");
                            const std::string& file = back.files.at("s").bytes;
                            ImageSource decoded;
                            ASSERT_EQ(decoded.OpenBytes({file.begin(), file.end()}).kind,
                                      DecodeErrorKind::None);
                            EXPECT_EQ(DigitsOf(decoded, settings), DigitsOf(*picture, settings));
                            StringSink again;
                            WritePicture(decoded, settings, syntax, "s", again, false);
                            EXPECT_EQ(again.bytes, text.bytes);
                        }
}

// A picture drawn in rows of 5 x 3 cells: '1' black, '0' white, 't' transparent.
using Cell = std::array<std::string, 3>;
struct Drawn final : AlphaRowSource {
    explicit Drawn(const std::vector<std::array<Cell, 3>>& cells) {
        for (const auto& cellRow : cells)
            for (std::size_t y = 0; y < 3; ++y)
                rows.push_back(cellRow[0][y] + cellRow[1][y] + cellRow[2][y]);
    }
    std::int32_t Width() const override { return 15; }
    std::int32_t Height() const override { return static_cast<std::int32_t>(rows.size()); }
    void ReadRowWithAlpha(std::int32_t y, std::span<Colour> row) const override {
        const std::string& line = rows[static_cast<std::size_t>(y)];
        for (std::size_t x = 0; x < line.size(); ++x)
            row[x] = line[x] == 't' ? 0xFF00FF : line[x] == '1' ? kOpaque : kOpaque | 0xFFFFFF;
    }
    std::vector<std::string> rows;
};

// Tiles and their maps come back as the pictures they were cut from, in every syntax family:
// each flip, empty cells, a base, words, flips in the map, masks, strips, columns, frames.
TEST(Reverse, TilesAndMapsComeBackAsThePictures) {
    const Cell a{"1100t", "10000", "00001"}, across{"t0011", "00001", "10000"},
        down{"00001", "10000", "1100t"}, both{"10000", "00001", "t0011"},
        b{"01110", "0t0t1", "11111"}, blank{"ttttt", "ttttt", "ttttt"},
        c{"10101", "01010", "10101"};
    const Drawn frames[] = {Drawn({{a, across, b}, {down, blank, both}, {b, a, blank}}),
                            Drawn({{c, blank, a}, {both, b, c}, {blank, down, across}})};
    constexpr Colour kKey = MakeColour(255, 0, 255);
    const struct {
        std::size_t syntax;  // in SyntaxPresets()
        ConversionSettings settings;
        bool frames;
    } rows[] = {
        // clang-format off
        {0, {}, false},
        {1, {.mirror = true, .radix = Radix::Hex}, false},
        {2, {.mirror = true, .attrInMap = true, .radix = Radix::Binary}, false},
        {3, {.invert = true, .skipEmpty = true, .mirror = true, .mapBase = 3, .emptyIndex = 200,
             .radix = Radix::Decimal}, false},
        {4, {.layout = ByteLayout::Strips, .bitOrder = BitOrder::Bit0First,
             .cellOrder = CellOrder::Columns, .mirror = true}, true},
        {5, {.fill = FillMode::None, .mapBase = 300, .radix = Radix::Hex, .perLine = 1,
             .symbols = true}, false},
        {6, {.mask = MaskSource::Alpha, .mirror = true, .mapBase = 1000, .comment = true}, true},
        {7, {.mask = MaskSource::KeyColour, .maskKey = kKey, .maskBit = MaskBit::Opaque,
             .maskLayout = MaskLayout::Block, .mirror = true, .attrInMap = true,
             .radix = Radix::Decimal, .symbols = true}, false},
        {8, {.mask = MaskSource::Alpha, .bitOrder = BitOrder::Bit0First,
             .maskLayout = MaskLayout::Block, .skipEmpty = true, .mirror = true, .mapBase = 1},
         false},
        // Without a header the map's words follow its label.
        {0, {.fill = FillMode::Ones, .centre = true, .layout = ByteLayout::Pages, .mirror = true,
             .mapBase = 256, .header = false}, true},
        // clang-format on
    };
    for (const auto& row : rows) {
        ConversionSettings settings = row.settings;
        settings.cellWidth = 5;
        settings.cellHeight = 3;
        settings.unique = true;
        const AssemblerSyntax& syntax = SyntaxPresets()[row.syntax].syntax;
        StringSink text;
        TileSet tiles("s");
        const std::size_t count = row.frames ? 2 : 1;
        const auto name = [&](std::size_t i) {
            return row.frames ? "s_" + std::to_string(i) : "s"s;
        };
        for (std::size_t i = 0; i < count; ++i)
            WritePicture(frames[i], settings, syntax, name(i), text, i > 0, &tiles);
        SCOPED_TRACE(text.bytes);
        const Outcome back = Reverse(text.bytes, {settings, settings.header ? 0 : 15, 9});
        ASSERT_EQ(back.error, "");
        ASSERT_EQ(back.files.size(), count);
        for (std::size_t i = 0; i < count; ++i) {
            const std::string& file = back.files.at(name(i)).bytes;
            ImageSource decoded;
            ASSERT_EQ(decoded.OpenBytes({file.begin(), file.end()}).kind, DecodeErrorKind::None);
            EXPECT_EQ(DigitsOf(decoded, settings), DigitsOf(frames[i], settings));
        }
    }
}

constexpr ConversionSettings kBlock{.mask = MaskSource::Alpha, .maskLayout = MaskLayout::Block};
constexpr ConversionSettings kNoFill{.fill = FillMode::None};
constexpr auto kBytes = WidthUnit::Bytes;
constexpr auto kPages = ByteLayout::Pages;
constexpr ConversionSettings kTiles{.cellWidth = 8, .cellHeight = 1, .unique = true};
const std::string kTile = "s_0:\n\t.db 8,1\n\t.db 1\ns_map:\n";

// Texts as people write them, and the pictures they make: '1' black, '0' white, 't'
// transparent.
// clang-format off
const struct {
    std::string text;
    Options settings;
    std::vector<std::string> picture;
} kSources[] = {
    {"sprite:\n\t.db 8,7\n\t.db $F0\n\tdb 0x0F\n\tDB 0AAh\n\t.byte #$55\n\tdefb 129\n\t!byte 0b1\n"
     "\t.db 0Bh\n", {},
     {"11110000", "00001111", "10101010", "01010101", "10000001", "00000001", "00001011"}},
    {"* title\n; comment\n\n// more\nx:   .db  8 ,  2   // header\n   .db   %11000000  \r\n"
     "\t.db 00000011b;end", {}, {"11000000", "00000011"}},
    {"ghost .db 8,1\n.db 1\n", {}, {"00000001"}},
    // Without fill the width is in bits whatever the unit.
    {"\t.db 10,1\n\t.db %11111111,%01\n", {{.fill = FillMode::None, .widthUnit = kBytes}},
     {"1111111101"}},
    {"\t.db 13,1\n\t.db %00001011,%11001\n",
     {{.fill = FillMode::None, .bitOrder = BitOrder::Bit0First}}, {"1101000010011"}},
    {"\t.db 255\n\t.db 0\n", {{.header = false}, 8, 2}, {"11111111", "00000000"}},
    // Pages: 2 x 10, pixels in rows 0, 1 and 9.
    {"\t.db 2,10\r\n\t.db %00000001,%00000011\r\n\t.db %10,%10\r\n",
     {{.fill = FillMode::None, .layout = kPages}},
     {"11", "01", "00", "00", "00", "00", "00", "00", "00", "11"}},
    {"\t.db 2,16\r\n\t.db %00001000,%00011000\r\n\t.db %00010000,%00010000\r\n",
     {{.centre = true, .layout = kPages}, 2, 10},
     {"11", "01", "00", "00", "00", "00", "00", "00", "00", "11"}},
    // Fill dropped with the size, kept as pixels without.
    {"\t.db 2,2\r\n\t.db %11111111,%11111111\r\n\t.db %11100000,%00000111\r\n",
     {{.fill = FillMode::Ones, .centre = true, .widthUnit = kBytes}, 10, 2},
     {"1111111111", "0000000000"}},
    {"\t.db 2,2\r\n\t.db %11111111,%11111111\r\n\t.db %11100000,%00000111\r\n",
     {{.fill = FillMode::Ones, .centre = true, .widthUnit = kBytes}},
     {"1111111111111111", "1110000000000111"}},
    // Texts saved by other editors: a UTF-8 byte order mark, old Mac line ends (CR only).
    {"\xEF\xBB\xBF\t.db 8,1 ; one\r\t.db 3\r", {}, {"00000011"}},
    // The longest label the converter writes.
    {std::string(256, 'a') + ":\n\t.db 8,1\n\t.db 1\n", {}, {"00000001"}},
    // A mask as a block of its own.
    {"s:\r\n\t.db 8,2\r\n\t.db %10011000\r\n\t.db %00111000\r\n\r\ns_mask:\r\n\t.db 8,2\r\n"
     "\t.db %01000111\r\n\t.db %11000011\r\n", {kBlock, 6, 2}, {"1t011t", "tt1110"}},
};
// clang-format on

TEST(Reverse, HandWrittenSources) {
    for (const auto& source : kSources) {
        SCOPED_TRACE(source.text);
        const Outcome outcome = Reverse(source.text, source.settings);
        ASSERT_EQ(outcome.error, "");
        ASSERT_EQ(outcome.files.size(), 1U);
        const std::string& file = outcome.files.begin()->second.bytes;
        ImageSource decoded;
        ASSERT_EQ(decoded.OpenBytes({file.begin(), file.end()}).kind, DecodeErrorKind::None);
        std::vector<std::string> picture(static_cast<std::size_t>(decoded.Height()));
        std::vector<Colour> row(static_cast<std::size_t>(decoded.Width()));
        for (std::int32_t y = 0; y < decoded.Height(); ++y) {
            decoded.ReadRowWithAlpha(y, row);
            for (const Colour colour : row)
                picture[static_cast<std::size_t>(y)] += AlphaOf(colour) == 0 ? 't'
                                                        : RedOf(colour) == 0 ? '1'
                                                                             : '0';
        }
        EXPECT_EQ(picture, source.picture);
    }
    // PBM: 1 black, rows of whole bytes, leftmost pixel in bit 7.
    const Outcome pbm = Reverse("\t.db 16,2\n\t.db %11111111,%11000000\n\t.db 0,1\n",
                                {{}, 10, 2, PictureFormat::Pbm});
    EXPECT_EQ(pbm.files.at("").bytes, std::string("P4\n10 2\n\xFF\xC0\x00\x00", 12));
}

// clang-format off
const struct {
    std::string text;
    std::string error;  // "LINE: " and the start of what was expected
    Options settings = {};
} kRefusals[] = {
    {"\t.db 8,1\n\t.db %1111111\n\tld a,b\n", "3: expected a directive"},
    {"\t.db 16,1\n\t.db 1\n", "2: expected 2 numbers in each line, not 1"},
    {"\t.db 8,1\n\t.db 1,2\n", "2: expected 1 numbers in each line of the image, not more"},
    {"\t.db 8,1\n\t.db 256\n", "2: expected numbers from 0 to 255"},
    {"\t.db 1\n", "1: expected a header line"},
    {"a:\n\t.db 1,2,3\n", "2: expected a header line"},
    {"a:\nb:\n", "2: expected a header line of two numbers, the width and the height (or "
                 "--no-header with --size WxH) for a"},
    {"\t.db 8,3\n\t.db 1\n\t.db 2\n\n", "3: expected 3 lines of numbers for the image, not 2"},
    {"\t.db 8,1\n\t.db 1\n\t.db 2\n", "3: expected a label or the end"},
    {"\t.db 7,1\n\t.db 128\n", "2: expected a number of 7 binary digits", {kNoFill}},
    {"\t.db 8,1\n\t.db 1 *\n", "2: expected ',' between numbers"},
    {"\t.db 8,1\n\t.db 1,\n", "2: expected a number after ','"},
    {"\t.db 8,1\n\t.db ,1\n", "2: expected a number before ','"},
    {"\t.db 8,1\n\t.db\n", "2: expected numbers after the directive"},
    {"\t.db 8,1\n\t.db %102\n", "2: expected a number"},
    {"\t.db 8,1 / x\n", "1: expected '//'"},
    {"\t.db 99999999999,1\n", "1: expected a number below 2^32"},
    {"\t.db 16777217,1\n", "1: expected a width from 1"},
    {"\t.db 0,1\n", "1: expected a width from 1"},
    {"\t.db 8192,8193\n", "1: expected a picture of at most 67108864 pixels"},
    {"a:\n\t.db 8,1\n\t.db 1\na:\n", "4: expected each label once"},
    {"s:\n\t.db 8,1\n\t.db 1\nt:\n", "4: expected the mask s_mask after s, not t", {kBlock}},
    {"s:\n\t.db 8,1\n\t.db 1\n\n", "3: expected the mask s_mask", {kBlock}},
    {"s:\n\t.db 8,1\n\t.db 1\ns_mask:\n\t.db 8,2\n", "5: expected the mask as big", {kBlock}},
    {"a:\n\t.db 8,1\n\t.db 1\n", "3: expected an image labelled b", {.label = "b"}},
    // Tiles and maps.
    {kTile + "\t.db 2,1\n\t.db 0,1\n", "6: expected map entries from 0 to 0, the tiles read "
     "before s_map, not 1", {kTiles}},
    {kTile + "\t.db 2,1\n\t.db 0\n", "6: expected 2 entries in s_map (2 x 1 cells), not 1",
     {kTiles}},
    {kTile + "\t.db 2,1\n\t.db 0,0,0\n", "6: expected 2 entries in s_map (2 x 1 cells), not more",
     {kTiles}},
    {kTile + "\t.db 1,1\n\t.db 0\n", "6: expected the flips s_attr after s_map",
     {{.cellWidth = 8, .cellHeight = 1, .unique = true, .mirror = true}}},
    {kTile + "\t.db 1,1\n\t.db 0\n", "6: expected entries that are either --empty-index 0 or a "
     "tile", {{.cellWidth = 8, .cellHeight = 1, .skipEmpty = true, .unique = true}}},
    {"s_1:\n", "1: expected the tile s_0 next, not s_1", {kTiles}},
    {"s_map:\n\t.db 1,1\n", "1: expected the tiles s_0, s_1... before the map s_map", {kTiles}},
    {"; nothing\n", "1: expected an image"},
    {"\t.db 8,2\n", "1: expected the header 16,2 that a picture of 10x2 makes", {{}, 10, 2}},
    {"\t.db " + std::string(300, '1'), "1: expected words of at most 256"},
    {"\t.db 8:1\n", "1: expected ':' only after a label"},
    {"1abc:\n", "1: expected a label of letters"},
    {"\t.db 1\n", "1: expected a header line", {{.header = false}}},
    {std::string(257, 'a') + ":", "1: expected words of at most 256 characters"},
    {"\t.db 8,1\r\t.db 1\r\n\t.db 2\r", "3: expected a label or the end"},
    {"\xFF\xFE\t\0.\0d\0b\0"s, "1: UTF-16 text: save it as UTF-8"},
    {"\xFE\xFF\0\t\0.\0d\0b"s, "1: UTF-16 text: save it as UTF-8"},
    {"\xEF\xBB", "1: expected a label of letters, digits and _ (not starting with a digit) "
                  "at column 1, or a directive, not '\\xef\\xbb'"},
    // The text's bytes reach messages printable.
    {"\t.db 8,1\n\t.db \x1b[2J\0\xFF\xC3\xA9\n"s,
     "2: expected a number (%101, 0b101, 101b, $FF, 0xFF, 0FFh or 255), not "
     "'\\x1b[2J\\x00\\xff\xC3\xA9'"},
};
// clang-format on

TEST(Reverse, RefusesBadTexts) {
    for (const auto& refusal : kRefusals) {
        SCOPED_TRACE(refusal.text);
        const Outcome outcome = Reverse(refusal.text, refusal.settings);
        EXPECT_EQ(outcome.error.substr(0, refusal.error.size()), refusal.error);
        EXPECT_TRUE(outcome.files.empty());
    }
}

}  // namespace
}  // namespace rastelle
