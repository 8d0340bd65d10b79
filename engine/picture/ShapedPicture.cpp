#include "picture/ShapedPicture.h"

namespace rastelle {

ShapedPicture::ShapedPicture(const PixelSource& source, const GeometrySettings& geometry, bool trim,
                             const ConversionSettings& settings)
    : settings_(settings), untrimmed_(&source), picture_(&source) {
    if (geometry.Changes()) {
        shaped_.emplace(source, geometry);
        error_ = shaped_->Error();
        untrimmed_ = picture_ = &*shaped_;
    }
    if (trim && error_.empty()) {
        trimmed_.emplace(*picture_, settings);
        error_ = trimmed_->Error();
        picture_ = &*trimmed_;
    }
}

std::string ShapedPicture::TrimmedText() const {
    if (!trimmed_) {
        return {};
    }
    return std::to_string(trimmed_->Width()) + " x " + std::to_string(trimmed_->Height()) +
           " pixels from " + std::to_string(trimmed_->Left()) + "," +
           std::to_string(trimmed_->Top()) + " of " + std::to_string(untrimmed_->Width()) + " x " +
           std::to_string(untrimmed_->Height());
}

}  // namespace rastelle
