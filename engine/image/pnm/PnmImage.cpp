#include "image/pnm/PnmImage.h"

#include <algorithm>
#include <bit>
#include <new>
#include <string>

#include "image/bmp/BmpDecoder.h"
#include "image/stb/StbImage.h"

namespace rastelle {

namespace {

DecodeError Invalid(std::string reason) {
    return MakeError(DecodeErrorKind::Invalid, "bad PNM file (" + std::move(reason) + ")");
}

bool IsSpace(std::uint8_t c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Reads the header's numbers and a plain file's samples: whitespace and comments (from '#'
// to the end of the line) may come before each, as netpbm's own readers take them.
class TextReader {
  public:
    explicit TextReader(std::span<const std::uint8_t> file) : file_(file) {}

    std::size_t Position() const { return at_; }
    bool AtEnd() const { return at_ >= file_.size(); }

    void SkipSpace() {
        while (at_ < file_.size() && (IsSpace(file_[at_]) || file_[at_] == '#')) {
            if (file_[at_] == '#') {
                while (at_ < file_.size() && file_[at_] != '\n' && file_[at_] != '\r') {
                    ++at_;
                }
            } else {
                ++at_;
            }
        }
    }

    // A decimal number; false with `error` set when there is none or it is too long.
    bool Number(std::uint32_t& value, const char* what, DecodeError& error) {
        SkipSpace();
        if (AtEnd()) {
            error = MakeError(DecodeErrorKind::Truncated,
                              std::string("PNM file ends before its ") + what);
            return false;
        }
        if (file_[at_] < '0' || file_[at_] > '9') {
            error = Invalid(std::string("no number for its ") + what);
            return false;
        }
        std::uint64_t number = 0;
        for (; at_ < file_.size() && file_[at_] >= '0' && file_[at_] <= '9'; ++at_) {
            number = number * 10 + (file_[at_] - std::uint64_t{'0'});
            if (number > 0x7FFFFFFF) {
                error = Invalid("number too long");
                return false;
            }
        }
        value = static_cast<std::uint32_t>(number);
        return true;
    }

    // A plain PBM digit: '0' or '1', spaces between them optional.
    bool Bit(std::uint8_t& bit, DecodeError& error) {
        SkipSpace();
        if (AtEnd()) {
            error = MakeError(DecodeErrorKind::Truncated, "PNM file ends before its pixels do");
            return false;
        }
        if (file_[at_] != '0' && file_[at_] != '1') {
            error = Invalid("a PBM pixel must be 0 or 1");
            return false;
        }
        bit = static_cast<std::uint8_t>(file_[at_++] - '0');
        return true;
    }

  private:
    std::span<const std::uint8_t> file_;
    std::size_t at_ = 2;
};

// From a sample of 0 to `maximum` to 0-255, for every sample up to the maximum.
std::vector<std::uint8_t> SampleScale(std::uint32_t maximum) {
    std::vector<std::uint8_t> scale(std::size_t{maximum} + 1);
    const auto bits = static_cast<std::uint32_t>(std::bit_width(maximum));
    const bool wholeBits = maximum < 255 && maximum + 1 == std::uint32_t{1} << bits;
    for (std::uint32_t value = 0; value <= maximum; ++value) {
        scale[value] =
            maximum == 65535 ? static_cast<std::uint8_t>(value >> 8)
            : wholeBits
                ? ScaleChannel(value, bits)
                : static_cast<std::uint8_t>((std::uint64_t{value} * 255 + maximum / 2) / maximum);
    }
    return scale;
}

}  // namespace

bool IsPnm(std::span<const std::uint8_t> file) {
    return file.size() >= 2 && file[0] == 'P' && file[1] >= '1' && file[1] <= '6';
}

Decoded<PnmImage> PnmImage::Decode(std::span<const std::uint8_t> file) {
    if (!IsPnm(file)) {
        return Invalid("no P1 to P6 at the start");
    }
    const int kind = file[1] - '0';
    const bool bitmap = kind == 1 || kind == 4;
    const bool plain = kind <= 3;
    const std::uint32_t components = kind == 3 || kind == 6 ? 3 : 1;
    TextReader text(file);
    DecodeError error;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t maximum = 1;
    if (!text.Number(width, "width", error) || !text.Number(height, "height", error) ||
        (!bitmap && !text.Number(maximum, "maximum value", error))) {
        return error;
    }
    if (maximum == 0 || maximum > 65535) {
        return Invalid("maximum value " + std::to_string(maximum) + ": it must be from 1 to 65535");
    }
    if (error = CheckDecodedSize(width, height); error.kind != DecodeErrorKind::None) {
        return error;
    }
    // Binary samples start after the one whitespace character that ends the header.
    const std::size_t samplesAt = text.Position() + 1;
    const std::uint64_t sampleBytes = maximum > 255 ? 2 : 1;
    const std::uint64_t rowBytes = kind == 4 ? (std::uint64_t{width} + 7) / 8
                                             : std::uint64_t{width} * components * sampleBytes;
    if (!plain && (samplesAt > file.size() || rowBytes * height > file.size() - samplesAt)) {
        return MakeError(DecodeErrorKind::Truncated,
                         "PNM file ends before its pixels do: " + std::to_string(width) + " x " +
                             std::to_string(height) + " pixels need " +
                             std::to_string(rowBytes * height) + " bytes");
    }

    PnmImage image;
    image.width_ = static_cast<std::int32_t>(width);
    image.height_ = static_cast<std::int32_t>(height);
    std::vector<std::uint8_t> scale;
    try {
        image.pixels_.resize(std::size_t{width} * height);
        scale = SampleScale(maximum);
    } catch (const std::bad_alloc&) {
        return MakeError(DecodeErrorKind::TooLarge, "not enough memory for the image");
    }
    const std::uint8_t* binary = file.data() + std::min(samplesAt, file.size());
    const auto sample = [&](std::uint32_t& value) {
        if (plain) {
            if (!text.Number(value, "pixels", error)) {
                if (error.kind == DecodeErrorKind::Truncated) {
                    error.message = "PNM file ends before its pixels do";
                }
                return false;
            }
        } else {
            value = sampleBytes == 2 ? std::uint32_t{binary[0]} << 8 | binary[1] : binary[0];
            binary += sampleBytes;
        }
        if (value > maximum) {
            error = Invalid("sample " + std::to_string(value) + " above the maximum value " +
                            std::to_string(maximum));
            return false;
        }
        return true;
    };
    for (std::uint32_t y = 0; y < height; ++y) {
        Colour* const row = image.pixels_.data() + std::size_t{y} * width;
        for (std::uint32_t x = 0; x < width; ++x) {
            if (bitmap) {
                std::uint8_t bit = 0;
                if (plain) {
                    if (!text.Bit(bit, error)) {
                        return error;
                    }
                } else {
                    bit =
                        static_cast<std::uint8_t>((unsigned{binary[x / 8]} >> (7U - x % 8U)) & 1U);
                }
                row[x] = bit != 0 ? MakeColour(0, 0, 0) : MakeColour(255, 255, 255);
                continue;
            }
            std::uint32_t red = 0;
            std::uint32_t green = 0;
            std::uint32_t blue = 0;
            if (!sample(red) || (components == 3 && (!sample(green) || !sample(blue)))) {
                return error;
            }
            row[x] = components == 3 ? MakeColour(scale[red], scale[green], scale[blue])
                                     : MakeColour(scale[red], scale[red], scale[red]);
        }
        if (kind == 4) {
            binary += rowBytes;
        }
    }
    return image;
}

Colour PnmImage::ColourAt(std::int32_t x, std::int32_t y) const {
    return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                   static_cast<std::size_t>(x)];
}

void PnmImage::ReadRow(std::int32_t y, std::span<Colour> row) const {
    const auto width = static_cast<std::size_t>(width_);
    std::copy_n(pixels_.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(y) * width),
                width, row.begin());
}

}  // namespace rastelle
