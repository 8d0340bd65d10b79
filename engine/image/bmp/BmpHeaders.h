#pragma once

#include <cstdint>
#include <span>

#include "common/DecodeError.h"

namespace rastelle {

// The headers as stored, one struct per layout; ParseHeaders turns them into a BmpLayout.

struct FileHeader {  // BITMAPFILEHEADER, 14 bytes
    std::uint32_t fileSize = 0;
    std::uint32_t pixelOffset = 0;
};

struct CoreHeader {  // BITMAPCOREHEADER (OS/2 1.x), 12 bytes
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
};

struct Os2Header {  // OS/2 2.x BITMAPINFOHEADER2, 16 to 64 bytes; missing fields are zero
    std::uint32_t size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
};

struct InfoHeader {  // BITMAPINFOHEADER (40) and its 52, 56, 108 and 124 byte forms
    std::uint32_t size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t imageSize = 0;
    std::uint32_t colorsUsed = 0;
    // In the header from 52 bytes on; after a 40-byte header for BITFIELDS.
    std::uint32_t redMask = 0;
    std::uint32_t greenMask = 0;
    std::uint32_t blueMask = 0;
};

enum class HeaderVersion { Core, Os2, Info, InfoV2, InfoV3, InfoV4, InfoV5 };

enum class PixelEncoding {
    Indexed,  // 1, 2, 4 or 8 bits into the palette
    Rle8,
    Rle4,
    Bgr24,
    Masked,  // 16 or 32 bits split by the three masks
};

// Everything the pixel decoder needs, whichever header the file had.
struct BmpLayout {
    HeaderVersion version = HeaderVersion::Info;
    std::int32_t width = 0;
    std::int32_t height = 0;  // rows, never negative
    bool topDown = false;
    std::uint16_t bitCount = 0;
    PixelEncoding encoding = PixelEncoding::Indexed;
    std::uint32_t redMask = 0;
    std::uint32_t greenMask = 0;
    std::uint32_t blueMask = 0;
    std::uint64_t paletteOffset = 0;
    std::uint32_t paletteCount = 0;      // entries present in the file
    std::uint32_t paletteEntrySize = 4;  // 3 for the OS/2 1.x header
    std::uint64_t pixelOffset = 0;
    std::uint64_t stride = 0;      // bytes per stored row, uncompressed only
    std::uint64_t pixelBytes = 0;  // bytes from pixelOffset the decoder may read
};

// Reads and checks the headers, palette placement and pixel data extent of a whole file.
Decoded<BmpLayout> ParseHeaders(std::span<const std::uint8_t> file);

// The bits of `mask` must form one run (or be zero).
bool IsContiguousMask(std::uint32_t mask);

}  // namespace rastelle
