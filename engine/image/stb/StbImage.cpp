#include "image/stb/StbImage.h"

#include <algorithm>
#include <new>
#include <string>

#include "common/Limits.h"
#include "image/bmp/BmpDecoder.h"
#include "image/stb/StbLibrary.h"

namespace rastelle {

namespace {

struct GifScan {
    std::int32_t frames = 0;
    bool truncated = false;
};

// Walks a GIF's blocks without decoding them: how many complete frames it holds, and
// whether it ends inside one (the library would show that frame half drawn).
GifScan ScanGif(std::span<const std::uint8_t> file) {
    constexpr std::size_t kScreenDescriptorEnd = 13;
    GifScan scan;
    const auto tableBytes = [](std::uint8_t flags) {
        return (flags & 0x80) != 0 ? std::size_t{3} << ((flags & 7U) + 1) : 0;
    };
    const auto skipSubBlocks = [&file](std::size_t& at) {
        while (at < file.size()) {
            const std::size_t length = file[at];
            at += 1 + length;
            if (length == 0) {
                return true;
            }
        }
        return false;
    };
    if (file.size() < kScreenDescriptorEnd) {
        scan.truncated = true;
        return scan;
    }
    std::size_t at = kScreenDescriptorEnd + tableBytes(file[10]);
    while (at < file.size()) {
        const std::uint8_t tag = file[at++];
        bool complete = false;
        if (tag == 0x21) {  // extension: label, then sub-blocks
            ++at;
            complete = skipSubBlocks(at);
        } else if (tag == 0x2C) {  // image: descriptor, local table, code size, sub-blocks
            if (at + 9 <= file.size()) {
                at += 9 + tableBytes(file[at + 8]) + 1;
                complete = skipSubBlocks(at);
                scan.frames += complete ? 1 : 0;
            }
        } else {
            return scan;  // the trailer, or something the decoder refuses when it gets there
        }
        if (!complete) {
            scan.truncated = true;
            return scan;
        }
    }
    return scan;
}

DecodeError TooLarge(std::string message) {
    return MakeError(DecodeErrorKind::TooLarge, std::move(message));
}

// Tables from the samples the library gives to what the colour rules say, for the narrow
// ones it does not widen by repeating their bits; empty when it is right already.
using SampleTable = std::vector<std::uint8_t>;

// TGA with 15 or 16-bit colours (true colour, or in the colour map): the library widens
// 5 bits as v * 255 / 31, which is one off bit replication for some values.
SampleTable TgaScale(std::span<const std::uint8_t> file) {
    SampleTable scale;
    constexpr std::size_t kTgaHeader = 18;
    if (file.size() >= kTgaHeader) {
        const unsigned kind = file[2] & 7U;
        const unsigned bits = kind == 1 ? file[7] : kind == 2 ? file[16] : 0;
        if (bits == 15 || bits == 16) {
            scale.assign(256, 0);
            for (std::uint32_t value = 0; value < 32; ++value) {
                scale[value * 255 / 31] = ScaleChannel(value, 5);
            }
        }
    }
    return scale;
}

constexpr auto kIdentity = [] {
    std::array<std::uint8_t, 256> table{};
    for (std::size_t value = 0; value < table.size(); ++value) {
        table[value] = static_cast<std::uint8_t>(value);
    }
    return table;
}();

// Grey, grey and alpha, RGB or RGBA samples to colours with their opacity.
template <int kComponents>
void Compose(const std::uint8_t* samples, std::span<Colour> out, const std::uint8_t* scale) {
    for (Colour& colour : out) {
        const std::uint32_t alpha = kComponents == 2   ? samples[1]
                                    : kComponents == 4 ? samples[3]
                                                       : 255;
        const std::uint8_t red = scale[samples[0]];
        const std::uint8_t green = kComponents >= 3 ? scale[samples[1]] : red;
        const std::uint8_t blue = kComponents >= 3 ? scale[samples[2]] : red;
        colour = MakeColour(red, green, blue) | (alpha << 24);
        samples += kComponents;
    }
}

}  // namespace

DecodeError CheckDecodedSize(std::int64_t width, std::int64_t height) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width <= 0 || height <= 0) {
        return MakeError(DecodeErrorKind::Invalid, "image of " + size + " pixels");
    }
    if (width > limits::kMaxSide || height > limits::kMaxSide) {
        return TooLarge("image of " + size + " pixels: a side is larger than the cap of " +
                        std::to_string(limits::kMaxSide));
    }
    if (static_cast<std::uint64_t>(width * height) > limits::kMaxDecodedPixels) {
        return TooLarge("image of " + size + " pixels is larger than the cap of " +
                        std::to_string(limits::kMaxDecodedPixels) + " pixels");
    }
    return {};
}

StbImage::~StbImage() = default;

Decoded<std::unique_ptr<StbImage>> StbImage::Decode(std::vector<std::uint8_t> file) {
    const stb::Info info = stb::ReadInfo(file);
    if (info.error.kind != DecodeErrorKind::None) {
        return info.error;
    }
    Decoded<SampleTable> scale = SampleTable{};
    if (info.format == "TGA") {
        scale = TgaScale(file);
    }
    if (!scale.ok()) {
        return scale.error();
    }
    if (DecodeError error = CheckDecodedSize(info.width, info.height);
        error.kind != DecodeErrorKind::None) {
        return error;
    }
    if (const std::uint64_t bytes = stb::PngDecodingBytes(file); bytes > limits::kMaxLibraryBytes) {
        constexpr std::uint64_t kMiB = 1024 * 1024;
        return TooLarge("a PNG of " + std::to_string(info.width) + " x " +
                        std::to_string(info.height) + " pixels with " + std::to_string(file[24]) +
                        "-bit samples needs more than " + std::to_string(bytes / kMiB) +
                        " MiB to decode; the cap is " +
                        std::to_string(limits::kMaxLibraryBytes / kMiB) + " MiB");
    }
    try {
        std::unique_ptr<StbImage> image(new StbImage);
        image->width_ = static_cast<std::int32_t>(info.width);
        image->height_ = static_cast<std::int32_t>(info.height);
        image->sampleScale_ = std::move(scale.value());
        const auto pixels = static_cast<std::uint64_t>(info.width * info.height);
        if (info.format != "GIF") {
            const stb::Still still = stb::DecodeStill(file, pixels);
            if (still.pixels.Data() == nullptr) {
                return still.error;
            }
            // Never read past what the library gave, whatever its header said.
            if (still.width != info.width || still.height != info.height || still.components < 1 ||
                still.components > 4) {
                return MakeError(DecodeErrorKind::Invalid,
                                 "the decoder's image differs from the header");
            }
            image->ShowCanvas(still.pixels.Data(), still.components);
            return image;
        }
        const GifScan scan = ScanGif(file);
        if (scan.truncated) {
            return MakeError(DecodeErrorKind::Truncated,
                             "the GIF ends inside frame " + std::to_string(scan.frames + 1));
        }
        if (scan.frames == 0) {
            return MakeError(DecodeErrorKind::Invalid, "the GIF holds no frame");
        }
        image->frameCount_ = scan.frames;
        image->selected_ = -1;
        image->gif_ = std::make_unique<stb::GifFrames>(std::move(file), pixels);
        if (DecodeError error = image->SelectFrame(0); error.kind != DecodeErrorKind::None) {
            return error;
        }
        if (image->frameCount_ == 1) {
            image->gif_.reset();  // nothing more to decode: give back the file and canvases
        }
        return image;
    } catch (const std::bad_alloc&) {
        return TooLarge("not enough memory to decode the image");
    }
}

void StbImage::ShowCanvas(const std::uint8_t* samples, int components) {
    const auto count = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    pixels_.resize(count);
    const std::uint8_t* scale = sampleScale_.empty() ? kIdentity.data() : sampleScale_.data();
    switch (components) {
        case 1:
            return Compose<1>(samples, pixels_, scale);
        case 2:
            return Compose<2>(samples, pixels_, scale);
        case 3:
            return Compose<3>(samples, pixels_, scale);
        default:
            return Compose<4>(samples, pixels_, scale);
    }
}

DecodeError StbImage::SelectFrame(std::int32_t index) {
    if (index < 0 || index >= frameCount_) {
        return MakeError(
            DecodeErrorKind::Invalid,
            "no frame " + std::to_string(index) + ": the image has " + std::to_string(frameCount_));
    }
    if (index == selected_) {
        return {};
    }
    try {
        if (index < framesDrawn_) {
            gif_->Restart();
            framesDrawn_ = 0;
        }
        while (framesDrawn_ <= index) {
            if (DecodeError error = gif_->Next(); error.kind != DecodeErrorKind::None) {
                gif_->Restart();
                framesDrawn_ = 0;
                error.message = "frame " + std::to_string(index) + ": " + error.message;
                return error;
            }
            ++framesDrawn_;
        }
        ShowCanvas(gif_->Canvas(), 4);
    } catch (const std::bad_alloc&) {
        gif_->Restart();
        framesDrawn_ = 0;
        return TooLarge("not enough memory to decode frame " + std::to_string(index));
    }
    selected_ = index;
    return {};
}

Colour StbImage::ColourAt(std::int32_t x, std::int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return 0;
    }
    return ShownOver(pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                             static_cast<std::size_t>(x)],
                     Background::White);
}

void StbImage::ReadRow(std::int32_t y, std::span<Colour> row) const {
    ReadRowWithAlpha(y, row);
    for (Colour& colour : row.first(std::min(row.size(), static_cast<std::size_t>(width_)))) {
        colour = ShownOver(colour, Background::White);
    }
}

void StbImage::ReadRowWithAlpha(std::int32_t y, std::span<Colour> row) const {
    const auto count = std::min(row.size(), static_cast<std::size_t>(width_));
    if (y < 0 || y >= height_) {
        std::fill_n(row.begin(), count, Colour{0});
        return;
    }
    const auto start =
        pixels_.begin() +
        static_cast<std::ptrdiff_t>(static_cast<std::size_t>(y) * static_cast<std::size_t>(width_));
    std::copy_n(start, count, row.begin());
}

}  // namespace rastelle
