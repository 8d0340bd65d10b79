#include "TileSet.h"

#include <algorithm>
#include <functional>

namespace rastelle {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// The literal of `value`, a byte or a word,, as the radix and syntax spell it.
void AppendLiteral(std::string& text, std::uint32_t value, bool word, Radix radix,
                   const AssemblerSyntax& syntax) {
    constexpr std::string_view kHex = "0123456789ABCDEF";
    if (radix == Radix::Decimal) {
        text += std::to_string(value);
    } else if (radix == Radix::Hex) {
        text += syntax.hexPrefix;
        const int top = word ? 12 : 4;
        if (syntax.hexLeadingDigit && ((value >> top) & 15U) >= 10) {
            text += '0';
        }
        for (int shift = top; shift >= 0; shift -= 4) {
            text += kHex[(value >> shift) & 15U];
        }
        text += syntax.hexSuffix;
    } else {
        text += syntax.literalPrefix;
        for (int bit = word ? 15 : 7; bit >= 0; --bit) {
            text += ((value >> bit) & 1U) != 0 ? '1' : '0';
        }
        text += syntax.literalSuffix;
    }
}

}  // namespace

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

bool WriteTileMap(const TileMap& map, const MapForm& form, MapTable table,
                  const ConversionSettings& settings, const AssemblerSyntax& syntax,
                  std::string_view label, TextSink& sink) {
    const bool c = syntax.kind != TextKind::Assembler;
    const bool words = table == MapTable::Entries && form.words;
    Radix radix = settings.radix == Radix::Default ? Radix::Decimal : settings.radix;
    if (c && radix == Radix::Binary) {
        radix = Radix::Hex;
    }
    const std::string_view byteDirective = syntax.directive;
    const std::string_view directive = !words                            ? byteDirective
                                       : syntax.twoByteDirective.empty() ? syntax.wordDirective
                                                                         : syntax.twoByteDirective;
    const std::string name(label.empty() && c ? std::string_view("map") : label);

    const auto valueAt = [&](std::size_t i) {
        if (table == MapTable::Flips) {
            return std::uint32_t{map.flips[i]};
        }
        std::uint32_t value = map.entries[i];
        if (settings.attrInMap) {
            value |= ((map.flips[i] & kFlipHorizontal) != 0 ? kWordFlipHorizontal : 0) |
                     ((map.flips[i] & kFlipVertical) != 0 ? kWordFlipVertical : 0);
        }
        return value;
    };
    std::string text;
    if (settings.binary) {
        // Words low byte first, as the Z80 and the 6502 read them; a header number above 255
        // is cut to its low byte, as the directive's byte holds it.
        if (settings.header) {
            text += static_cast<char>(map.columns);
            text += static_cast<char>(map.rows);
        }
        for (std::size_t i = 0; i < map.entries.size(); ++i) {
            const std::uint32_t value = valueAt(i);
            text += static_cast<char>(value & 0xFF);
            if (words) {
                text += static_cast<char>(value >> 8);
            }
            if (text.size() >= TextSink::kDefaultBlockBytes) {
                if (!sink.Write(text)) {
                    return false;
                }
                text.clear();
            }
        }
        return sink.Write(text);
    }
    if (settings.symbols && table == MapTable::Entries && !name.empty()) {
        // The bytes of an entry, for code that steps through the map.
        text += syntax.equatePrefix;
        text += name + "_width";
        text += syntax.equateInfix;
        text += words ? '2' : '1';
        text += kLineEnd;
    }
    bool lineBefore = false;
    if (c) {
        if (settings.header) {
            for (const auto& [side, value] :
                 {std::pair{"_WIDTH ", map.columns}, std::pair{"_HEIGHT ", map.rows}}) {
                text += "#define " + name + side + std::to_string(value);
                text += kLineEnd;
            }
        }
        text += words ? "static const unsigned short " : "static const unsigned char ";
        text += name + "[] = {";
        lineBefore = true;
    } else {
        if (!name.empty()) {
            text += name;
            text += syntax.labelSuffix;
            lineBefore = true;
        }
        if (settings.header) {
            if (lineBefore) {
                text += kLineEnd;
            }
            text += '\t';
            text += byteDirective;
            text += ' ' + std::to_string(map.columns) + ',' + std::to_string(map.rows);
            lineBefore = true;
        }
    }
    const std::string_view separator = c ? ", " : ",";
    const auto startLine = [&] {
        if (lineBefore) {
            text += kLineEnd;
        }
        lineBefore = true;
        text += '\t';
        if (!c) {
            text += directive;
            text += ' ';
        }
    };
    const std::size_t across =
        static_cast<std::size_t>(settings.cellOrder == CellOrder::Columns ? map.rows : map.columns);
    const auto perLine = static_cast<std::size_t>(settings.perLine);
    for (std::size_t i = 0; i < map.entries.size(); ++i) {
        const std::size_t inLine = i % std::max<std::size_t>(across, 1);
        if (inLine == 0 || (perLine > 0 && inLine % perLine == 0)) {
            if (i != 0 && c) {
                text += ',';
            }
            startLine();
        } else {
            text += separator;
        }
        AppendLiteral(text, valueAt(i), words, radix, syntax);
        if (text.size() >= TextSink::kDefaultBlockBytes) {
            if (!sink.Write(text)) {
                return false;
            }
            text.clear();
        }
    }
    if (c) {
        text += map.entries.empty() ? "" : ",";
        text += kLineEnd;
        text += "};";
    }
    text += kLineEnd;
    return sink.Write(text);
}

}  // namespace rastelle
