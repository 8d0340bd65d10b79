#pragma once

// Preview, beside the text: takes a picture as the conversion lays it out and gives what a
// window draws (tones of digits, fill and mask) or a terminal shows (a block drawing).

#include <cstdint>
#include <functional>
#include <vector>

#include "common/ConversionSettings.h"
#include "image/PixelSource.h"

namespace rastelle {

// What one pixel of a preview shows: a digit of the picture, a fill digit, or a pixel the mask
// calls transparent.
enum class PreviewTone : std::uint8_t { Paper, Ink, FillPaper, FillInk, Transparent };

// The picture as a conversion lays it out: the whole picture, or each whole cell side by side
// as in the picture, each completed with its fill digits (columns for rows, rows for pages).
// Of a picture bigger than the room given, every step-th pixel across and down.
struct PicturePreview {
    std::int32_t width = 0;  // tones across
    std::int32_t height = 0;
    std::int32_t step = 1;
    std::int32_t cellWidth = 0;  // a cell with its fill, in pixels of the layout; 0: no cells
    std::int32_t cellHeight = 0;
    std::vector<PreviewTone> tones;  // rows top first
};

// Decides the digits by the digit stage, as the conversion does (of every row when error
// diffusion carries from row to row, else of the rows kept), and keeps at most
// maxWidth x maxHeight tones. `stop` is asked before each row; when it says so the work ends
// and the result is false.
bool MakePicturePreview(const PixelSource& source, const ConversionSettings& settings,
                        std::int32_t maxWidth, std::int32_t maxHeight,
                        const std::function<bool()>& stop, PicturePreview& preview);

}  // namespace rastelle
