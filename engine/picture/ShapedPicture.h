#pragma once

// Picture, after the image: takes a PixelSource and gives it shaped (resized, turned, flipped,
// cropped, trimmed), then the digit stage (picture/DigitStage.h) makes each pixel a digit by
// tone, threshold or dithering, invert and mask.

#include <optional>
#include <string>

#include "common/ConversionSettings.h"
#include "image/PixelSource.h"
#include "picture/GeometryStage.h"
#include "picture/TrimStage.h"

namespace rastelle {

// The stages between an image and its text: the geometry, then the trim after the digits,
// each only when asked for. The command line and the window both convert through it.
class ShapedPicture {
  public:
    // `source` must outlive this; the trim decides every digit here.
    ShapedPicture(const PixelSource& source, const GeometrySettings& geometry, bool trim,
                  const ConversionSettings& settings);
    ShapedPicture(const ShapedPicture&) = delete;
    ShapedPicture& operator=(const ShapedPicture&) = delete;

    // Why the picture can't be made (a crop outside the image, a cap), or empty.
    const std::string& Error() const { return error_; }
    // What the encoder reads, with the settings that make its digits.
    const PixelSource& Picture() const { return *picture_; }
    const ConversionSettings& Settings() const {
        return trimmed_ ? trimmed_->Settings() : settings_;
    }
    // With trim: what was kept, as "10 x 1 pixels from 0,1 of 10 x 2"; else empty.
    std::string TrimmedText() const;

  private:
    ConversionSettings settings_;
    std::optional<GeometryStage> shaped_;
    std::optional<TrimStage> trimmed_;
    const PixelSource* untrimmed_ = nullptr;
    const PixelSource* picture_ = nullptr;
    std::string error_;
};

}  // namespace rastelle
