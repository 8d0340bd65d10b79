#pragma once

// Text, after the layout: takes the laid-out bytes of a picture, its cells or its tiles and
// gives the text a user pastes: labels, header, literals in a syntax and radix, maps, symbols.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/AssemblerSyntax.h"
#include "common/ConversionSettings.h"
#include "image/PixelSource.h"
#include "layout/TileSet.h"
#include "text/RowEncoder.h"

namespace rastelle {

struct PictureReport {
    bool written = true;      // false when the sink refused the text
    bool wroteImage = false;  // at least one image's text went out
    std::int64_t skippedCells = 0;
    bool sawTransparent = false;  // with a mask: some pixel was transparent
    // With a tile set: the map's cells and whether its entries took words; or why no map
    // could be written.
    std::int64_t mapCells = 0;
    bool mapWords = false;
    std::string refusal;
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
// With `tiles` (cells and the settings' unique), only a cell the set does not hold yet is
// written, labelled by the set's name and its tile number, and after the cells the map
// NAME_map (and NAME_attr with mirrored tiles); the set goes on across calls, as across the
// frames of a picture.
PictureReport WritePicture(const PixelSource& source, const ConversionSettings& settings,
                           const AssemblerSyntax& syntax, std::string_view name, TextSink& sink,
                           bool separate, TileSet* tiles = nullptr);

}  // namespace rastelle
