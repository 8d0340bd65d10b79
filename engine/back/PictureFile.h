#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/ConversionSettings.h"
#include "text/RowEncoder.h"

namespace rastelle {

// PNG holds the whole picture until it ends (the library deflates it in one go); PBM goes
// out row by row.
enum class PictureFormat { Png, Pbm };

// Writes rows of digits as a picture: 1 black and 0 white (the other way round when the
// settings invert). With a mask, a transparent pixel is fully transparent in a PNG, or the
// key colour when the mask came from one; PBM has no transparency.
class PictureFile {
  public:
    PictureFile(PictureFormat format, std::int32_t width, std::int32_t height,
                const ConversionSettings& settings, TextSink& sink);

    // Row y's digits, rows in order from 0, with its mask digits when they come beside.
    void SetRow(std::int32_t y, std::span<const std::uint8_t> digits,
                std::span<const std::uint8_t> mask = {});
    // The mask of row y, when it comes as an image of its own after the picture.
    void SetMaskRow(std::int32_t y, std::span<const std::uint8_t> mask);
    // Hands over the rest; false when the sink refused something or memory ran out.
    bool Finish();

  private:
    std::uint8_t* PixelRow(std::int32_t y);  // PNG: row y's samples
    void HandOver();

    PictureFormat format_;
    std::int32_t width_;
    std::int32_t height_;
    ConversionSettings settings_;
    TextSink& sink_;
    bool ok_ = true;
    int components_ = 1;
    std::vector<std::uint8_t> pixels_;  // PNG: the whole picture
    std::string pending_;               // PBM: rows not yet handed over
};

}  // namespace rastelle
