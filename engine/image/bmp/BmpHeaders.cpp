#include "image/bmp/BmpHeaders.h"

#include <algorithm>
#include <array>
#include <bit>
#include <string>

#include "common/Limits.h"
#include "common/TextSize.h"
#include "image/bmp/ByteReader.h"

namespace rastelle {

namespace {

constexpr std::uint64_t kFileHeaderSize = 14;
constexpr std::size_t kLargestHeader = 124;

enum class Compression { Rgb, Rle8, Rle4, Bitfields, AlphaBitfields };

// The fields of any header version, before they are checked.
struct CommonHeader {
    HeaderVersion version = HeaderVersion::Info;
    std::uint32_t size = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    std::uint32_t masks[3] = {0, 0, 0};
};

std::string Hex(std::uint32_t value) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (int shift = 28; shift >= 0; shift -= 4) {
        text += kDigits[(value >> shift) & 0xFU];
    }
    return text;
}

std::string Num(std::uint64_t value) {
    return std::to_string(value);
}
std::string Num(std::int64_t value) {
    return std::to_string(value);
}

DecodeError Invalid(std::string message) {
    return MakeError(DecodeErrorKind::Invalid, std::move(message));
}
DecodeError Unsupported(std::string message) {
    return MakeError(DecodeErrorKind::Unsupported, std::move(message));
}
DecodeError Truncated(std::string message) {
    return MakeError(DecodeErrorKind::Truncated, std::move(message));
}
DecodeError TooLarge(std::string message) {
    return MakeError(DecodeErrorKind::TooLarge, std::move(message));
}

std::optional<HeaderVersion> VersionForSize(std::uint32_t size) {
    switch (size) {
        case 12:
            return HeaderVersion::Core;
        case 40:
            return HeaderVersion::Info;
        case 52:
            return HeaderVersion::InfoV2;
        case 56:
            return HeaderVersion::InfoV3;
        case 108:
            return HeaderVersion::InfoV4;
        case 124:
            return HeaderVersion::InfoV5;
        default:
            break;
    }
    if (size >= 16 && size <= 64) {
        return HeaderVersion::Os2;
    }
    return std::nullopt;
}

// `bytes` is the header zero-padded to the largest form, so every read succeeds.
CoreHeader ReadCore(ByteReader reader) {
    CoreHeader header;
    reader.Skip(4);
    reader.U16(header.width);
    reader.U16(header.height);
    reader.U16(header.planes);
    reader.U16(header.bitCount);
    return header;
}

Os2Header ReadOs2(ByteReader reader) {
    Os2Header header;
    reader.U32(header.size);
    reader.I32(header.width);
    reader.I32(header.height);
    reader.U16(header.planes);
    reader.U16(header.bitCount);
    reader.U32(header.compression);
    reader.Skip(12);  // image size, resolution
    reader.U32(header.colorsUsed);
    return header;
}

InfoHeader ReadInfo(ByteReader reader) {
    InfoHeader header;
    reader.U32(header.size);
    reader.I32(header.width);
    reader.I32(header.height);
    reader.U16(header.planes);
    reader.U16(header.bitCount);
    reader.U32(header.compression);
    reader.U32(header.imageSize);
    reader.Skip(8);  // resolution
    reader.U32(header.colorsUsed);
    reader.Skip(4);  // important colours
    if (header.size >= 52) {
        reader.U32(header.redMask);
        reader.U32(header.greenMask);
        reader.U32(header.blueMask);
    }
    return header;
}

Decoded<Compression> NormaliseCompression(HeaderVersion version, std::uint32_t value) {
    if (version == HeaderVersion::Core) {
        return Compression::Rgb;
    }
    switch (value) {
        case 0:
            return Compression::Rgb;
        case 1:
            return Compression::Rle8;
        case 2:
            return Compression::Rle4;
        default:
            break;
    }
    if (version == HeaderVersion::Os2) {
        if (value == 3) {
            return Unsupported("Huffman 1D compression is not supported");
        }
        if (value == 4) {
            return Unsupported("RLE24 compression is not supported");
        }
    } else {
        switch (value) {
            case 3:
                return Compression::Bitfields;
            case 4:
                return Unsupported("JPEG compression is not supported");
            case 5:
                return Unsupported("PNG compression is not supported");
            case 6:
                return Compression::AlphaBitfields;
            default:
                break;
        }
    }
    return Unsupported("unknown compression " + Num(std::uint64_t{value}));
}

bool IsValidBitCount(std::uint16_t bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
           bits == 32;
}

}  // namespace

bool IsContiguousMask(std::uint32_t mask) {
    if (mask == 0) {
        return true;
    }
    const std::uint32_t run = mask >> std::countr_zero(mask);
    return (run & (run + 1)) == 0;
}

Decoded<BmpLayout> ParseHeaders(std::span<const std::uint8_t> file) {
    const std::uint64_t fileSize = file.size();
    if (fileSize < 2 || file[0] != 'B' || file[1] != 'M') {
        return Invalid("not a BMP file (no \"BM\" signature)");
    }
    ByteReader reader(file);
    FileHeader fileHeader;
    std::uint32_t headerSize = 0;
    if (!reader.Skip(2) || !reader.U32(fileHeader.fileSize) || !reader.Skip(4) ||
        !reader.U32(fileHeader.pixelOffset) || !reader.U32(headerSize)) {
        return Truncated("file header truncated: need 18 bytes, file has " + Num(fileSize));
    }
    const auto version = VersionForSize(headerSize);
    if (!version) {
        return Unsupported("unknown header size " + Num(std::uint64_t{headerSize}));
    }
    if (kFileHeaderSize + headerSize > fileSize) {
        return Truncated("bitmap header truncated: need " + Num(std::uint64_t{headerSize}) +
                         " bytes at offset 14, file has " + Num(fileSize));
    }
    std::array<std::uint8_t, kLargestHeader> padded{};
    std::copy_n(file.begin() + kFileHeaderSize, headerSize, padded.begin());
    const ByteReader headerReader(padded);

    CommonHeader common;
    common.version = *version;
    common.size = headerSize;
    if (*version == HeaderVersion::Core) {
        const CoreHeader core = ReadCore(headerReader);
        common.width = core.width;
        common.height = core.height;
        common.planes = core.planes;
        common.bitCount = core.bitCount;
    } else if (*version == HeaderVersion::Os2) {
        const Os2Header os2 = ReadOs2(headerReader);
        common.width = os2.width;
        common.height = os2.height;
        common.planes = os2.planes;
        common.bitCount = os2.bitCount;
        common.compression = os2.compression;
        common.colorsUsed = os2.colorsUsed;
    } else {
        const InfoHeader info = ReadInfo(headerReader);
        common.width = info.width;
        common.height = info.height;
        common.planes = info.planes;
        common.bitCount = info.bitCount;
        common.compression = info.compression;
        common.colorsUsed = info.colorsUsed;
        common.masks[0] = info.redMask;
        common.masks[1] = info.greenMask;
        common.masks[2] = info.blueMask;
    }

    // Compression first: JPEG and PNG files carry a bit count of 0.
    const auto compression = NormaliseCompression(common.version, common.compression);
    if (!compression.ok()) {
        return compression.error();
    }
    if (common.width <= 0) {
        return Invalid("invalid width " + Num(common.width));
    }
    if (common.planes == 0) {
        return Invalid("invalid plane count 0");
    }
    if (!IsValidBitCount(common.bitCount)) {
        return Unsupported("unsupported bit count " + Num(std::uint64_t{common.bitCount}));
    }

    BmpLayout layout;
    layout.version = common.version;
    layout.bitCount = common.bitCount;
    layout.topDown = common.height < 0;
    const std::int64_t rows = common.height < 0 ? -common.height : common.height;

    const Compression method = compression.value();
    switch (method) {
        case Compression::Rle8:
        case Compression::Rle4: {
            const bool eight = method == Compression::Rle8;
            const std::uint16_t needed = eight ? 8 : 4;
            if (common.bitCount != needed) {
                return Invalid(std::string(eight ? "RLE8" : "RLE4") + " needs " +
                               Num(std::uint64_t{needed}) + " bits per pixel, got " +
                               Num(std::uint64_t{common.bitCount}));
            }
            if (layout.topDown) {
                return Invalid("RLE compression needs a bottom-up image, height is " +
                               Num(common.height));
            }
            layout.encoding = eight ? PixelEncoding::Rle8 : PixelEncoding::Rle4;
            break;
        }
        case Compression::Bitfields:
        case Compression::AlphaBitfields:
            if (common.bitCount != 16 && common.bitCount != 32) {
                return Invalid("BITFIELDS needs 16 or 32 bits per pixel, got " +
                               Num(std::uint64_t{common.bitCount}));
            }
            layout.encoding = PixelEncoding::Masked;
            break;
        case Compression::Rgb:
            layout.encoding = common.bitCount <= 8    ? PixelEncoding::Indexed
                              : common.bitCount == 24 ? PixelEncoding::Bgr24
                                                      : PixelEncoding::Masked;
            break;
    }

    if (common.width > limits::kMaxSide || rows > limits::kMaxSide) {
        return TooLarge("image of " + Num(common.width) + " x " + Num(rows) +
                        " pixels exceeds the largest side of " + Num(limits::kMaxSide));
    }
    const std::uint64_t textSize = TextSize(common.width, rows, FillMode::Zeros);
    if (textSize > limits::kMaxTextBytes) {
        return TooLarge("image of " + Num(common.width) + " x " + Num(rows) + " pixels needs " +
                        Num(textSize) + " bytes of text, the cap is " + Num(limits::kMaxTextBytes));
    }
    const auto area = static_cast<std::uint64_t>(common.width) * static_cast<std::uint64_t>(rows);
    const bool isRle =
        layout.encoding == PixelEncoding::Rle8 || layout.encoding == PixelEncoding::Rle4;
    if (isRle && area + (area + 7) / 8 > limits::kMaxDecodeBufferBytes) {
        return TooLarge("RLE image of " + Num(common.width) + " x " + Num(rows) +
                        " pixels needs a larger decode buffer than the cap of " +
                        Num(limits::kMaxDecodeBufferBytes) + " bytes");
    }
    layout.width = static_cast<std::int32_t>(common.width);
    layout.height = static_cast<std::int32_t>(rows);

    std::uint64_t headersEnd = kFileHeaderSize + headerSize;
    if (layout.encoding == PixelEncoding::Masked) {
        if (method == Compression::Rgb) {
            if (common.bitCount == 16) {
                common.masks[0] = 0x7C00;
                common.masks[1] = 0x03E0;
                common.masks[2] = 0x001F;
            } else {
                common.masks[0] = 0xFF0000;
                common.masks[1] = 0x00FF00;
                common.masks[2] = 0x0000FF;
            }
        } else if (headerSize == 40) {
            const std::uint64_t maskBytes = method == Compression::AlphaBitfields ? 16 : 12;
            ByteReader maskReader(file);
            maskReader.Seek(headersEnd);
            if (!maskReader.U32(common.masks[0]) || !maskReader.U32(common.masks[1]) ||
                !maskReader.U32(common.masks[2])) {
                return Truncated("colour masks truncated: need " + Num(maskBytes) +
                                 " bytes at offset " + Num(headersEnd) + ", file has " +
                                 Num(fileSize));
            }
            headersEnd += maskBytes;
        }
        constexpr const char* kNames[] = {"red", "green", "blue"};
        for (int channel = 0; channel < 3; ++channel) {
            if (!IsContiguousMask(common.masks[channel])) {
                return Invalid(std::string("non-contiguous ") + kNames[channel] + " mask " +
                               Hex(common.masks[channel]));
            }
        }
        layout.redMask = common.masks[0];
        layout.greenMask = common.masks[1];
        layout.blueMask = common.masks[2];
    }
    if (headersEnd > fileSize) {
        return Truncated("colour masks truncated: need " + Num(headersEnd) + " bytes, file has " +
                         Num(fileSize));
    }

    layout.pixelOffset = fileHeader.pixelOffset;
    if (layout.pixelOffset < headersEnd) {
        return Invalid("pixel data offset " + Num(layout.pixelOffset) +
                       " points into the headers, which end at " + Num(headersEnd));
    }
    if (layout.pixelOffset > fileSize) {
        return Truncated("pixel data offset " + Num(layout.pixelOffset) +
                         " is beyond the end of the file (" + Num(fileSize) + " bytes)");
    }

    layout.paletteEntrySize = common.version == HeaderVersion::Core ? 3 : 4;
    layout.paletteOffset = headersEnd;
    if (common.bitCount <= 8) {
        // Larger counts are clamped like Windows does; without a count, the palette is
        // whatever fits between the headers and the pixel data, up to 2^bits entries.
        const std::uint32_t most = 1U << common.bitCount;
        const std::uint64_t room = (layout.pixelOffset - headersEnd) / layout.paletteEntrySize;
        if (common.colorsUsed == 0) {
            layout.paletteCount = static_cast<std::uint32_t>(std::min<std::uint64_t>(most, room));
        } else {
            layout.paletteCount = std::min(common.colorsUsed, most);
            const std::uint64_t paletteEnd =
                headersEnd + std::uint64_t{layout.paletteCount} * layout.paletteEntrySize;
            if (paletteEnd > fileSize) {
                return Truncated("palette truncated: need " +
                                 Num(std::uint64_t{layout.paletteCount}) + " entries at offset " +
                                 Num(headersEnd) + ", file has " + Num(fileSize));
            }
            if (paletteEnd > layout.pixelOffset) {
                return Invalid("palette of " + Num(std::uint64_t{layout.paletteCount}) +
                               " entries overlaps the pixel data at offset " +
                               Num(layout.pixelOffset));
            }
        }
    }

    if (isRle) {
        layout.pixelBytes = fileSize - layout.pixelOffset;
    } else {
        layout.stride = (static_cast<std::uint64_t>(layout.width) * common.bitCount + 31) / 32 * 4;
        layout.pixelBytes = layout.stride * static_cast<std::uint64_t>(rows);
        if (layout.pixelBytes > fileSize - layout.pixelOffset) {
            return Truncated("pixel data truncated: need " + Num(layout.pixelBytes) +
                             " bytes at offset " + Num(layout.pixelOffset) + ", file has " +
                             Num(fileSize));
        }
    }
    return layout;
}

}  // namespace rastelle
