#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/ConversionSettings.h"
#include "image/PixelSource.h"

namespace rastelle {

// Cuts the rows and columns at the picture's edges whose digits are all 0, after the digits
// are decided (so after inverting and dithering, which the cut must not change). It decides
// every digit of the picture first and keeps them, a byte a pixel: the only stage that holds
// the whole picture. What it gives is a picture of those digits (black 1, white 0,
// transparent where the mask says so) that Settings() turns back into the same digits.
class TrimStage final : public AlphaRowSource {
  public:
    // `source` is read in the constructor only.
    TrimStage(const PixelSource& source, const ConversionSettings& settings);

    // Why nothing was kept (the picture is over the cap), or empty.
    const std::string& Error() const { return error_; }
    // Where the part kept was in the picture. A picture of 0s only keeps its top-left pixel.
    std::int32_t Left() const { return left_; }
    std::int32_t Top() const { return top_; }
    const ConversionSettings& Settings() const { return settings_; }

    std::int32_t Width() const override { return width_; }
    std::int32_t Height() const override { return height_; }
    void ReadRowWithAlpha(std::int32_t y, std::span<Colour> row) const override;

  private:
    std::string error_;
    ConversionSettings settings_;
    std::int32_t fullWidth_ = 0;
    std::int32_t left_ = 0;
    std::int32_t top_ = 0;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::vector<std::uint8_t> digits_;  // bit 0 the digit, bit 1 set when transparent
};

}  // namespace rastelle
