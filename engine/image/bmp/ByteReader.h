#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace rastelle {

// Little-endian reads that check the bounds first; a failed read leaves the position alone.
class ByteReader {
  public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t Size() const { return bytes_.size(); }
    std::size_t Position() const { return position_; }
    std::size_t Remaining() const { return bytes_.size() - position_; }

    bool Seek(std::uint64_t offset) {
        if (offset > bytes_.size()) {
            return false;
        }
        position_ = static_cast<std::size_t>(offset);
        return true;
    }
    bool Skip(std::uint64_t count) {
        return count <= Remaining() && Seek(position_ + static_cast<std::size_t>(count));
    }

    bool U8(std::uint8_t& out) {
        if (Remaining() < 1) {
            return false;
        }
        out = bytes_[position_++];
        return true;
    }
    bool U16(std::uint16_t& out) {
        if (Remaining() < 2) {
            return false;
        }
        out = static_cast<std::uint16_t>(bytes_[position_] | (bytes_[position_ + 1] << 8));
        position_ += 2;
        return true;
    }
    bool U32(std::uint32_t& out) {
        if (Remaining() < 4) {
            return false;
        }
        out = std::uint32_t{bytes_[position_]} | (std::uint32_t{bytes_[position_ + 1]} << 8) |
              (std::uint32_t{bytes_[position_ + 2]} << 16) |
              (std::uint32_t{bytes_[position_ + 3]} << 24);
        position_ += 4;
        return true;
    }
    bool I32(std::int32_t& out) {
        std::uint32_t raw = 0;
        if (!U32(raw)) {
            return false;
        }
        out = static_cast<std::int32_t>(raw);
        return true;
    }
    bool I16(std::int16_t& out) {
        std::uint16_t raw = 0;
        if (!U16(raw)) {
            return false;
        }
        out = static_cast<std::int16_t>(raw);
        return true;
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

}  // namespace rastelle
