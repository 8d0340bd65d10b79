#include "image/bmp/BmpDecoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define RASTELLE_X86_SIMD 1
#include <immintrin.h>
#else
#define RASTELLE_X86_SIMD 0
#endif

namespace rastelle {

namespace {

constexpr Colour Bgr(const std::uint8_t* bytes) {
    return Colour{bytes[2]} | (Colour{bytes[1]} << 8) | (Colour{bytes[0]} << 16);
}

// Four bytes at a time where the machine is little-endian: one load a pixel instead of three;
// the last pixel's fourth byte may lie past the file, so it is read byte by byte.
void DecodeBgr24Portable(const std::uint8_t* row, Colour* out, std::size_t count, Colour opacity) {
    std::size_t x = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; x + 1 < count; ++x) {
            std::uint32_t word;
            std::memcpy(&word, row + 3 * x, sizeof word);
            out[x] = ((word & 0xFF) << 16) | (word & 0xFF00) | ((word >> 16) & 0xFF) | opacity;
        }
    }
    for (; x < count; ++x) {
        out[x] = Bgr(row + 3 * x) | opacity;
    }
}

#if RASTELLE_X86_SIMD
// The compiler does not vectorise three-byte pixels; SSSE3's byte shuffle turns 12 bytes
// into 4 colours at once. Each load takes 16 bytes, so the last pixels go the portable way.
__attribute__((target("ssse3"))) void DecodeBgr24Ssse3(const std::uint8_t* row, Colour* out,
                                                       std::size_t count, Colour opacity) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(opacity));
    std::size_t x = 0;
    for (; 3 * x + 16 <= 3 * count; x += 4) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 3 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                         _mm_or_si128(_mm_shuffle_epi8(bytes, order), alpha));
    }
    DecodeBgr24Portable(row + 3 * x, out + x, count - x, opacity);
}

const bool kHasSsse3 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") != 0;
}();
#endif

void DecodeBgr24(const std::uint8_t* row, Colour* out, std::size_t count, Colour opacity) {
#if RASTELLE_X86_SIMD
    if (kHasSsse3) {
        DecodeBgr24Ssse3(row, out, count, opacity);
        return;
    }
#endif
    DecodeBgr24Portable(row, out, count, opacity);
}

template <unsigned Bits>
void DecodeIndexedRow(const std::uint8_t* row, Colour* out, std::size_t count,
                      const std::array<Colour, 256>& palette, Colour opacity) {
    constexpr unsigned kPerByte = 8 / Bits;
    constexpr unsigned kMask = (1U << Bits) - 1;
    std::size_t x = 0;
    for (; x + kPerByte <= count; x += kPerByte) {
        const unsigned byte = *row++;
        for (unsigned k = 0; k < kPerByte; ++k) {
            out[x + k] = palette[(byte >> (8 - Bits * (k + 1))) & kMask] | opacity;
        }
    }
    if (x < count) {
        const unsigned byte = *row;
        for (unsigned k = 0; x < count; ++k, ++x) {
            out[x] = palette[(byte >> (8 - Bits * (k + 1))) & kMask] | opacity;
        }
    }
}

unsigned IndexAt(const std::uint8_t* row, std::int32_t x, unsigned bits) {
    const auto bit = static_cast<std::uint64_t>(x) * bits;
    const unsigned byte = row[bit / 8];
    return (byte >> (8 - bits - bit % 8)) & ((1U << bits) - 1);
}

std::uint32_t Load16(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8);
}

std::uint32_t Load32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) |
           (std::uint32_t{bytes[2]} << 16) | (std::uint32_t{bytes[3]} << 24);
}

}  // namespace

std::uint8_t ScaleChannel(std::uint32_t value, std::uint32_t width) {
    if (width == 0) {
        return 0;
    }
    if (width >= 8) {
        return static_cast<std::uint8_t>(value >> (width - 8));
    }
    auto position = static_cast<std::int32_t>(8 - width);
    std::uint32_t result = value << position;
    while (position > 0) {
        position -= static_cast<std::int32_t>(width);
        result |= position >= 0 ? value << position : value >> -position;
    }
    return static_cast<std::uint8_t>(result);
}

RowDecoder::Channel RowDecoder::MakeChannel(std::uint32_t mask) {
    Channel channel;
    if (mask == 0) {
        return channel;
    }
    const auto low = static_cast<std::uint32_t>(std::countr_zero(mask));
    const auto width = static_cast<std::uint32_t>(std::popcount(mask));
    if (width <= 8) {
        channel.shift = low;
        channel.indexMask = (1U << width) - 1;
        for (std::uint32_t value = 0; value <= channel.indexMask; ++value) {
            channel.scale[value] = ScaleChannel(value, width);
        }
    } else {
        channel.shift = low + width - 8;
        channel.indexMask = 0xFF;
        for (std::uint32_t value = 0; value < 256; ++value) {
            channel.scale[value] = static_cast<std::uint8_t>(value);
        }
    }
    return channel;
}

RowDecoder::RowDecoder(const BmpLayout& layout, std::span<const std::uint8_t> file)
    : encoding_(layout.encoding), bitCount_(layout.bitCount) {
    for (std::uint32_t i = 0; i < layout.paletteCount && i < palette_.size(); ++i) {
        const std::uint64_t at = layout.paletteOffset + std::uint64_t{i} * layout.paletteEntrySize;
        if (at + 3 > file.size()) {
            break;
        }
        palette_[i] = Bgr(file.data() + at);
    }
    if (encoding_ != PixelEncoding::Masked) {
        return;
    }
    channels_ = {MakeChannel(layout.redMask), MakeChannel(layout.greenMask),
                 MakeChannel(layout.blueMask)};
    if (bitCount_ == 16) {
        lut16_.resize(65536);
        for (std::uint32_t value = 0; value < lut16_.size(); ++value) {
            lut16_[value] = FromMasks(value);
        }
    } else {
        defaultMasks32_ =
            layout.redMask == 0xFF0000 && layout.greenMask == 0xFF00 && layout.blueMask == 0xFF;
    }
}

Colour RowDecoder::FromMasks(std::uint32_t pixel) const {
    return channels_[0].Apply(pixel) | (channels_[1].Apply(pixel) << 8) |
           (channels_[2].Apply(pixel) << 16);
}

void RowDecoder::DecodeRow(const std::uint8_t* row, std::span<Colour> out, Colour opacity) const {
    Colour* const to = out.data();
    const std::size_t count = out.size();
    switch (encoding_) {
        case PixelEncoding::Indexed:
            switch (bitCount_) {
                case 1:
                    DecodeIndexedRow<1>(row, to, count, palette_, opacity);
                    return;
                case 2:
                    DecodeIndexedRow<2>(row, to, count, palette_, opacity);
                    return;
                case 4:
                    DecodeIndexedRow<4>(row, to, count, palette_, opacity);
                    return;
                default:
                    DecodeIndexedRow<8>(row, to, count, palette_, opacity);
                    return;
            }
        case PixelEncoding::Bgr24:
            DecodeBgr24(row, to, count, opacity);
            return;
        case PixelEncoding::Masked:
            if (bitCount_ == 16) {
                for (std::size_t x = 0; x < count; ++x) {
                    to[x] = lut16_[Load16(row + 2 * x)] | opacity;
                }
            } else if (defaultMasks32_) {
                for (std::size_t x = 0; x < count; ++x) {
                    to[x] = Bgr(row + 4 * x) | opacity;
                }
            } else {
                for (std::size_t x = 0; x < count; ++x) {
                    to[x] = FromMasks(Load32(row + 4 * x)) | opacity;
                }
            }
            return;
        case PixelEncoding::Rle8:
        case PixelEncoding::Rle4:
            // Expanded beforehand; the stored "row" is one index byte per pixel.
            DecodeIndexedRow<8>(row, to, count, palette_, opacity);
            return;
    }
}

Colour RowDecoder::DecodePixel(const std::uint8_t* row, std::int32_t x) const {
    const auto at = static_cast<std::size_t>(x);
    switch (encoding_) {
        case PixelEncoding::Indexed:
            return palette_[IndexAt(row, x, bitCount_)];
        case PixelEncoding::Bgr24:
            return Bgr(row + 3 * at);
        case PixelEncoding::Masked:
            return bitCount_ == 16 ? lut16_[Load16(row + 2 * at)] : FromMasks(Load32(row + 4 * at));
        case PixelEncoding::Rle8:
        case PixelEncoding::Rle4:
            return palette_[row[at]];
    }
    return 0;
}

RleCanvas ExpandRle(std::span<const std::uint8_t> stream, std::int32_t width, std::int32_t height,
                    bool fourBit) {
    RleCanvas canvas;
    canvas.width = width;
    canvas.height = height;
    const auto pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    canvas.indices.assign(pixels, 0);
    canvas.defined.assign((pixels + 7) / 8, 0);

    // x may run past the width (clipped writes); y counts rows from the bottom.
    std::int64_t x = 0;
    std::int64_t y = 0;
    std::uint8_t* rowStart = nullptr;
    std::size_t rowBase = 0;
    const auto enterRow = [&] {
        if (y < height) {
            rowBase = static_cast<std::size_t>(height - 1 - y) * static_cast<std::size_t>(width);
            rowStart = canvas.indices.data() + rowBase;
        }
    };
    // Callers keep x + offset below the width.
    const auto put = [&](unsigned offset, unsigned index) {
        const auto column = static_cast<std::size_t>(x) + offset;
        const std::size_t pixel = rowBase + column;
        rowStart[column] = static_cast<std::uint8_t>(index);
        canvas.defined[pixel >> 3] =
            static_cast<std::uint8_t>(canvas.defined[pixel >> 3] | (1U << (pixel & 7)));
    };
    enterRow();

    const std::size_t size = stream.size();
    std::size_t pos = 0;
    while (y < height && size - pos >= 2) {
        const unsigned count = stream[pos];
        const unsigned value = stream[pos + 1];
        pos += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count && x + i < width; ++i) {
                put(i, fourBit ? ((i & 1) ? value & 0xF : value >> 4) : value);
            }
            x += count;  // clipped remainder
            continue;
        }
        switch (value) {
            case 0:  // end of line
                x = 0;
                ++y;
                enterRow();
                break;
            case 1:  // end of bitmap
                return canvas;
            case 2:  // delta
                if (size - pos < 2) {
                    return canvas;
                }
                x += stream[pos];
                y += stream[pos + 1];
                pos += 2;
                enterRow();
                break;
            default: {  // absolute run, padded to a 16-bit boundary
                const unsigned length = value;
                const std::size_t bytes = fourBit ? (length + 1) / 2 : length;
                const std::size_t available = std::min(bytes, size - pos);
                for (unsigned i = 0; i < length && x + i < width; ++i) {
                    const std::size_t byte = fourBit ? i / 2 : i;
                    if (byte >= available) {
                        break;
                    }
                    const unsigned data = stream[pos + byte];
                    put(i, fourBit ? ((i & 1) ? data & 0xF : data >> 4) : data);
                }
                if (bytes + (bytes & 1) > size - pos) {
                    return canvas;
                }
                x += length;
                pos += bytes + (bytes & 1);
                break;
            }
        }
    }
    return canvas;
}

}  // namespace rastelle
