#include "preview/PicturePreview.h"
#include "text/PictureWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rastelle {
namespace {

constexpr FillMode None = FillMode::None, Ones = FillMode::Ones;
constexpr ByteLayout Pages = ByteLayout::Pages;
constexpr BitOrder Msb = BitOrder::Bit7First, Lsb = BitOrder::Bit0First;

// '1' black, '0' white; 't' black at alpha 127 (transparent), 'o' black at alpha 128 (opaque);
// 'k' the key colour #FF00FF and 'n' one step from it.
Colour ColourOf(char pixel) {
    switch (pixel) {
        case '1':
            return MakeColour(0, 0, 0) | kOpaque;
        case 't':
            return Colour{127} << 24;
        case 'o':
            return Colour{128} << 24;
        case 'k':
            return MakeColour(255, 0, 255) | kOpaque;
        case 'n':
            return MakeColour(255, 0, 254) | kOpaque;
        default:
            return MakeColour(255, 255, 255) | kOpaque;
    }
}

class Drawing final : public PixelSource {
  public:
    explicit Drawing(std::vector<std::string> rows) : rows_(std::move(rows)) {}
    std::int32_t Width() const override { return static_cast<std::int32_t>(rows_[0].size()); }
    std::int32_t Height() const override { return static_cast<std::int32_t>(rows_.size()); }
    Colour ColourAt(std::int32_t x, std::int32_t y) const override {
        return ColourOf(rows_[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]) &
               0xFFFFFFU;
    }
    void ReadRowWithAlpha(std::int32_t y, std::span<Colour> row) const override {
        for (std::size_t x = 0; x < rows_[0].size(); ++x)
            row[x] = ColourOf(rows_[static_cast<std::size_t>(y)][x]);
    }

  private:
    std::vector<std::string> rows_;
};

struct StringSink final : TextSink {
    bool Write(std::string_view piece) override {
        text += piece;
        return true;
    }
    std::string text;
};

std::vector<std::string> Rows(std::initializer_list<std::pair<int, std::string>> drawn, int height,
                              std::size_t width) {
    std::vector<std::string> rows(static_cast<std::size_t>(height), std::string(width, '0'));
    for (const auto& [y, row] : drawn)
        rows[static_cast<std::size_t>(y)] = row;
    return rows;
}

// 2 x 10: the left column has pixels in rows 0 and 9, the right one in rows 0, 1 and 9.
const auto kTen = Rows({{0, "11"}, {1, "01"}, {9, "11"}}, 10, 2);

std::string Cell(const std::string& label, const std::string& line) {
    return label + ":\r\n\t.db 8,8\r\n\t.db " + line + "\r\n";
}
// clang-format off
// An 8 x 8 cell of pages: A has its top row set, B its left column, E nothing.
const std::string kRowA = "%00000001,%00000001,%00000001,%00000001,%00000001,%00000001,%00000001,%00000001";
const std::string kRowB = "%11111111,%00000000,%00000000,%00000000,%00000000,%00000000,%00000000,%00000000";
const std::string kRowE = "%00000000,%00000000,%00000000,%00000000,%00000000,%00000000,%00000000,%00000000";
// A sheet of 2 x 2 cells: A E / A B.
const auto kSheet = Rows({{0, "1111111100000000"}, {8, "1111111110000000"}, {9, "0000000010000000"},
                          {10, "0000000010000000"}, {11, "0000000010000000"}, {12, "0000000010000000"},
                          {13, "0000000010000000"}, {14, "0000000010000000"}, {15, "0000000010000000"}}, 16, 16);

const struct {
    std::vector<std::string> rows;
    ConversionSettings settings;
    std::string text;
    std::int64_t skipped = 0;
} kCases[] = {
    // Pages: bit 0 is the top pixel unless msb; the last page completed or short.
    {Rows({{0, "11"}, {1, "01"}, {7, "10"}}, 8, 2), {.layout = Pages}, "\t.db 2,8\r\n\t.db %10000001,%00000011\r\n"},
    {kTen, {.fill = Ones, .layout = Pages}, "\t.db 2,16\r\n\t.db %00000001,%00000011\r\n\t.db %11111110,%11111110\r\n"},
    {kTen, {.fill = None, .layout = Pages}, "\t.db 2,10\r\n\t.db %00000001,%00000011\r\n\t.db %10,%10\r\n"},
    {kTen, {.fill = None, .layout = Pages, .bitOrder = Msb}, "\t.db 2,10\r\n\t.db %10000000,%11000000\r\n\t.db %01,%01\r\n"},
    {{"1"}, {.centre = true, .layout = Pages}, "\t.db 1,8\r\n\t.db %00001000\r\n"},
    {kTen, {.fill = Ones, .centre = true, .layout = Pages},
     "\t.db 2,16\r\n\t.db %00001111,%00011111\r\n\t.db %11110000,%11110000\r\n"},
    {kTen, {.fill = None, .centre = true, .layout = Pages}, "\t.db 2,10\r\n\t.db %00000001,%00000011\r\n\t.db %10,%10\r\n"},
    {Rows({{0, "11"}, {1, "01"}, {15, "10"}}, 16, 2), {.fill = Ones, .centre = true, .layout = Pages},
     "\t.db 2,16\r\n\t.db %00000001,%00000011\r\n\t.db %10000000,%00000000\r\n"},
    // Bit order in rows.
    {{"1101000010011"}, {.bitOrder = Msb}, "\t.db 16,1\r\n\t.db %11010000,%10011000\r\n"},
    {{"1101000010011"}, {.bitOrder = Lsb}, "\t.db 16,1\r\n\t.db %00001011,%00011001\r\n"},
    {{"1101000010011"}, {.fill = None, .bitOrder = Lsb}, "\t.db 13,1\r\n\t.db %00001011,%11001\r\n"},
    {{"1101000010011"}, {.centre = true, .bitOrder = Lsb}, "\t.db 16,1\r\n\t.db %00010110,%00110010\r\n"},
    // Cells, each an image of its own, numbered in reading order; empty ones left out.
    {kSheet, {.layout = Pages, .cellWidth = 8, .cellHeight = 8},
     Cell("s_0", kRowA) + "\r\n" + Cell("s_1", kRowE) + "\r\n" + Cell("s_2", kRowA) + "\r\n" + Cell("s_3", kRowB)},
    {kSheet, {.layout = Pages, .cellWidth = 8, .cellHeight = 8, .cellOrder = CellOrder::Columns},
     Cell("s_0", kRowA) + "\r\n" + Cell("s_1", kRowA) + "\r\n" + Cell("s_2", kRowE) + "\r\n" + Cell("s_3", kRowB)},
    {kSheet, {.layout = Pages, .cellWidth = 8, .cellHeight = 8, .cellOrder = CellOrder::Columns, .skipEmpty = true, .header = false},
     "s_0:\r\n\t.db " + kRowA + "\r\n\r\ns_1:\r\n\t.db " + kRowA + "\r\n\r\ns_3:\r\n\t.db " + kRowB + "\r\n", 1},
    // Masks: transparent pixels and fill digits; the picture's digit under them is 0.
    {{"1t0o1t", "tt11o0"}, {.mask = MaskSource::Alpha},
     "s:\r\n\t.db 8,2\r\n\t.db %01000111,%10011000\r\n\t.db %11000011,%00111000\r\n"},
    {{"1t0o1t", "tt11o0"}, {.mask = MaskSource::Alpha, .maskBit = MaskBit::Opaque, .maskLayout = MaskLayout::After},
     "s:\r\n\t.db 8,2\r\n\t.db %10011000,%10111000\r\n\t.db %00111000,%00111100\r\n"},
    {{"1t0o1t", "tt11o0"}, {.mask = MaskSource::Alpha, .maskLayout = MaskLayout::Block},
     "s:\r\n\t.db 8,2\r\n\t.db %10011000\r\n\t.db %00111000\r\n\r\ns_mask:\r\n\t.db 8,2\r\n\t.db %01000111\r\n\t.db %11000011\r\n"},
    {{"1kn0"}, {.invert = true, .mask = MaskSource::KeyColour, .maskKey = MakeColour(255, 0, 255), .maskLayout = MaskLayout::After},
     "s:\r\n\t.db 8,1\r\n\t.db %00110000,%01001111\r\n"},
    {{"1kn0"}, {.invert = true, .mask = MaskSource::KeyColour, .maskKey = MakeColour(255, 0, 255), .maskBit = MaskBit::Opaque, .layout = Pages},
     "s:\r\n\t.db 4,8\r\n\t.db %00000001,%00000000,%00000000,%00000000,%00000001,%00000001,%00000001,%00000001\r\n"},
};
// clang-format on

TEST(Layout, WholeTexts) {
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.text);
        StringSink sink;
        const Drawing drawing(test.rows);
        const bool named = test.settings.mask != MaskSource::None || test.settings.cellWidth > 0;
        const PictureReport report =
            WritePicture(drawing, test.settings, {}, named ? "s" : "", sink, false);
        EXPECT_EQ(sink.text, test.text);
        EXPECT_EQ(report.skippedCells, test.skipped);
        EXPECT_EQ(report.sawTransparent, test.settings.mask != MaskSource::None);
    }
}

// The preview of a drawing with the settings changed, the room given and the cell width
// wanted: '#' ink, '.' paper, '-' and '+' fill digits 0 and 1, 'x' transparent, '|' a new row.
struct PreviewCase {
    std::vector<std::string> drawing;
    void (*change)(ConversionSettings&);
    std::int32_t room;
    std::string tones;
    std::int32_t cellWidth;
};

// clang-format off
const PreviewCase kPreviews[] = {
    {{"101", "011"}, [](ConversionSettings& s) { s.centre = true; }, 64, "--#.#---|--.##---", 0},
    {{"101", "011"}, [](ConversionSettings& s) { s.fill = None; }, 64, "#.#|.##", 0},
    {{"101", "011"}, [](ConversionSettings& s) { s.layout = Pages, s.fill = Ones, s.centre = true; }, 64,
     "+++|+++|+++|#.#|.##|+++|+++|+++", 0},
    {{"10010"}, [](ConversionSettings& s) { s.cellWidth = 2, s.cellHeight = 1; }, 64, "#.------.#------", 8},
    {{"1100110011001101"}, [](ConversionSettings& s) { s.fill = None; }, 8, "#.#.#.#.", 0},
    {{"t1o"}, [](ConversionSettings& s) { s.mask = MaskSource::Alpha; }, 64, "x##-----", 0},
};
// clang-format on

TEST(PicturePreview, ShowsTheDigitsAsLaidOut) {
    for (const PreviewCase& c : kPreviews) {
        ConversionSettings settings;
        c.change(settings);
        PicturePreview preview;
        ASSERT_TRUE(MakePicturePreview(Drawing(c.drawing), settings, c.room, c.room, {}, preview));
        std::string tones;
        for (std::size_t i = 0; i < preview.tones.size(); ++i) {
            tones += i > 0 && i % static_cast<std::size_t>(preview.width) == 0 ? "|" : "";
            tones += ".#-+x"[static_cast<int>(preview.tones[i])];
        }
        EXPECT_EQ(tones, c.tones);
        EXPECT_EQ(preview.cellWidth, c.cellWidth) << c.tones;
    }
}

}  // namespace
}  // namespace rastelle
