#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/ConversionSettings.h"

namespace rastelle {

// An image to convert: top-left origin, whatever the row order of the file it came from.
class PixelSource {
  public:
    virtual ~PixelSource() = default;

    virtual std::int32_t Width() const = 0;
    virtual std::int32_t Height() const = 0;
    virtual Colour ColourAt(std::int32_t x, std::int32_t y) const = 0;

    // Row y, left to right, into `row` (at least Width() entries). Sources override this
    // when they can do better than one virtual call per pixel.
    virtual void ReadRow(std::int32_t y, std::span<Colour> row) const {
        const std::int32_t width = Width();
        for (std::int32_t x = 0; x < width; ++x) {
            row[static_cast<std::size_t>(x)] = ColourAt(x, y);
        }
    }

    // Row y with each pixel's own colour and its opacity in bits 24-31, not yet seen against
    // any background. Sources without transparency give their colours, all opaque.
    virtual void ReadRowWithAlpha(std::int32_t y, std::span<Colour> row) const {
        ReadRow(y, row);
        for (Colour& colour : row.first(static_cast<std::size_t>(Width()))) {
            colour |= kOpaque;
        }
    }
};

// A stage that makes each row with its opacity: its plain rows are those rows seen over white,
// and a single pixel is read through its row.
class AlphaRowSource : public PixelSource {
  public:
    void ReadRowWithAlpha(std::int32_t y, std::span<Colour> row) const override = 0;

    void ReadRow(std::int32_t y, std::span<Colour> row) const override {
        ReadRowWithAlpha(y, row);
        for (Colour& colour : row.first(static_cast<std::size_t>(Width()))) {
            colour = ShownOver(colour, Background::White);
        }
    }
    Colour ColourAt(std::int32_t x, std::int32_t y) const override {
        std::vector<Colour> row(static_cast<std::size_t>(Width()));
        ReadRow(y, row);
        return row[static_cast<std::size_t>(x)];
    }
};

}  // namespace rastelle
