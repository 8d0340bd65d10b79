#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/DecodeError.h"
#include "image/PixelSource.h"

namespace rastelle {

// Whether `file` starts like a PBM, PGM or PPM file (P1 to P6).
bool IsPnm(std::span<const std::uint8_t> file);

// A decoded PBM, PGM or PPM, binary or plain, held as opaque colours. Samples become 0-255:
// a maximum of 255 as they are, 65535 their high byte, 2^n - 1 below 255 by repeating
// their bits (as the other formats widen narrow samples), any other maximum M as
// round(v x 255 / M), halves up. PBM's 1 is black.
class PnmImage final : public PixelSource {
  public:
    // The first image of the file, checked against the caps before anything is allocated.
    static Decoded<PnmImage> Decode(std::span<const std::uint8_t> file);

    std::int32_t Width() const override { return width_; }
    std::int32_t Height() const override { return height_; }
    Colour ColourAt(std::int32_t x, std::int32_t y) const override;
    void ReadRow(std::int32_t y, std::span<Colour> row) const override;

  private:
    PnmImage() = default;

    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::vector<Colour> pixels_;  // rows top first
};

}  // namespace rastelle
