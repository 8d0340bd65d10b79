#include "preview/PicturePreview.h"

#include <algorithm>

#include "layout/Layout.h"
#include "picture/DigitStage.h"

namespace rastelle {

namespace {

std::int64_t Ceiling(std::int64_t a, std::int64_t b) {
    return (a + b - 1) / b;
}

}  // namespace

bool MakePicturePreview(const PixelSource& source, const ConversionSettings& settings,
                        std::int32_t maxWidth, std::int32_t maxHeight,
                        const std::function<bool()>& stop, PicturePreview& preview) {
    preview = {};
    const std::int32_t width = source.Width();
    const std::int32_t height = source.Height();
    const bool cells = settings.cellWidth > 0 && settings.cellHeight > 0;
    const std::int32_t imageWidth = cells ? std::min(settings.cellWidth, width) : width;
    const std::int32_t imageHeight = cells ? std::min(settings.cellHeight, height) : height;
    if (imageWidth <= 0 || imageHeight <= 0 || maxWidth <= 0 || maxHeight <= 0) {
        return true;
    }
    const std::int32_t columns = width / imageWidth;
    const std::int32_t cellRows = height / imageHeight;

    const Layout::LaidOutImage laid = Layout::LaidOut(imageWidth, imageHeight, settings);

    const std::int64_t allWidth = laid.width * columns;
    const std::int64_t allHeight = laid.height * cellRows;
    const std::int64_t step =
        std::max({std::int64_t{1}, Ceiling(allWidth, maxWidth), Ceiling(allHeight, maxHeight)});
    preview.step = static_cast<std::int32_t>(step);
    preview.width = static_cast<std::int32_t>(Ceiling(allWidth, step));
    preview.height = static_cast<std::int32_t>(Ceiling(allHeight, step));
    if (cells) {
        preview.cellWidth = static_cast<std::int32_t>(laid.width);
        preview.cellHeight = static_cast<std::int32_t>(laid.height);
    }
    preview.tones.assign(
        static_cast<std::size_t>(preview.width) * static_cast<std::size_t>(preview.height),
        settings.fill == FillMode::Ones ? PreviewTone::FillInk : PreviewTone::FillPaper);

    const auto transparentDigit =
        static_cast<std::uint8_t>(settings.maskBit == MaskBit::Transparent ? 1 : 0);
    DigitStage digits;
    digits.Begin(width, settings);
    for (std::int32_t y = 0; y < cellRows * imageHeight; ++y) {
        if (stop && stop()) {
            return false;
        }
        const std::int64_t laidY = (y / imageHeight) * laid.height + laid.top + y % imageHeight;
        if (laidY % step != 0 && !digits.CarriesBetweenRows()) {
            continue;
        }
        const std::span<const std::uint8_t> row = digits.Row(source, y);
        const std::span<const std::uint8_t> mask = digits.Mask();
        if (laidY % step != 0) {
            continue;
        }
        PreviewTone* const tones =
            preview.tones.data() +
            static_cast<std::size_t>(laidY / step) * static_cast<std::size_t>(preview.width);
        for (std::int32_t x = 0; x < columns * imageWidth; ++x) {
            const std::int64_t laidX = (x / imageWidth) * laid.width + laid.left + x % imageWidth;
            if (laidX % step != 0) {
                continue;
            }
            const auto at = static_cast<std::size_t>(x);
            tones[laidX / step] = !mask.empty() && mask[at] == transparentDigit
                                      ? PreviewTone::Transparent
                                  : row[at] != 0 ? PreviewTone::Ink
                                                 : PreviewTone::Paper;
        }
    }
    return true;
}

}  // namespace rastelle
