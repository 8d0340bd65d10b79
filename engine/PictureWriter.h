#pragma once

#include <cstdint>
#include <string_view>

#include "AssemblerSyntax.h"
#include "ConversionSettings.h"
#include "PixelSource.h"
#include "RowEncoder.h"

namespace rastelle {

struct PictureReport {
    bool written = true;      // false when the sink refused the text
    bool wroteImage = false;  // at least one image's text went out
    std::int64_t skippedCells = 0;
    bool sawTransparent = false;  // with a mask: some pixel was transparent
};

// Writes one picture as the settings lay it out: the whole picture, or each of its cells
// (whole cells only; a remainder is left out), each followed by its mask when the mask is a
// block of its own. Labels: `name` for the picture, NAME_K for cell K, and NAME_mask or
// NAME_K_mask for masks (no label when `name` is empty). An empty line goes before each
// image, and before the first one too when `separate`. With symbols, the cells are followed
// by their count and the table of their addresses.
// Cells are cut from one band of cell rows at a time (from the whole picture, kept at one bit
// a pixel, when cells go down the columns); the plain picture streams row by row, and a block
// mask reads the source a second time.
PictureReport WritePicture(const PixelSource& source, const ConversionSettings& settings,
                           const AssemblerSyntax& syntax, std::string_view name, TextSink& sink,
                           bool separate);

}  // namespace rastelle
