#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/ConversionSettings.h"
#include "image/PixelSource.h"

namespace rastelle {

// How --resize WxH fills its box: the whole picture inside, centred on transparent padding
// (contain); the box filled and the overflow cut evenly (cover); or both sides as given.
enum class Fit : std::int32_t { Contain, Cover, Stretch };
enum class Flip : std::int32_t { None, Horizontal, Vertical, Both };

// What the geometry stage does to the image before the digits, in this order: crop, resize
// or scale, rotate, flip.
struct GeometrySettings {
    bool crop = false;
    std::int32_t cropX = 0;
    std::int32_t cropY = 0;
    std::int32_t cropWidth = 0;
    std::int32_t cropHeight = 0;
    // 0 for a side: kept in proportion to the other; both 0: no resize.
    std::int32_t resizeWidth = 0;
    std::int32_t resizeHeight = 0;
    Fit fit = Fit::Contain;
    std::int32_t scale = 1;   // each pixel scale x scale
    std::int32_t rotate = 0;  // clockwise: 0, 90, 180 or 270
    Flip flip = Flip::None;

    bool Changes() const {
        return crop || resizeWidth > 0 || resizeHeight > 0 || scale > 1 || rotate != 0 ||
               flip != Flip::None;
    }
};

// The image as the geometry settings make it, one row at a time: a row is worked out from
// the source rows it covers when asked for, so it holds those rows' sums and nothing of the
// rest, except that a rotation by 90 or 270 degrees keeps the resized picture whole.
// Downscaling and --resize enlargements average areas: each pixel is the mean of the source
// area it covers, each source pixel weighted by the part of it that is covered, colours
// premultiplied by their opacity.
class GeometryStage final : public AlphaRowSource {
  public:
    // Checks the settings against `source` (which must outlive the stage); on a refusal,
    // Error() says why and the stage is an empty image.
    GeometryStage(const PixelSource& source, const GeometrySettings& settings);

    const std::string& Error() const { return error_; }

    std::int32_t Width() const override { return width_; }
    std::int32_t Height() const override { return height_; }
    void ReadRowWithAlpha(std::int32_t y, std::span<Colour> row) const override;

  private:
    // One output pixel's share of a source pixel along one side.
    struct Span {
        std::int32_t first = 0;  // source index of the first pixel covered
        std::int32_t count = 0;
        std::uint32_t firstWeight = 0;
        std::uint32_t fullWeight = 0;
        std::uint32_t lastWeight = 0;
    };
    static std::vector<Span> Spans(std::int32_t source, std::int64_t scaled, std::int64_t offset,
                                   std::int32_t count);
    // Row y of the picture after crop and resize, before rotation and flip.
    void ResizedRow(std::int32_t y, std::span<Colour> row) const;
    void SumSourceRow(std::int32_t y) const;

    const PixelSource& source_;
    GeometrySettings settings_;
    std::string error_;
    std::int32_t width_ = 0;  // the result
    std::int32_t height_ = 0;
    std::int32_t resizedWidth_ = 0;  // after crop and resize
    std::int32_t resizedHeight_ = 0;
    // Where the resampled picture sits in the resized one (contain pads around it).
    std::int32_t left_ = 0;
    std::int32_t top_ = 0;
    std::int32_t innerWidth_ = 0;
    std::int32_t innerHeight_ = 0;
    bool averaging_ = false;  // else each resized pixel is one source pixel (or no resize)
    std::vector<Span> columns_;
    std::vector<Span> rows_;
    std::uint64_t totalWeight_ = 1;

    mutable std::vector<Colour> sourceRow_;
    // The weighted sums along a source row: premultiplied red, green, blue and opacity.
    mutable std::vector<std::uint64_t> rowSums_;
    mutable std::int32_t summedRow_ = -1;
    mutable std::vector<std::uint64_t> areaSums_;
    mutable std::vector<Colour> whole_;  // for 90 and 270 degrees
};

}  // namespace rastelle
