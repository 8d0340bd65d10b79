#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/ConversionSettings.h"
#include "layout/Layout.h"

namespace rastelle {

// The way back through Layout: the bytes of a text's lines become rows of digits again, fill
// digits dropped as the settings place them. Holds one line's rows: one row, or a page of 8;
// strips, the whole image, whose rows come with the last strip.
class LayoutReader {
  public:
    // Starts an image of `width` x `height` pixels laid out as the settings say.
    void Begin(std::int32_t width, std::int32_t height, const ConversionSettings& settings,
               LayoutContent content);
    // Numbers in each line, lines in the image, and lines taken so far.
    std::size_t LineValues() const { return lineValues_; }
    std::int64_t Lines() const { return lines_; }
    std::int64_t LinesRead() const { return linesRead_; }

    // Takes the next line's bytes; empty, or what was expected instead. Then the line's rows
    // are RowCount() rows from picture row FirstRow() on.
    std::string AddLine(std::span<const std::uint8_t> values);
    std::int32_t FirstRow() const { return firstRow_; }
    std::int32_t RowCount() const { return rowCount_; }
    // Row i of the line: the picture's digits, and the mask's (empty without one).
    std::span<const std::uint8_t> Picture(std::int32_t i) const { return Row(0, i); }
    std::span<const std::uint8_t> Mask(std::int32_t i) const;

  private:
    std::span<const std::uint8_t> Row(std::size_t plane, std::int32_t i) const;
    std::string AddStrip(std::span<const std::uint8_t> values);
    // The j-th byte of `plane` in the line.
    std::uint8_t ValueOf(std::span<const std::uint8_t> values, std::size_t plane,
                         std::size_t j) const;

    ByteLayout layout_ = ByteLayout::Rows;
    bool firstInBit7_ = true;
    bool maskFirst_ = true;
    std::size_t planes_ = 1;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::int64_t laidOut_ = 0;  // digits per row (rows) or rows with fill (pages)
    std::int32_t lead_ = 0;     // fill digits before the pixels (rows) or rows above (pages)
    std::size_t lineValues_ = 0;
    std::int64_t lines_ = 0;
    std::int64_t linesRead_ = 0;
    std::int32_t firstRow_ = 0;
    std::int32_t rowCount_ = 0;
    std::size_t firstBandRow_ = 0;
    std::size_t bandStride_ = 0;
    std::vector<std::uint8_t> band_[2];  // per plane: one padded row, or 8 rows of a page
};

}  // namespace rastelle
