#include "text/PictureWriter.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "layout/Layout.h"
#include "picture/DigitStage.h"
#include "text/TileMapText.h"

namespace rastelle {

namespace {

constexpr std::string_view kEmptyLine = "\r\n";

// Rows of digits at one bit a pixel.
class BitPlane {
  public:
    void Reset(std::int32_t width, std::int32_t rows) {
        wordsPerRow_ = (static_cast<std::size_t>(width) + 63) / 64;
        words_.assign(wordsPerRow_ * static_cast<std::size_t>(rows), 0);
    }
    void SetRow(std::int32_t row, std::span<const std::uint8_t> digits) {
        std::uint64_t* const words = &words_[static_cast<std::size_t>(row) * wordsPerRow_];
        std::fill(words, words + wordsPerRow_, std::uint64_t{0});
        for (std::size_t x = 0; x < digits.size(); ++x) {
            words[x / 64] |= std::uint64_t{digits[x]} << (x % 64);
        }
    }
    void ReadRow(std::int32_t row, std::int32_t first, std::int32_t count,
                 std::vector<std::uint8_t>& digits) const {
        const std::uint64_t* const words = &words_[static_cast<std::size_t>(row) * wordsPerRow_];
        digits.resize(static_cast<std::size_t>(count));
        for (std::size_t i = 0; i < digits.size(); ++i) {
            const std::size_t x = static_cast<std::size_t>(first) + i;
            digits[i] = static_cast<std::uint8_t>((words[x / 64] >> (x % 64)) & 1U);
        }
    }
    // `count` digits from `first` on, digit i in bit i % 64 of out[i / 64], the rest 0.
    void ReadBits(std::int32_t row, std::int32_t first, std::int32_t count,
                  std::uint64_t* out) const {
        const std::uint64_t* const words = &words_[static_cast<std::size_t>(row) * wordsPerRow_];
        const std::size_t n = (static_cast<std::size_t>(count) + 63) / 64;
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t bit = static_cast<std::size_t>(first) + 64 * i;
            const std::size_t word = bit / 64;
            const std::size_t shift = bit % 64;
            std::uint64_t value = words[word] >> shift;
            if (shift != 0 && word + 1 < wordsPerRow_) {
                value |= words[word + 1] << (64 - shift);
            }
            out[i] = value;
        }
        if (const std::size_t rest = static_cast<std::size_t>(count) % 64; rest != 0) {
            out[n - 1] &= (std::uint64_t{1} << rest) - 1;
        }
    }
    bool AnyOne(std::int32_t first, std::int32_t top, std::int32_t width, std::int32_t height,
                std::vector<std::uint8_t>& scratch) const {
        for (std::int32_t row = top; row < top + height; ++row) {
            ReadRow(row, first, width, scratch);
            for (const std::uint8_t digit : scratch) {
                if (digit != 0) {
                    return true;
                }
            }
        }
        return false;
    }

  private:
    std::size_t wordsPerRow_ = 0;
    std::vector<std::uint64_t> words_;
};

struct Rows {
    std::span<const std::uint8_t> picture;
    std::span<const std::uint8_t> mask;
};

// One image's text from rows of digits that `rowOf(y)` gives.
template <class RowOf>
bool WriteLaidOut(RowEncoder& encoder, Layout& layout, std::int32_t width, std::int32_t height,
                  const ConversionSettings& settings, LayoutContent content, std::string_view label,
                  RowOf&& rowOf) {
    layout.Begin(width, height, settings, content);
    encoder.BeginText(width, height, settings, label);
    for (std::int32_t y = 0; y < height && !encoder.SinkFailed(); ++y) {
        const Rows rows = rowOf(y);
        if (content != LayoutContent::Mask) {
            encoder.NoteRow(rows.picture);  // mask bytes are not drawn
        }
        if (layout.AddRow(rows.picture, rows.mask)) {
            encoder.AppendLine(layout.Line());
        }
    }
    while (layout.Finish()) {
        encoder.AppendLine(layout.Line());
    }
    encoder.Finish();
    return !encoder.SinkFailed();
}

}  // namespace

PictureReport WritePicture(const PixelSource& source, const ConversionSettings& settings,
                           const AssemblerSyntax& syntax, std::string_view name, TextSink& sink,
                           bool separate, TileSet* tiles) {
    PictureReport report;
    RowEncoder encoder(syntax, &sink);
    Layout layout;
    const auto startImage = [&] {
        report.written = report.written && (!separate || settings.binary || sink.Write(kEmptyLine));
        separate = true;
        report.wroteImage = true;
        return report.written;
    };
    const auto label = [&](std::string_view suffix) {
        return name.empty() ? std::string() : std::string(name) + std::string(suffix);
    };
    const bool masked = settings.mask != MaskSource::None;
    const bool maskBlock = masked && settings.maskLayout == MaskLayout::Block;
    const std::int32_t width = source.Width();
    const std::int32_t height = source.Height();

    if (settings.cellWidth <= 0 || settings.cellHeight <= 0) {
        if (!startImage()) {
            return report;
        }
        encoder.Begin(width, height, settings, name);
        for (std::int32_t y = 0; y < height && !encoder.SinkFailed(); ++y) {
            encoder.AppendRow(source, y);
        }
        encoder.Finish();
        report.written = !encoder.SinkFailed();
        report.sawTransparent = encoder.Digits().SawTransparent();
        if (maskBlock && report.written && startImage()) {
            // The mask does not depend on the picture's digits: the source is read again
            // rather than holding the mask of the whole picture.
            DigitStage digits;
            digits.Begin(width, settings);
            report.written = WriteLaidOut(encoder, layout, width, height, settings,
                                          LayoutContent::Mask, label("_mask"), [&](std::int32_t y) {
                                              digits.Row(source, y);
                                              return Rows{digits.Mask(), {}};
                                          });
        }
        return report;
    }

    const std::int32_t cellWidth = settings.cellWidth;
    const std::int32_t cellHeight = settings.cellHeight;
    const std::int32_t columns = width / cellWidth;
    const std::int32_t cellRows = height / cellHeight;
    const bool down = settings.cellOrder == CellOrder::Columns;
    const std::int32_t bandRows = down ? cellRows * cellHeight : cellHeight;
    BitPlane picture;
    BitPlane mask;
    picture.Reset(width, bandRows);
    mask.Reset(masked ? width : 0, bandRows);
    DigitStage digits;
    digits.Begin(width, settings);
    std::vector<std::uint8_t> cellDigits;
    std::vector<std::uint8_t> cellMask;
    std::vector<std::string> cellNames;  // for the table of the cells' addresses
    const LayoutContent content =
        masked && !maskBlock ? LayoutContent::PictureWithMask : LayoutContent::Picture;

    if (!settings.unique) {
        tiles = nullptr;
    }
    TileMap map;
    if (tiles != nullptr) {
        map.columns = columns;
        map.rows = cellRows;
        map.entries.reserve(static_cast<std::size_t>(columns) * static_cast<std::size_t>(cellRows));
        map.flips.reserve(settings.mirror ? map.entries.capacity() : 0);
    }
    const std::size_t cellWords = (static_cast<std::size_t>(cellWidth) + 63) / 64;
    std::vector<std::uint64_t> cellBits(cellWords * static_cast<std::size_t>(cellHeight) *
                                        (masked ? 2 : 1));
    // The tile a cell is: its number, or that it is already written.
    const auto placeCell = [&](std::int32_t left, std::int32_t top) -> std::optional<std::int64_t> {
        for (std::int32_t y = 0; y < cellHeight; ++y) {
            const auto at = static_cast<std::size_t>(y) * cellWords;
            picture.ReadBits(top + y, left, cellWidth, cellBits.data() + at);
            if (masked) {
                mask.ReadBits(
                    top + y, left, cellWidth,
                    cellBits.data() + at + cellWords * static_cast<std::size_t>(cellHeight));
            }
        }
        const TileSet::Match match = tiles->Place(
            {cellBits, cellWords, cellWidth, cellHeight, masked ? 2 : 1}, settings.mirror);
        map.entries.push_back(match.tile + static_cast<std::uint32_t>(settings.mapBase));
        if (settings.mirror) {
            map.flips.push_back(match.flips);
        }
        return match.added ? std::optional<std::int64_t>(match.tile) : std::nullopt;
    };

    const auto writeCell = [&](std::int64_t number, std::int32_t left, std::int32_t top) {
        if (settings.skipEmpty && !picture.AnyOne(left, top, cellWidth, cellHeight, cellDigits)) {
            ++report.skippedCells;
            if (tiles != nullptr) {
                map.entries.push_back(static_cast<std::uint32_t>(settings.emptyIndex));
                if (settings.mirror) {
                    map.flips.push_back(0);
                }
            }
            return true;
        }
        if (tiles != nullptr) {
            const std::optional<std::int64_t> tile = placeCell(left, top);
            if (!tile) {
                return true;
            }
            number = *tile;
        }
        std::string cellName(tiles != nullptr ? std::string_view(tiles->Name()) : name);
        if (!cellName.empty()) {
            cellName += '_';
            cellName += std::to_string(number);
            if (settings.symbols) {
                cellNames.push_back(cellName);
            }
        }
        if (!startImage() || !WriteLaidOut(encoder, layout, cellWidth, cellHeight, settings,
                                           content, cellName, [&](std::int32_t y) {
                                               picture.ReadRow(top + y, left, cellWidth,
                                                               cellDigits);
                                               if (content == LayoutContent::PictureWithMask) {
                                                   mask.ReadRow(top + y, left, cellWidth, cellMask);
                                               }
                                               return Rows{cellDigits, cellMask};
                                           })) {
            return false;
        }
        return !maskBlock ||
               (startImage() &&
                WriteLaidOut(encoder, layout, cellWidth, cellHeight, settings, LayoutContent::Mask,
                             cellName.empty() ? cellName : cellName + "_mask", [&](std::int32_t y) {
                                 mask.ReadRow(top + y, left, cellWidth, cellMask);
                                 return Rows{cellMask, {}};
                             }));
    };

    for (std::int32_t band = 0; band < (down ? 1 : cellRows); ++band) {
        for (std::int32_t row = 0; row < bandRows; ++row) {
            picture.SetRow(row, digits.Row(source, band * cellHeight + row));
            if (masked) {
                mask.SetRow(row, digits.Mask());
            }
        }
        for (std::int32_t column = 0; column < columns && !down; ++column) {
            if (!writeCell(std::int64_t{band} * columns + column, column * cellWidth, 0)) {
                report.written = false;
                return report;
            }
        }
    }
    for (std::int32_t column = 0; column < columns && down; ++column) {
        for (std::int32_t row = 0; row < cellRows; ++row) {
            if (!writeCell(std::int64_t{column} * cellRows + row, column * cellWidth,
                           row * cellHeight)) {
                report.written = false;
                return report;
            }
        }
    }
    report.sawTransparent = digits.SawTransparent();
    if (tiles != nullptr) {
        const MapForm form = FormOfMap(map, settings);
        report.mapCells = static_cast<std::int64_t>(map.entries.size());
        report.mapWords = form.words;
        if (!form.refusal.empty()) {
            report.refusal = form.refusal;
            return report;
        }
        report.written = startImage() && WriteTileMap(map, form, MapTable::Entries, settings,
                                                      syntax, label("_map"), sink);
        if (report.written && settings.mirror && !settings.attrInMap) {
            report.written = startImage() && WriteTileMap(map, form, MapTable::Flips, settings,
                                                          syntax, label("_attr"), sink);
        }
    }
    // The tiles' table comes after the last frame's map, from the caller.
    if (settings.symbols && !name.empty() && tiles == nullptr) {
        report.written = sink.Write(RowEncoder::SymbolTable(syntax, name, cellNames));
    }
    return report;
}

}  // namespace rastelle
