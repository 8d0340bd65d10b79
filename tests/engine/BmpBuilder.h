#pragma once

#include <cstdint>
#include <vector>

namespace rastelle::test {

using ByteVector = std::vector<std::uint8_t>;

// Appends `value` little-endian in `bytes` bytes.
inline void Put(ByteVector& out, std::uint32_t value, int bytes = 4) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

// A BMP file put together field by field, so tests can get any of them wrong. As it stands,
// the smallest valid file: one black 24-bit pixel.
struct BmpBuilder {
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t bits = 24;
    std::uint32_t compression = 0;
    std::uint32_t headerSize = 40;
    std::uint16_t planes = 1;
    std::uint32_t colorsUsed = 0;
    std::vector<std::uint32_t> masks = {};  // in the header from 52 bytes on, else after it
    ByteVector palette = {};                // entries as stored
    ByteVector pixels = {0, 0, 0, 0};
    std::uint32_t pixelOffset = 0;  // 0: right after the palette

    ByteVector Build() const {
        const int side = headerSize == 12 ? 2 : 4;  // OS/2 1.x sizes are 16-bit
        ByteVector body;
        Put(body, headerSize);
        Put(body, static_cast<std::uint32_t>(width), side);
        Put(body, static_cast<std::uint32_t>(height), side);
        Put(body, planes, 2);
        Put(body, bits, 2);
        std::vector<std::uint32_t> fields = {
            compression, static_cast<std::uint32_t>(pixels.size()), 2835, 2835, colorsUsed, 0};
        fields.insert(fields.end(), masks.begin(), masks.end());
        for (const std::uint32_t field : fields) {
            Put(body, field);
        }
        if (headerSize != 40) {
            body.resize(headerSize, 0);  // after a 40-byte header, the masks follow it
        }
        body.insert(body.end(), palette.begin(), palette.end());
        const auto headersEnd = static_cast<std::uint32_t>(14 + body.size());
        ByteVector file = {'B', 'M'};
        Put(file, headersEnd + static_cast<std::uint32_t>(pixels.size()));
        Put(file, 0);
        Put(file, pixelOffset != 0 ? pixelOffset : headersEnd);
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

// Palette entries from 0xRRGGBB values: B, G, R and, unless `core`, a zero byte.
inline ByteVector PaletteOf(const std::vector<std::uint32_t>& rgb, bool core = false) {
    ByteVector out;
    for (const std::uint32_t colour : rgb) {
        Put(out, colour, core ? 3 : 4);
    }
    return out;
}

}  // namespace rastelle::test
