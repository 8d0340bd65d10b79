#pragma once

// Layout, after the picture: takes rows of digits and gives lines of bytes in the order the
// target reads them (rows, pages, strips, bit order, fill); cells and tiles are cut here too.

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "common/ConversionSettings.h"

namespace rastelle {

// One text line of literals: literal i is the number values[i] written in digits[i] binary
// digits (1 to 8; fewer than 8 only for a short last byte without fill).
struct LiteralLine {
    std::span<const std::uint8_t> values;
    std::span<const std::uint8_t> digits;
};

// What an image's bytes hold: the picture, the picture with each mask byte beside its picture
// byte, or the mask as an image of its own.
enum class LayoutContent { Picture, PictureWithMask, Mask };

// Turns rows of digits into the bytes the hardware reads: 8 pixels of a row per byte (one line
// per row, completed with fill digits) or 8 rows of a column per byte (one line per page of 8
// rows), the first pixel in bit 7 or bit 0; or as rows, but a line per strip of 8 pixels wide.
// Holds at most one page of rows, but strips the whole image's bytes.
class Layout {
  public:
    // Starts an image `width` x `height` pixels big. Fill digits count as transparent in the
    // mask.
    void Begin(std::int32_t width, std::int32_t height, const ConversionSettings& settings,
               LayoutContent content);
    // Takes the next row's digits (and its mask digits with PictureWithMask), top row first;
    // true when a line is complete: read it with Line() before the next call.
    bool AddRow(std::span<const std::uint8_t> picture, std::span<const std::uint8_t> mask = {});
    // After the last row: true while a line remains (a last page, completed as the fill
    // says, or each strip in turn): read it with Line() before the next call.
    bool Finish();
    LiteralLine Line() const;

    // One image as the layout completes it: its size with the fill digits (across for rows,
    // down for pages) and where its pixels start inside.
    struct LaidOutImage {
        std::int64_t width;
        std::int64_t height;
        std::int64_t left;
        std::int64_t top;
    };
    static LaidOutImage LaidOut(std::int64_t width, std::int64_t height,
                                const ConversionSettings& settings);
    // Whether a byte's first pixel (leftmost in rows, topmost in pages) is its bit 7.
    static bool FirstPixelInBit7(const ConversionSettings& settings);
    // The numbers of the header line: digits or bytes per row and rows for the rows layout;
    // pixels and rows (completed to whole pages with fill) for pages.
    static std::pair<std::int64_t, std::int64_t> HeaderSize(std::int64_t width, std::int64_t height,
                                                            const ConversionSettings& settings);

  private:
    // One kind of digit (picture or mask) laid out into bytes.
    struct Plane {
        std::uint8_t fill = 0;
        std::vector<std::uint8_t> padded;  // rows: one row with its fill digits in place
        std::vector<std::uint8_t> values;  // the bytes of the line in hand
        std::vector<std::uint8_t> strips;  // strips: every row's bytes, row after row
    };
    void PackRow(Plane& plane, std::span<const std::uint8_t> digits) const;
    void AddToPage(Plane& plane, std::span<const std::uint8_t> digits, std::int32_t row) const;
    void FillPage(Plane& plane, std::int32_t from, std::int32_t to) const;
    void Combine(std::uint8_t pageDigits);
    bool NextStrip();

    ByteLayout layout_ = ByteLayout::Rows;
    bool firstInBit7_ = true;
    bool filled_ = true;
    std::int32_t width_ = 0;
    std::int32_t lead_ = 0;       // fill digits before the pixels (rows) or rows above (pages)
    std::int32_t rowInPage_ = 0;  // pages: rows of the page in hand so far
    bool pageStarted_ = false;    // pages: the page in hand holds digits
    std::int32_t rows_ = 0;       // strips: rows taken
    std::int32_t stripRows_ = 0;  // strips: rows of the image
    std::size_t rowBytes_ = 0;    // strips: bytes of a row
    std::size_t nextStrip_ = 0;   // strips: the next strip Finish gives
    std::int32_t rowBits_ = 0;    // strips: digits of a row with its fill
    MaskLayout maskLayout_ = MaskLayout::Before;
    std::vector<Plane> planes_;             // the picture or the mask, or both
    std::vector<std::uint8_t> lineValues_;  // both planes' bytes, interleaved
    std::vector<std::uint8_t> lineDigits_;
};

}  // namespace rastelle
