#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "ConversionSettings.h"
#include "PixelSource.h"

namespace rastelle {

// Decides the digit of every pixel, one row at a time: each pixel's colour is seen against
// the background (its tone), the tone becomes 1 (dark) or 0 (light) by the threshold, then
// the digit is complemented when inverting. Rows come top to bottom, so what is carried
// from row to row stays bounded by a row or two.
class DigitStage {
  public:
    DigitStage() = default;

    // Starts an image `width` pixels wide.
    void Begin(std::int32_t width, const ConversionSettings& settings);
    // The digits of row y of `source`, one per pixel (0 or 1), left to right; rows are
    // expected in order from 0. The span stays valid until the next call.
    std::span<const std::uint8_t> Row(const PixelSource& source, std::int32_t y);

  private:
    ConversionSettings settings_;
    std::vector<Colour> colours_;
    std::vector<std::uint8_t> digits_;
};

}  // namespace rastelle
