#include "image/jpeg/ExifOrientation.h"

#include <string>

#include "image/bmp/ByteReader.h"

namespace rastelle {

namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShortType = 3;

// TIFF data in either byte order.
class TiffReader {
  public:
    explicit TiffReader(std::span<const std::uint8_t> bytes) : reader_(bytes) {}
    void SetBigEndian(bool bigEndian) { bigEndian_ = bigEndian; }
    bool Seek(std::uint64_t offset) { return reader_.Seek(offset); }
    bool Skip(std::uint64_t count) { return reader_.Skip(count); }
    bool U16(std::uint16_t& out) {
        if (!reader_.U16(out)) {
            return false;
        }
        if (bigEndian_) {
            out = static_cast<std::uint16_t>((out >> 8) | (out << 8));
        }
        return true;
    }
    bool U32(std::uint32_t& out) {
        std::uint16_t first = 0;
        std::uint16_t second = 0;
        if (!U16(first) || !U16(second)) {
            return false;
        }
        out = bigEndian_ ? (std::uint32_t{first} << 16 | second)
                         : (std::uint32_t{second} << 16 | first);
        return true;
    }

  private:
    ByteReader reader_;
    bool bigEndian_ = false;
};

DecodeError Broken(std::string why) {
    return MakeError(DecodeErrorKind::Invalid, "EXIF " + std::move(why));
}

}  // namespace

Decoded<Orientation> ReadExifOrientation(std::span<const std::uint8_t> tiff) {
    TiffReader reader(tiff);
    std::uint16_t order = 0;
    std::uint16_t magic = 0;
    std::uint32_t directory = 0;
    if (!reader.U16(order) || (order != 0x4949 && order != 0x4D4D)) {  // "II" or "MM"
        return Broken("data without a byte order");
    }
    reader.SetBigEndian(order == 0x4D4D);
    if (!reader.U16(magic) || magic != 42 || !reader.U32(directory) || !reader.Seek(directory)) {
        return Broken("data without an image directory");
    }
    std::uint16_t entries = 0;
    if (!reader.U16(entries)) {
        return Broken("image directory cut short");
    }
    for (std::uint16_t entry = 0; entry < entries; ++entry) {
        std::uint16_t tag = 0;
        std::uint16_t type = 0;
        std::uint32_t count = 0;
        std::uint16_t value = 0;
        if (!reader.U16(tag) || !reader.U16(type) || !reader.U32(count) || !reader.U16(value) ||
            !reader.Skip(2)) {
            return Broken("image directory cut short");
        }
        if (tag == kOrientationTag) {
            if (type != kShortType || count != 1 || value < 1 || value > 8) {
                return Broken("orientation " + std::to_string(value) + " is none of 1 to 8");
            }
            return Orientation{value};
        }
    }
    return Broken("data without an orientation");
}

}  // namespace rastelle
