#pragma once

#include <cstdint>

namespace rastelle::limits {

// Every cap the decoder enforces, checked before anything is allocated. They are generous
// enough for a 16384 x 16384 image in any supported format, and small enough that a
// hostile header cannot make the program ask for more memory than a 32-bit process has.

// The whole file is read into memory; a 16384 x 16384 32-bit image is just over 1 GiB.
constexpr std::uint64_t kMaxFileBytes = 1280ULL * 1024 * 1024;

// Neither side may exceed this; the encoder keeps one row of 32-bit colours.
constexpr std::int64_t kMaxSide = std::int64_t{1} << 24;

// The assembler text for the image (worst case: rows filled to whole bytes).
constexpr std::uint64_t kMaxTextBytes = 1024ULL * 1024 * 1024;

// RLE images are expanded up front: one byte per pixel plus one bit saying whether the
// stream defined it.
constexpr std::uint64_t kMaxDecodeBufferBytes = 320ULL * 1024 * 1024;

// PNG, GIF and the other library-decoded formats are expanded whole to 32-bit colours
// (256 MiB at this cap, e.g. 8192 x 8192); checked from the header before decoding.
constexpr std::uint64_t kMaxDecodedPixels = 64ULL * 1024 * 1024;

// What the library may hold at once while decoding (compressed data, rows, its output),
// so that a small file inflating to gigabytes is refused, not followed.
constexpr std::uint64_t kMaxLibraryBytes = 768ULL * 1024 * 1024;

}  // namespace rastelle::limits
