#include "layout/TileSet.h"

#include <algorithm>
#include <functional>

namespace rastelle {

namespace {

std::uint64_t Reverse64(std::uint64_t v) {
    v = ((v >> 1) & 0x5555555555555555U) | ((v & 0x5555555555555555U) << 1);
    v = ((v >> 2) & 0x3333333333333333U) | ((v & 0x3333333333333333U) << 2);
    v = ((v >> 4) & 0x0F0F0F0F0F0F0F0FU) | ((v & 0x0F0F0F0F0F0F0F0FU) << 4);
    v = ((v >> 8) & 0x00FF00FF00FF00FFU) | ((v & 0x00FF00FF00FF00FFU) << 8);
    v = ((v >> 16) & 0x0000FFFF0000FFFFU) | ((v & 0x0000FFFF0000FFFFU) << 16);
    return (v >> 32) | (v << 32);
}

}  // namespace

// The slot of a key comes from its hash's high half, so that growing the table needs no key.
std::uint64_t TileSet::Spread(std::uint64_t high) {
    return high * 0x9E3779B97F4A7C15U >> 20;
}

std::uint64_t TileSet::Hash(std::string_view key) {
    // std::hash gives 32 bits on 32-bit targets: the product spreads them over the high half.
    const std::uint64_t high =
        (std::uint64_t{std::hash<std::string_view>{}(key)} * 0x9E3779B97F4A7C15U) >> 32;
    return (high << 32) | (Spread(high) & 0xFFFFFFFFU);
}

void TileSet::Append(std::uint64_t bits, std::size_t count) {
    const std::size_t at = keyBits_ % 64;
    if (at == 0) {
        keyWords_.push_back(bits);
    } else {
        keyWords_.back() |= bits << at;
        if (at + count > 64) {
            keyWords_.push_back(bits >> (64 - at));
        }
    }
    keyBits_ += count;
}

void TileSet::MakeKey(const CellBits& cell, std::uint8_t flips) {
    const auto width = static_cast<std::size_t>(cell.width);
    const auto height = static_cast<std::size_t>(cell.height);
    const bool across = (flips & kFlipHorizontal) != 0;
    const bool down = (flips & kFlipVertical) != 0;
    keyWords_.clear();
    keyBits_ = 0;
    for (std::size_t plane = 0; plane < static_cast<std::size_t>(cell.planes); ++plane) {
        for (std::size_t y = 0; y < height; ++y) {
            const std::uint64_t* row =
                cell.words.data() +
                (plane * height + (down ? height - 1 - y : y)) * cell.wordsPerRow;
            if (across && width <= 64) {
                Append(Reverse64(row[0]) >> (64 - width), width);
                continue;
            }
            if (across) {
                reversed_.assign(cell.wordsPerRow, 0);
                for (std::size_t x = 0; x < width; ++x) {
                    const std::size_t from = width - 1 - x;
                    reversed_[x / 64] |= ((row[from / 64] >> (from % 64)) & 1U) << (x % 64);
                }
                row = reversed_.data();
            }
            for (std::size_t x = 0; x < width; x += 64) {
                Append(row[x / 64], std::min<std::size_t>(64, width - x));
            }
        }
    }
    key_.assign(reinterpret_cast<const char*>(keyWords_.data()), (keyBits_ + 7) / 8);
}

std::optional<std::uint32_t> TileSet::Find(std::uint64_t hash) const {
    if (slots_.empty()) {
        return std::nullopt;
    }
    const std::size_t mask = slots_.size() - 1;
    for (auto i = static_cast<std::size_t>(hash & mask); slots_[i] != 0; i = (i + 1) & mask) {
        const auto tile = static_cast<std::uint32_t>(slots_[i] & 0xFFFFFFFFU) - 1;
        if ((slots_[i] >> 32) == (hash >> 32) &&
            keys_.compare(std::size_t{tile} * key_.size(), key_.size(), key_) == 0) {
            return tile;
        }
    }
    return std::nullopt;
}

void TileSet::Add(std::uint64_t hash) {
    // At most half full, so that a search for a cell not yet stored ends soon.
    if (2 * (std::size_t{count_} + 1) > slots_.size()) {
        std::vector<std::uint64_t> old(std::max<std::size_t>(64, 2 * slots_.size()), 0);
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (const std::uint64_t slot : old) {
            if (slot != 0) {
                // The low half of the stored hash is gone; the high half places the slot.
                auto i = static_cast<std::size_t>(Spread(slot >> 32) & mask);
                while (slots_[i] != 0) {
                    i = (i + 1) & mask;
                }
                slots_[i] = slot;
            }
        }
    }
    const std::size_t mask = slots_.size() - 1;
    auto i = static_cast<std::size_t>(hash & mask);
    while (slots_[i] != 0) {
        i = (i + 1) & mask;
    }
    slots_[i] = (hash & 0xFFFFFFFF00000000U) | (std::uint64_t{count_} + 1);
    keys_ += key_;
}

TileSet::Match TileSet::Place(const CellBits& cell, bool mirror) {
    // With flips, a tile is stored under the least of its four turned keys, so that one search
    // finds it however the cell is turned. Flips are their own inverse and combine as exclusive
    // or: the cell turned by `turn` is the key, and the key is the tile turned by its own turn,
    // so the cell is the tile turned by both.
    constexpr std::uint8_t kFlips[] = {0, kFlipHorizontal, kFlipVertical,
                                       kFlipHorizontal | kFlipVertical};
    MakeKey(cell, 0);
    std::uint8_t turn = 0;
    if (mirror) {
        turned_[0] = key_;
        std::size_t least = 0;
        for (std::size_t i = 1; i < 4; ++i) {
            MakeKey(cell, kFlips[i]);
            turned_[i] = key_;
            if (turned_[i] < turned_[least]) {
                least = i;
            }
        }
        key_ = turned_[least];
        turn = kFlips[least];
    }
    const std::uint64_t hash = Hash(key_);
    if (const std::optional<std::uint32_t> tile = Find(hash)) {
        // A cell alike under several turns takes the first of them (none before across).
        std::uint8_t flips = kFlipHorizontal | kFlipVertical;
        for (std::size_t i = 0; i < 4; ++i) {
            if (!mirror ? i == 0 : turned_[i] == key_) {
                flips = std::min<std::uint8_t>(
                    flips, static_cast<std::uint8_t>(turns_[*tile] ^ kFlips[i]));
            }
        }
        return {*tile, flips, false};
    }
    Add(hash);
    turns_.push_back(turn);
    return {count_++, 0, true};
}

MapForm FormOfMap(const TileMap& map, const ConversionSettings& settings) {
    std::uint32_t largest = 0;
    for (const std::uint32_t entry : map.entries) {
        largest = std::max(largest, entry);
    }
    MapForm form;
    if (settings.attrInMap) {
        form.words = true;
        if (largest >= kWordIndexLimit) {
            form.refusal = "the map's entries go up to " + std::to_string(largest) +
                           ", and with the flips in the map an entry holds at most " +
                           std::to_string(kWordIndexLimit - 1);
        }
        return form;
    }
    form.words = largest > 255;
    if (largest > 65535) {
        form.refusal = "the map's entries go up to " + std::to_string(largest) +
                       ", more than a word holds (65535)";
    }
    return form;
}

}  // namespace rastelle
