#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/DecodeError.h"
#include "image/PixelSource.h"
#include "image/bmp/BmpDecoder.h"
#include "image/bmp/BmpHeaders.h"

namespace rastelle {

// A decoded BMP. Uncompressed images keep the file and decode rows from it on demand;
// RLE images keep their expanded indices instead.
class BmpImage final : public PixelSource {
  public:
    std::int32_t Width() const override { return layout_.width; }
    std::int32_t Height() const override { return layout_.height; }
    Colour ColourAt(std::int32_t x, std::int32_t y) const override;
    void ReadRow(std::int32_t y, std::span<Colour> row) const override;
    // Every pixel is opaque: alpha in the file is ignored.
    void ReadRowWithAlpha(std::int32_t y, std::span<Colour> row) const override;

    const BmpLayout& Layout() const { return layout_; }

  private:
    friend Decoded<BmpImage> DecodeBmp(std::vector<std::uint8_t> fileBytes);
    BmpImage(std::vector<std::uint8_t> file, const BmpLayout& layout);

    bool IsRle() const {
        return layout_.encoding == PixelEncoding::Rle8 || layout_.encoding == PixelEncoding::Rle4;
    }
    const std::uint8_t* StoredRow(std::int32_t y) const;
    void Read(std::int32_t y, std::span<Colour> row, Colour opacity) const;

    std::vector<std::uint8_t> file_;
    BmpLayout layout_;
    RowDecoder decoder_;
    RleCanvas rle_;
};

// Checks and decodes a whole BMP file held in memory.
Decoded<BmpImage> DecodeBmp(std::vector<std::uint8_t> fileBytes);

}  // namespace rastelle
