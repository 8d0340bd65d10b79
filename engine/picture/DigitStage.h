#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "common/ConversionSettings.h"
#include "image/PixelSource.h"

namespace rastelle {

// Decides the digit of every pixel, one row at a time: each pixel's colour is seen against
// the background (its tone), the tone becomes 1 (dark) or 0 (light) by the threshold or by
// dithering around it, then the digit is complemented when inverting. Rows come top to
// bottom, so what is carried from row to row stays bounded by a row or two. With a mask,
// each row also gets one mask digit per pixel, and a transparent pixel's digit is 0 so that
// OR or XOR drawing leaves the background alone.
class DigitStage {
  public:
    // Dithering works on a darkness from 0 (white) to kFullDark (black) for each tone;
    // a power of two that 32 divides, so that error shares stay exact at the extremes.
    static constexpr std::int32_t kFullDark = 1 << 16;

    DigitStage() = default;

    // Starts an image `width` pixels wide.
    void Begin(std::int32_t width, const ConversionSettings& settings);
    // The digits of row y of `source`, one per pixel (0 or 1), left to right; rows are
    // expected in order from 0. The span stays valid until the next call.
    std::span<const std::uint8_t> Row(const PixelSource& source, std::int32_t y);
    // The mask digits of the row Row gave last (1 where the mask bit is set); empty without
    // a mask.
    std::span<const std::uint8_t> Mask() const { return mask_; }
    // Whether a row's digits depend on the rows before it (error diffusion): if not, rows
    // may be asked for in any order and skipped.
    bool CarriesBetweenRows() const { return diffusing_; }
    // Whether any pixel since Begin was transparent.
    bool SawTransparent() const { return sawTransparent_; }

  private:
    void ApplyMask();
    bool DecideOpaque(std::int32_t y);
    void ReadTones(const PixelSource& source, std::int32_t y);
    void DiffuseFloydSteinberg();
    void DiffuseAtkinson();

    ConversionSettings settings_;
    bool diffusing_ = false;
    std::vector<Colour> colours_;
    std::vector<std::uint16_t> tones_;  // R + G + B over the background, 0 to 765
    std::vector<std::uint8_t> digits_;
    std::vector<std::uint8_t> mask_;
    bool sawTransparent_ = false;
    // Without diffusion: a tone is 1 below the limit of its place in the 8 x 8 pattern
    // (every place the same when not dithering).
    std::array<std::array<std::int32_t, 8>, 8> limits_{};
    // With diffusion: each tone's darkness, and the least darkness plus error that is 1.
    struct Level {
        std::int32_t darkness;
        std::int32_t least;
    };
    std::vector<Level> levels_;
    // Error carried to the rows below, one entry per pixel and a margin either side.
    std::array<std::vector<std::int32_t>, 3> errors_;
};

}  // namespace rastelle
