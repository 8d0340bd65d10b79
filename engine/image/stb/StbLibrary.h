#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/DecodeError.h"

// The one place that talks to stb_image: 8-bit samples out, the library's reasons in, and
// the files on which it would go out of bounds refused before it reads them.
namespace rastelle::stb {

struct Info {
    std::string_view format;  // "PNG", "GIF", ...; TGA has no signature and is the rest
    std::int64_t width = 0;
    std::int64_t height = 0;
    DecodeError error;  // none of the library's formats, or one it must not read
};

// The dimensions from the header, without decoding anything.
Info ReadInfo(std::span<const std::uint8_t> file);

// What decoding a PNG costs the library at its peak, from the header: the inflated rows and
// the image made from them, each twice as large for 16-bit samples, or the 8-bit copy of
// that image; 0 for other formats. A 16-bit image reaches the cap for all decoding well
// before the pixel cap.
std::uint64_t PngDecodingBytes(std::span<const std::uint8_t> file);

// Samples the library allocated: width x height x components.
class Samples {
  public:
    Samples() = default;
    explicit Samples(std::uint8_t* pixels) : pixels_(pixels) {}
    Samples(Samples&& other) noexcept : pixels_(std::exchange(other.pixels_, nullptr)) {}
    Samples& operator=(Samples&& other) noexcept {
        std::swap(pixels_, other.pixels_);
        return *this;
    }
    ~Samples();
    const std::uint8_t* Data() const { return pixels_; }

  private:
    std::uint8_t* pixels_ = nullptr;
};

struct Still {
    Samples pixels;      // null on failure
    int components = 0;  // grey, grey and alpha, RGB or RGBA
    std::int64_t width = 0;
    std::int64_t height = 0;
    DecodeError error;
};

// Decodes a whole still image in its own components (the library's conversion between them
// overruns its buffer for 16-bit PNM); 16-bit samples keep their top 8 bits, narrower grey
// PNG ones are scaled by bit replication.
// `pixels`, from the header, bounds the memory the decoding may take.
Still DecodeStill(std::span<const std::uint8_t> file, std::uint64_t pixels);

// Frames of a GIF one after another, each composed on the canvas as a viewer shows it.
// Holds one canvas and the one before the latest frame, whatever the number of frames.
class GifFrames {
  public:
    GifFrames(std::vector<std::uint8_t> file, std::uint64_t pixels);
    GifFrames(const GifFrames&) = delete;
    GifFrames& operator=(const GifFrames&) = delete;
    ~GifFrames();

    // Disposes of the frame shown and draws the next one; the reason when there is none.
    DecodeError Next();
    // Back to before the first frame.
    void Restart();
    // The canvas after the latest frame: width x height x (R, G, B, A).
    const std::uint8_t* Canvas() const;
    std::int64_t Width() const;
    std::int64_t Height() const;

  private:
    struct State;
    std::vector<std::uint8_t> file_;
    std::uint64_t pixels_ = 0;
    std::unique_ptr<State> state_;
};

}  // namespace rastelle::stb
