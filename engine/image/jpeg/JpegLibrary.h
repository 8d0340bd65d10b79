#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "common/DecodeError.h"

// The one place that talks to libjpeg: its errors and warnings come back as values, never as
// an exit of the process.
namespace rastelle::jpeg {

enum class ColourModel {
    Grey,
    Rgb,
    Cmyk,          // samples as stored: 0 is no ink
    InvertedCmyk,  // Adobe's form (an Adobe marker): 255 is no ink
};

struct Header {
    std::int64_t width = 0;
    std::int64_t height = 0;
    ColourModel model = ColourModel::Rgb;
    int samplesPerPixel = 3;  // in the rows ReadRows gives
};

// One decoding of a JPEG held in memory, which must outlive it.
class Decompressor {
  public:
    explicit Decompressor(std::span<const std::uint8_t> file);
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
    ~Decompressor();

    // The markers up to the first scan; nothing is decoded yet.
    Decoded<Header> ReadHeader();
    // The TIFF data of the first APP1 "Exif" segment (after ReadHeader), or nothing.
    std::span<const std::uint8_t> Exif() const;
    // Starts decoding; the library's large buffers (a progressive image's coefficients) may
    // take at most `memoryLimit` bytes. Returns how many rows ReadRows gives at most at once.
    Decoded<int> Start(std::uint64_t memoryLimit);
    // The next rows into `samples` (room for Start's count of rows of width x samples each):
    // how many were read.
    Decoded<int> ReadRows(std::span<std::uint8_t> samples);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace rastelle::jpeg
