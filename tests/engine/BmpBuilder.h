#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace rastelle::test {

using ByteVector = std::vector<std::uint8_t>;

inline void PutU16(ByteVector& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}
inline void PutU32(ByteVector& out, std::uint32_t value) {
    PutU16(out, value & 0xFFFFU);
    PutU16(out, value >> 16);
}

// A BMP file put together field by field, so tests can get any of them wrong.
struct BmpBuilder {
    std::uint32_t headerSize = 40;
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t planes = 1;
    std::uint16_t bits = 24;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    std::vector<std::uint32_t> masks;  // in the header from 52 bytes on, else after it
    ByteVector palette;                // raw entries
    ByteVector pixels;
    std::optional<std::uint32_t> pixelOffset;  // default: right after the palette

    ByteVector Header() const {
        ByteVector header;
        PutU32(header, headerSize);
        if (headerSize == 12) {
            PutU16(header, static_cast<std::uint32_t>(width));
            PutU16(header, static_cast<std::uint32_t>(height));
            PutU16(header, planes);
            PutU16(header, bits);
            return header;
        }
        PutU32(header, static_cast<std::uint32_t>(width));
        PutU32(header, static_cast<std::uint32_t>(height));
        PutU16(header, planes);
        PutU16(header, bits);
        PutU32(header, compression);
        PutU32(header, static_cast<std::uint32_t>(pixels.size()));
        PutU32(header, 2835);
        PutU32(header, 2835);
        PutU32(header, colorsUsed);
        PutU32(header, 0);
        for (const std::uint32_t mask : masks) {
            if (headerSize >= 52) {
                PutU32(header, mask);
            }
        }
        header.resize(headerSize, 0);
        return header;
    }

    ByteVector Build() const {
        ByteVector body = Header();
        if (headerSize == 40) {
            for (const std::uint32_t mask : masks) {
                PutU32(body, mask);
            }
        }
        body.insert(body.end(), palette.begin(), palette.end());
        const auto offset = pixelOffset.value_or(static_cast<std::uint32_t>(14 + body.size()));
        ByteVector file = {'B', 'M'};
        PutU32(file, static_cast<std::uint32_t>(14 + body.size() + pixels.size()));
        PutU32(file, 0);
        PutU32(file, offset);
        file.insert(file.end(), body.begin(), body.end());
        file.insert(file.end(), pixels.begin(), pixels.end());
        return file;
    }
};

// Rows as stored, each padded to 4 bytes.
inline ByteVector PaddedRows(const std::vector<ByteVector>& rows) {
    ByteVector out;
    for (const ByteVector& row : rows) {
        out.insert(out.end(), row.begin(), row.end());
        out.resize(out.size() + (4 - row.size() % 4) % 4, 0);
    }
    return out;
}

// Palette entries as B, G, R(, reserved).
inline ByteVector PaletteOf(const std::vector<std::uint32_t>& rgb, bool core = false) {
    ByteVector out;
    for (const std::uint32_t colour : rgb) {
        out.push_back(static_cast<std::uint8_t>(colour));
        out.push_back(static_cast<std::uint8_t>(colour >> 8));
        out.push_back(static_cast<std::uint8_t>(colour >> 16));
        if (!core) {
            out.push_back(0);
        }
    }
    return out;
}

}  // namespace rastelle::test
