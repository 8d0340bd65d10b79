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
// from row to row stays bounded by a row or two. With a mask, each row also gets one mask
// digit per pixel, and a transparent pixel's digit is 0 so that OR or XOR drawing leaves the
// background alone.
class DigitStage {
  public:
    DigitStage() = default;

    // Starts an image `width` pixels wide.
    void Begin(std::int32_t width, const ConversionSettings& settings);
    // The digits of row y of `source`, one per pixel (0 or 1), left to right; rows are
    // expected in order from 0. The span stays valid until the next call.
    std::span<const std::uint8_t> Row(const PixelSource& source, std::int32_t y);
    // The mask digits of the row Row gave last (1 where the mask bit is set); empty without
    // a mask.
    std::span<const std::uint8_t> Mask() const { return mask_; }
    // Whether any pixel since Begin was transparent.
    bool SawTransparent() const { return sawTransparent_; }

  private:
    void ApplyMask();

    ConversionSettings settings_;
    std::vector<Colour> colours_;
    std::vector<std::uint8_t> digits_;
    std::vector<std::uint8_t> mask_;
    bool sawTransparent_ = false;
};

}  // namespace rastelle
