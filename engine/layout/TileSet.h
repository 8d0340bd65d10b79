#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/ConversionSettings.h"

namespace rastelle {

// The flips a map entry's attribute names, in the Game Boy's attribute bits.
constexpr std::uint8_t kFlipHorizontal = 0x20;
constexpr std::uint8_t kFlipVertical = 0x40;
// With the flips in the map's words: bits 14 and 15, over an index of 14 bits.
constexpr std::uint32_t kWordFlipHorizontal = 0x4000;
constexpr std::uint32_t kWordFlipVertical = 0x8000;
constexpr std::uint32_t kWordIndexLimit = 0x4000;

// Each distinct cell once, numbered in the order cells first show it; shared by every frame of
// a picture. Holds only the distinct tiles, each as its digits at one bit a pixel.
class TileSet {
  public:
    explicit TileSet(std::string name = {}) : name_(std::move(name)) {}
    // Labels of tiles: NAME_K.
    const std::string& Name() const { return name_; }

    struct Match {
        std::uint32_t tile = 0;
        std::uint8_t flips = 0;  // kFlipHorizontal and kFlipVertical: how the tile is turned
        bool added = false;      // a new tile, numbered `tile`
    };
    // The cell's digits at one bit a pixel: `planes` (1, or 2 with the mask) of `height` rows
    // of `width` digits, each row in `wordsPerRow` words, its first digit in bit 0.
    struct CellBits {
        std::span<const std::uint64_t> words;
        std::size_t wordsPerRow;
        std::int32_t width;
        std::int32_t height;
        std::int32_t planes;
    };
    // The tile the cell is, as it is or, with `mirror`, flipped across, down or both; else a
    // new tile.
    Match Place(const CellBits& cell, bool mirror);
    std::uint32_t Count() const { return count_; }

  private:
    void MakeKey(const CellBits& cell, std::uint8_t flips);
    void Append(std::uint64_t bits, std::size_t count);

    // The tile whose key is key_, or none.
    std::optional<std::uint32_t> Find(std::uint64_t hash) const;
    static std::uint64_t Spread(std::uint64_t high);
    static std::uint64_t Hash(std::string_view key);
    void Add(std::uint64_t hash);

    std::string name_;
    // Open addressing: each slot the key's hash in its high half and the tile's number + 1 in
    // its low half (0: empty); the keys, all of one length, one after another in keys_.
    std::vector<std::uint64_t> slots_;
    std::string keys_;
    std::uint32_t count_ = 0;
    std::vector<std::uint8_t> turns_;  // each tile's turn to its key
    std::string key_;
    std::string turned_[4];                // the cell's key under each turn
    std::vector<std::uint64_t> keyWords_;  // the key as it is built, a bit at a time
    std::size_t keyBits_ = 0;
    std::vector<std::uint64_t> reversed_;  // a row flipped across
};

// One picture's map: an entry per cell in the cells' order, and each entry's flips.
struct TileMap {
    std::int32_t columns = 0;
    std::int32_t rows = 0;
    std::vector<std::uint32_t> entries;  // index plus --map-base, or --empty-index
    std::vector<std::uint8_t> flips;     // kFlipHorizontal | kFlipVertical, or 0
};

// How the map's entries are stored: a byte each while every one fits, else a word; the flips
// in words of their own when the settings put them in the map.
struct MapForm {
    bool words = false;
    std::string refusal;  // why the entries fit no word, or empty
};
MapForm FormOfMap(const TileMap& map, const ConversionSettings& settings);

}  // namespace rastelle
