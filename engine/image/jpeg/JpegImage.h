#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "common/DecodeError.h"
#include "image/PixelSource.h"

namespace rastelle {

// A JPEG decoded by libjpeg-turbo and held as colours, turned upright as its EXIF
// orientation says. Grey, colour (any chroma subsampling, baseline or progressive) and
// CMYK; CMYK is shown as djpeg shows it.
class JpegImage final : public PixelSource {
  public:
    // Checks the dimensions in the header against the caps, then decodes.
    static Decoded<std::unique_ptr<JpegImage>> Decode(std::span<const std::uint8_t> file);
    // Width x height from the header alone, 0 when it can't be read.
    static std::int64_t HeaderPixels(std::span<const std::uint8_t> file);

    std::int32_t Width() const override { return width_; }
    std::int32_t Height() const override { return height_; }
    Colour ColourAt(std::int32_t x, std::int32_t y) const override;
    void ReadRow(std::int32_t y, std::span<Colour> row) const override;
    // One pass: the row copied with its opacity set, as every JPEG pixel is opaque.
    void ReadRowWithAlpha(std::int32_t y, std::span<Colour> row) const override;

  private:
    JpegImage() = default;

    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    // Every pixel is written before the image is handed out: no need to clear them first.
    std::unique_ptr<Colour[]> pixels_;
};

// A JPEG starts with a start-of-image marker and the next marker.
inline bool IsJpeg(std::span<const std::uint8_t> file) {
    return file.size() >= 3 && file[0] == 0xFF && file[1] == 0xD8 && file[2] == 0xFF;
}

}  // namespace rastelle
