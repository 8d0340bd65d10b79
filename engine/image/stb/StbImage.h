#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "common/DecodeError.h"
#include "image/PixelSource.h"

namespace rastelle {

namespace stb {
class GifFrames;
}

// An image decoded by stb_image (PNG, GIF, TGA, PSD), held as colours with their
// opacity; ColourAt and ReadRow give them composited over white. Animated GIFs are decoded
// one frame at a time.
class StbImage final : public PixelSource {
  public:
    // Checks the dimensions in the header against the caps, then decodes the first frame.
    static Decoded<std::unique_ptr<StbImage>> Decode(std::vector<std::uint8_t> file);

    StbImage(const StbImage&) = delete;
    StbImage& operator=(const StbImage&) = delete;
    ~StbImage() override;

    std::int32_t Width() const override { return width_; }
    std::int32_t Height() const override { return height_; }
    Colour ColourAt(std::int32_t x, std::int32_t y) const override;
    void ReadRow(std::int32_t y, std::span<Colour> row) const override;
    void ReadRowWithAlpha(std::int32_t y, std::span<Colour> row) const override;

    std::int32_t FrameCount() const { return frameCount_; }
    std::int32_t SelectedFrame() const { return selected_; }
    // Frames in ascending order are decoded once each; going back starts from the first.
    DecodeError SelectFrame(std::int32_t index);

  private:
    StbImage() = default;
    // `components` samples a pixel: grey, grey and alpha, RGB or RGBA.
    void ShowCanvas(const std::uint8_t* samples, int components);

    // Samples as the library gives them to what our colour rules make of them, for the
    // narrow samples it widens otherwise; empty when they are the same.
    std::vector<std::uint8_t> sampleScale_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::vector<Colour> pixels_;
    std::int32_t frameCount_ = 1;
    std::int32_t selected_ = 0;
    std::int32_t framesDrawn_ = 0;         // by gif_ since it started
    std::unique_ptr<stb::GifFrames> gif_;  // animated GIFs only
};

// Refuses an image of the size a header gives that would be decoded whole beyond the caps.
DecodeError CheckDecodedSize(std::int64_t width, std::int64_t height);

}  // namespace rastelle
