#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ConversionSettings.h"
#include "PixelSource.h"

namespace rastelle {

// Builds the assembler text of one image: a header line "\t.db W,H", then one
// "\t.db %bbbbbbbb,%..." line per pixel row, then a final line end. The text grows in
// place and can be read between any two calls.
class RowEncoder {
  public:
    // Empties the text and writes the header line. A width in bytes needs whole bytes, so
    // without fill the width is always given in bits.
    void Begin(std::int32_t width, std::int32_t height, const ConversionSettings& settings);
    // Appends row y of `source`; rows are expected top to bottom.
    void AppendRow(const PixelSource& source, std::int32_t y);
    // Appends the final line end.
    void Finish();

    const std::string& Text() const { return text_; }
    // Hands the finished text over, leaving the encoder empty.
    std::string TakeText() { return std::move(text_); }

    // Length of the complete text for an image, without building it (exact with the width
    // in bits, at most a few bytes over with bytes); used to refuse images whose text would
    // not fit in memory before any work is done.
    static std::uint64_t TextSize(std::int64_t width, std::int64_t height, FillMode fill);

  private:
    std::string text_;
    std::vector<Colour> row_;
    std::int32_t width_ = 0;
    std::int32_t lead_ = 0;
    std::int32_t tail_ = 0;
    char fillDigit_ = '0';
    std::uint32_t limit_ = 0;  // three times the threshold
};

// The whole text of an image in one call.
std::string EncodeImage(const PixelSource& source, const ConversionSettings& settings);

}  // namespace rastelle
