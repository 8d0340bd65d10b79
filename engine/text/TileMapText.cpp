#include "text/TileMapText.h"

#include <string>

#include "common/TextSize.h"

namespace rastelle {

namespace {

// The literal of `value`, a byte or a word, as the radix and syntax spell it.
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
