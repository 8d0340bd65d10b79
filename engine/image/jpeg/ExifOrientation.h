#pragma once

#include <cstdint>
#include <span>

#include "common/DecodeError.h"

namespace rastelle {

// How the stored pixels are turned to show the picture upright (EXIF tag 0x0112):
// 1 as stored, 2 mirrored left to right, 3 turned half round, 4 mirrored top to bottom,
// 5 mirrored along the main diagonal, 6 turned a quarter clockwise, 7 mirrored along the
// other diagonal, 8 turned a quarter anticlockwise.
using Orientation = int;

// The orientation in the first image directory of EXIF's TIFF data (an APP1 segment after
// its "Exif\0\0"); an error when the data breaks off or holds no valid one.
Decoded<Orientation> ReadExifOrientation(std::span<const std::uint8_t> tiff);

}  // namespace rastelle
