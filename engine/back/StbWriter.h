#pragma once

#include <cstdint>

#include "text/RowEncoder.h"

namespace rastelle::stb {

// Writes 8-bit pixels of `components` samples each (grey, grey and alpha, or RGB), rows top
// first, as a PNG file into `sink`; false when the library runs out of memory or the sink
// refuses its bytes. The library builds the whole file in memory before handing it over.
bool WritePng(std::int32_t width, std::int32_t height, int components, const std::uint8_t* pixels,
              TextSink& sink);

}  // namespace rastelle::stb
