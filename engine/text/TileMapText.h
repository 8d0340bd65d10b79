#pragma once

#include <string_view>

#include "common/AssemblerSyntax.h"
#include "common/ConversionSettings.h"
#include "layout/TileSet.h"
#include "text/RowEncoder.h"

namespace rastelle {

// The map's entries (NAME_map) or their flips (NAME_attr, a byte each).
enum class MapTable { Entries, Flips };
// One table labelled `label`: a header of the columns and rows of cells, then a line per row
// of cells (per column, down the columns), spelt in the syntax, in decimal unless the
// settings ask for another radix.
bool WriteTileMap(const TileMap& map, const MapForm& form, MapTable table,
                  const ConversionSettings& settings, const AssemblerSyntax& syntax,
                  std::string_view label, TextSink& sink);

}  // namespace rastelle
