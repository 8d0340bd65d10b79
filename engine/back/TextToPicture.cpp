#include "back/TextToPicture.h"

#include <algorithm>

#include "layout/TileSet.h"

namespace rastelle {

namespace {

const char* const kHeaderExpected =
    "expected a header line of two numbers, the width and the height (or --no-header with "
    "--size WxH)";

constexpr std::uint32_t kEmptyCell = 0xFFFFFFFFU;

std::string Cells(std::int64_t columns, std::int64_t rows) {
    return std::to_string(columns) + " x " + std::to_string(rows) + " cells";
}

}  // namespace

TextToPicture::TextToPicture(const ReverseSettings& settings, PictureTarget& target)
    : settings_(settings), target_(target) {}

void TextToPicture::BeginFile() {
    reader_.emplace(static_cast<TextEvents&>(*this));
}

bool TextToPicture::Fail(std::string error, std::int64_t line) {
    if (error_.empty()) {
        error_ = std::move(error);
        line_ = line;
    }
    return false;
}

bool TextToPicture::Feed(std::string_view text) {
    if (settings_.settings.binary) {
        return error_.empty() && FeedBytes(text);
    }
    return error_.empty() && (reader_->Feed(text) || Fail(reader_->Error(), reader_->Line()));
}

bool TextToPicture::FeedBytes(std::string_view bytes) {
    for (const char byte : bytes) {
        std::string result;
        if (!lineOpen_) {
            result = BeginValues();
            lineOpen_ = true;
        }
        if (result.empty()) {
            result = Value(static_cast<std::uint8_t>(byte));
        }
        // A line ends with the header's two numbers, or with a line of the layout.
        if (result.empty() && count_ == (sized_ ? values_.size() : 2)) {
            result = EndValues();
            lineOpen_ = false;
        }
        if (!result.empty()) {
            return Fail(std::move(result), 1);
        }
    }
    return true;
}

bool TextToPicture::EndFile() {
    if (!error_.empty()) {
        return false;
    }
    if (!reader_->Finish()) {
        return Fail(reader_->Error(), reader_->Line());
    }
    std::string ended = EndImage();
    if (ended.empty() && awaitingMask_) {
        ended = "expected the mask " + pictureLabel_ + "_mask after " + pictureLabel_;
    }
    if (ended.empty() && awaitingFlips_) {
        ended = "expected the flips " + mapLabel_ + "_attr after " + mapLabel_ + "_map";
    }
    return ended.empty() || Fail(std::move(ended), reader_->LastLine());
}

bool TextToPicture::Finish() {
    if (!error_.empty()) {
        return false;
    }
    const std::int64_t last = reader_ ? reader_->LastLine() : 1;
    if (!sawImage_) {
        return Fail("expected an image: a line of numbers after a directive such as .db", last);
    }
    if (!settings_.label.empty() && !sawPicked_) {
        return Fail("expected an image labelled " + settings_.label, last);
    }
    return true;
}

std::string TextToPicture::Name() const {
    return label_.empty() ? "the image" : label_;
}

std::string TextToPicture::Label(std::string_view name) {
    if (std::string ended = EndImage(); !ended.empty()) {
        return ended;
    }
    if (!labels_.emplace(name).second) {
        return "expected each label once; " + std::string(name) + " came before";
    }
    if (awaitingMask_) {
        if (name != pictureLabel_ + "_mask") {
            return "expected the mask " + pictureLabel_ + "_mask after " + pictureLabel_ +
                   ", not " + std::string(name);
        }
        return StartImage(std::string(name), true);
    }
    if (awaitingFlips_ && name != mapLabel_ + "_attr") {
        return "expected the flips " + mapLabel_ + "_attr after " + mapLabel_ + "_map, not " +
               std::string(name);
    }
    return StartImage(std::string(name), false);
}

std::string TextToPicture::StartImage(std::string label, bool mask) {
    inImage_ = true;
    sawImage_ = true;
    label_ = std::move(label);
    maskImage_ = mask;
    sized_ = false;
    if (settings_.settings.unique && !mask) {
        if (std::string error = StartTilePart(); !error.empty()) {
            return error;
        }
    }
    if (settings_.settings.header) {
        return {};
    }
    if (part_ == Part::Flips) {
        return MapHeader(mapColumns_, mapRows_);
    }
    if (part_ == Part::Map && settings_.width > 0) {
        const ConversionSettings& settings = settings_.settings;
        if (settings_.width % settings.cellWidth != 0 ||
            settings_.height % settings.cellHeight != 0) {
            return "expected --size " + std::to_string(settings_.width) + "x" +
                   std::to_string(settings_.height) + " to be a whole number of " +
                   Cells(settings.cellWidth, settings.cellHeight);
        }
        return MapHeader(settings_.width / settings.cellWidth,
                         settings_.height / settings.cellHeight);
    }
    const auto size = ExpectedSize();
    if (!size) {
        return kHeaderExpected;
    }
    return BeginPicture(size->first, size->second);
}

std::optional<std::pair<std::int64_t, std::int64_t>> TextToPicture::ExpectedSize() const {
    if (part_ == Part::Tile) {
        return std::pair{std::int64_t{settings_.settings.cellWidth},
                         std::int64_t{settings_.settings.cellHeight}};
    }
    if (settings_.width > 0) {
        return std::pair{std::int64_t{settings_.width}, std::int64_t{settings_.height}};
    }
    return std::nullopt;
}

std::string TextToPicture::StartTilePart() {
    const std::string_view name = label_;
    if (std::exchange(awaitingFlips_, false)) {
        part_ = Part::Flips;
        flips_.clear();
        return {};
    }
    if (name.empty()) {
        return "expected a label: tiles (NAME_0, NAME_1...) and maps (NAME_map) are labelled";
    }
    if (name.size() > 4 && name.ends_with("_map")) {
        part_ = Part::Map;
        mapLabel_ = name.substr(0, name.size() - 4);
        // A frame's map, NAME_F_map, draws with the tiles NAME.
        std::string set = mapLabel_;
        auto found = tileSets_.find(set);
        const std::size_t under = set.rfind('_');
        if (found == tileSets_.end() && under != std::string::npos) {
            set.resize(under);
            found = tileSets_.find(set);
        }
        if (found == tileSets_.end()) {
            return "expected the tiles " + set + "_0, " + set + "_1... before the map " +
                   std::string(name);
        }
        tiles_ = &found->second;
        entries_.clear();
        flips_.clear();
        return {};
    }
    const std::size_t under = name.rfind('_');
    const std::string_view digits = name.substr(under == std::string_view::npos ? 0 : under + 1);
    if (under == std::string_view::npos || digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return "expected a tile NAME_0, NAME_1... or a map NAME_map" +
               std::string(settings_.settings.mirror && !settings_.settings.attrInMap
                               ? " and its flips NAME_attr"
                               : "") +
               ", not " + std::string(name);
    }
    part_ = Part::Tile;
    const std::string set(name.substr(0, under));
    tiles_ = &tileSets_[set];
    if (std::to_string(tiles_->count) != digits) {
        return "expected the tile " + set + "_" + std::to_string(tiles_->count) + " next, not " +
               std::string(name);
    }
    return {};
}

bool TextToPicture::TakesWords(std::string_view label) {
    if (!settings_.settings.unique) {
        return false;
    }
    return label.empty() ? inImage_ && part_ == Part::Map : label.ends_with("_map");
}

std::string TextToPicture::BeginValues() {
    if (!continued_) {
        count_ = 0;
    }
    if (!inImage_) {
        if (std::string started = StartImage(std::string(), false); !started.empty()) {
            return started;
        }
    }
    if (sized_ && !IsMap() && layout_.LinesRead() == layout_.Lines() && !continued_) {
        return "expected a label or the end: " + Name() + " is complete after " +
               std::to_string(layout_.Lines()) + " lines";
    }
    return {};
}

std::string TextToPicture::Value(std::uint32_t value) {
    if (!sized_) {
        if (count_ == 2) {
            return kHeaderExpected;
        }
        header_[count_++] = value;
        return {};
    }
    if (IsMap()) {
        return MapValue(value);
    }
    if (count_ == values_.size()) {
        return "expected " + std::to_string(values_.size()) + " numbers in each line of " + Name() +
               ", not more";
    }
    if (value > 255) {
        return "expected numbers from 0 to 255, not " + std::to_string(value);
    }
    values_[count_++] = static_cast<std::uint8_t>(value);
    return {};
}

std::string TextToPicture::EndValues() {
    if (!sized_) {
        return count_ == 2 ? Header(header_[0], header_[1]) : kHeaderExpected;
    }
    if (IsMap()) {
        return {};  // a map's lines are its rows of cells, but only the entries count
    }
    // A line of the layout cut into text lines of perLine numbers goes on.
    const auto perLine = static_cast<std::size_t>(settings_.settings.perLine);
    continued_ = perLine > 0 && count_ < values_.size() && count_ % perLine == 0;
    if (continued_) {
        return {};
    }
    if (std::string added = layout_.AddLine({values_.data(), count_}); !added.empty()) {
        return added;
    }
    if (part_ == Part::Tile) {
        const auto width = static_cast<std::size_t>(settings_.settings.cellWidth);
        const std::size_t plane = width * static_cast<std::size_t>(settings_.settings.cellHeight);
        for (std::int32_t i = 0; i < layout_.RowCount(); ++i) {
            std::uint8_t* const row = tiles_->digits.data() + tileAt_ +
                                      static_cast<std::size_t>(layout_.FirstRow() + i) * width;
            const std::span<const std::uint8_t> digits = layout_.Picture(i);
            std::copy(digits.begin(), digits.end(), row + (maskImage_ ? plane : 0));
            const std::span<const std::uint8_t> mask = layout_.Mask(i);
            std::copy(mask.begin(), mask.end(), row + plane);
        }
    }
    if (picture_ != nullptr) {
        for (std::int32_t i = 0; i < layout_.RowCount(); ++i) {
            if (maskImage_) {
                picture_->SetMaskRow(layout_.FirstRow() + i, layout_.Picture(i));
            } else {
                picture_->SetRow(layout_.FirstRow() + i, layout_.Picture(i), layout_.Mask(i));
            }
        }
    }
    return {};
}

std::string TextToPicture::Size(std::uint32_t width, std::uint32_t height) {
    if (!settings_.settings.header || sized_) {
        return {};
    }
    if (IsMap()) {
        return MapHeader(width, height);
    }
    if (const auto size = ExpectedSize();
        size && (size->first != width || size->second != height)) {
        return "expected the size " + std::to_string(size->first) + "x" +
               std::to_string(size->second) + " that " +
               (part_ == Part::Tile ? "--cell" : "--size") + " gives, not " +
               std::to_string(width) + "x" + std::to_string(height);
    }
    return BeginPicture(width, height);
}

std::string TextToPicture::Header(std::uint32_t width, std::uint32_t height) {
    const ConversionSettings& settings = settings_.settings;
    if (IsMap()) {
        return MapHeader(width, height);
    }
    if (const auto size = ExpectedSize()) {
        const auto [headerWidth, headerHeight] =
            Layout::HeaderSize(size->first, size->second, settings);
        if (headerWidth != width || headerHeight != height) {
            return "expected the header " + std::to_string(headerWidth) + "," +
                   std::to_string(headerHeight) + " that a picture of " +
                   std::to_string(size->first) + "x" + std::to_string(size->second) +
                   " makes with these options, not " + std::to_string(width) + "," +
                   std::to_string(height);
        }
        return BeginPicture(size->first, size->second);
    }
    const bool inBytes = settings.layout != ByteLayout::Pages &&
                         settings.widthUnit == WidthUnit::Bytes && settings.fill != FillMode::None;
    return BeginPicture(std::int64_t{width} * (inBytes ? 8 : 1), height);
}

std::string TextToPicture::PictureSizeError(std::int64_t width, std::int64_t height) const {
    const bool png = settings_.format == PictureFormat::Png;
    if (width < 1 || height < (png ? 1 : 0) || width > limits::kMaxSide ||
        height > limits::kMaxSide) {
        return "expected a width from 1 and a height from " + std::string(png ? "1" : "0") +
               " to " + std::to_string(limits::kMaxSide) + " pixels, not " + std::to_string(width) +
               "x" + std::to_string(height);
    }
    if (png && static_cast<std::uint64_t>(width * height) > settings_.maxPixels) {
        return "expected a picture of at most " + std::to_string(settings_.maxPixels) +
               " pixels, not " + std::to_string(width) + "x" + std::to_string(height);
    }
    return {};
}

std::string TextToPicture::BeginPicture(std::int64_t width, std::int64_t height) {
    if (std::string error = PictureSizeError(width, height); !error.empty()) {
        return error;
    }
    const auto w = static_cast<std::int32_t>(width);
    const auto h = static_cast<std::int32_t>(height);
    const ConversionSettings& settings = settings_.settings;
    const bool masked = settings.mask != MaskSource::None;
    const bool block = masked && settings.maskLayout == MaskLayout::Block;
    layout_.Begin(w, h, settings,
                  maskImage_         ? LayoutContent::Mask
                  : masked && !block ? LayoutContent::PictureWithMask
                                     : LayoutContent::Picture);
    values_.assign(layout_.LineValues(), 0);
    sized_ = true;
    if (maskImage_) {
        if (width != pictureWidth_ || height != pictureHeight_) {
            return "expected the mask as big as its picture, " + std::to_string(pictureWidth_) +
                   "x" + std::to_string(pictureHeight_) + ", not " + std::to_string(width) + "x" +
                   std::to_string(height);
        }
        return {};
    }
    pictureLabel_ = label_;
    pictureWidth_ = width;
    pictureHeight_ = height;
    if (part_ == Part::Tile) {
        // Every tile is held, with its mask, until the last map has been drawn.
        const std::uint64_t pixels = static_cast<std::uint64_t>(width * height) *
                                     (settings.mask != MaskSource::None ? 2U : 1U);
        if (tilePixels_ + pixels > settings_.maxPixels) {
            return "expected tiles of at most " + std::to_string(settings_.maxPixels) +
                   " pixels in all";
        }
        tilePixels_ += pixels;
        tileAt_ = tiles_->digits.size();
        tiles_->digits.resize(tileAt_ + static_cast<std::size_t>(pixels), 0);
        ++tiles_->count;
        return {};
    }
    TextSink* sink = nullptr;
    if (const Outlet outlet = OpenPicture(label_, sink); outlet != Outlet::Open) {
        return outlet == Outlet::Failed ? Unwritten() : std::string{};
    }
    picture_ = std::make_unique<PictureFile>(settings_.format, w, h, settings, *sink);
    return {};
}

TextToPicture::Outlet TextToPicture::OpenPicture(const std::string& label, TextSink*& sink) {
    sink = nullptr;
    if (!settings_.label.empty() && settings_.label != label) {
        return Outlet::Skipped;
    }
    sawPicked_ = true;
    if (!settings_.write) {
        if (target_.Plan(label)) {
            return Outlet::Skipped;
        }
    } else {
        sink = target_.Open(label);
    }
    return sink != nullptr ? Outlet::Open : Outlet::Failed;
}

std::string TextToPicture::Unwritten() {
    writeFailed_ = true;
    return "could not write the picture";
}

std::string TextToPicture::EndImage() {
    if (!inImage_) {
        return {};
    }
    if (!sized_) {
        return std::string(kHeaderExpected) + " for " + Name();
    }
    if (IsMap()) {
        return EndMap();
    }
    if (layout_.LinesRead() < layout_.Lines()) {
        return "expected " + std::to_string(layout_.Lines()) + " lines of numbers for " + Name() +
               ", not " + std::to_string(layout_.LinesRead());
    }
    inImage_ = false;
    const bool block = settings_.settings.mask != MaskSource::None &&
                       settings_.settings.maskLayout == MaskLayout::Block;
    awaitingMask_ = block && !maskImage_;
    if (awaitingMask_ || picture_ == nullptr) {
        return {};
    }
    const bool written = picture_->Finish();
    picture_.reset();
    ++pictures_;
    return written ? std::string{} : Unwritten();
}

std::string TextToPicture::MapHeader(std::int64_t columns, std::int64_t rows) {
    const ConversionSettings& settings = settings_.settings;
    if (part_ == Part::Flips) {
        if (columns != mapColumns_ || rows != mapRows_) {
            return "expected the flips " + label_ + " as big as their map, " +
                   Cells(mapColumns_, mapRows_) + ", not " + Cells(columns, rows);
        }
    } else {
        if (settings_.width > 0 && (columns * settings.cellWidth != settings_.width ||
                                    rows * settings.cellHeight != settings_.height)) {
            return "expected a map of " +
                   Cells(settings_.width / settings.cellWidth,
                         settings_.height / settings.cellHeight) +
                   " that --size and --cell give, not " + Cells(columns, rows);
        }
        if (std::string error =
                PictureSizeError(columns * settings.cellWidth, rows * settings.cellHeight);
            !error.empty()) {
            return error;
        }
        mapColumns_ = columns;
        mapRows_ = rows;
    }
    sized_ = true;
    return {};
}

std::string TextToPicture::MapValue(std::uint32_t value) {
    const ConversionSettings& settings = settings_.settings;
    const bool flipsPart = part_ == Part::Flips;
    const auto cells = static_cast<std::size_t>(mapColumns_ * mapRows_);
    if ((flipsPart ? flips_.size() : entries_.size()) == cells) {
        return "expected " + std::to_string(cells) + " entries in " + label_ + " (" +
               Cells(mapColumns_, mapRows_) + "), not more";
    }
    if (flipsPart) {
        if (value > 255) {
            return "expected flips from 0 to 255, not " + std::to_string(value);
        }
        // Other bits (a palette, a bank) draw nothing here.
        flips_.push_back(static_cast<std::uint8_t>(value & (kFlipHorizontal | kFlipVertical)));
        return {};
    }
    if (value > 65535) {
        return "expected map entries from 0 to 65535, not " + std::to_string(value);
    }
    std::uint32_t index = value;
    if (settings.attrInMap) {
        index = value % kWordIndexLimit;
        flips_.push_back(
            static_cast<std::uint8_t>(((value & kWordFlipHorizontal) != 0 ? kFlipHorizontal : 0) |
                                      ((value & kWordFlipVertical) != 0 ? kFlipVertical : 0)));
    }
    const auto base = static_cast<std::uint32_t>(settings.mapBase);
    const bool namesTile = index >= base && index - base < tiles_->count;
    if (settings.skipEmpty && value == static_cast<std::uint32_t>(settings.emptyIndex)) {
        if (namesTile) {
            return "expected entries that are either --empty-index " + std::to_string(value) +
                   " or a tile, not both: " + std::to_string(value) + " is also tile " +
                   std::to_string(index - base) +
                   " (convert with an --empty-index that no tile takes)";
        }
        entries_.push_back(kEmptyCell);
        return {};
    }
    if (!namesTile) {
        return "expected map entries from " + std::to_string(base) + " to " +
               std::to_string(base + tiles_->count - 1) + ", the tiles read before " + label_ +
               ", not " + std::to_string(value);
    }
    entries_.push_back(index - base);
    return {};
}

std::string TextToPicture::EndMap() {
    inImage_ = false;
    const auto cells = static_cast<std::size_t>(mapColumns_ * mapRows_);
    const std::size_t read = part_ == Part::Flips ? flips_.size() : entries_.size();
    if (read < cells) {
        return "expected " + std::to_string(cells) + " entries in " + label_ + " (" +
               Cells(mapColumns_, mapRows_) + "), not " + std::to_string(read);
    }
    const ConversionSettings& settings = settings_.settings;
    if (part_ == Part::Map && settings.mirror && !settings.attrInMap) {
        awaitingFlips_ = true;
        return {};
    }
    return DrawMap();
}

std::string TextToPicture::DrawMap() {
    TextSink* sink = nullptr;
    if (const Outlet outlet = OpenPicture(mapLabel_, sink); outlet != Outlet::Open) {
        return outlet == Outlet::Failed ? Unwritten() : std::string{};
    }
    const ConversionSettings& settings = settings_.settings;
    const auto cellWidth = static_cast<std::size_t>(settings.cellWidth);
    const auto cellHeight = static_cast<std::size_t>(settings.cellHeight);
    const auto columns = static_cast<std::size_t>(mapColumns_);
    const auto rows = static_cast<std::size_t>(mapRows_);
    const std::size_t plane = cellWidth * cellHeight;
    const bool masked = settings.mask != MaskSource::None;
    const std::size_t tileSize = plane * (masked ? 2 : 1);
    // A cell left out as empty: no digit, and with a mask nothing drawn.
    const std::uint8_t clear = settings.maskBit == MaskBit::Transparent ? 1 : 0;
    PictureFile picture(settings_.format, static_cast<std::int32_t>(columns * cellWidth),
                        static_cast<std::int32_t>(rows * cellHeight), settings, *sink);
    std::vector<std::uint8_t> digits(columns * cellWidth);
    std::vector<std::uint8_t> mask(masked ? digits.size() : 0);
    for (std::size_t y = 0; y < rows * cellHeight; ++y) {
        const std::size_t cellRow = y / cellHeight;
        for (std::size_t column = 0; column < columns; ++column) {
            const std::size_t i = settings.cellOrder == CellOrder::Columns
                                      ? column * rows + cellRow
                                      : cellRow * columns + column;
            std::uint8_t* const to = digits.data() + column * cellWidth;
            std::uint8_t* const maskTo = masked ? mask.data() + column * cellWidth : nullptr;
            if (entries_[i] == kEmptyCell) {
                std::fill_n(to, cellWidth, 0);
                if (masked) {
                    std::fill_n(maskTo, cellWidth, clear);
                }
                continue;
            }
            // The cell is its tile turned by its flips.
            const std::uint8_t flips = flips_.empty() ? 0 : flips_[i];
            const std::size_t inTile = y % cellHeight;
            const std::size_t from =
                (flips & kFlipVertical) != 0 ? cellHeight - 1 - inTile : inTile;
            const std::uint8_t* const row =
                tiles_->digits.data() + entries_[i] * tileSize + from * cellWidth;
            for (std::size_t x = 0; x < cellWidth; ++x) {
                const std::size_t at = (flips & kFlipHorizontal) != 0 ? cellWidth - 1 - x : x;
                to[x] = row[at];
                if (masked) {
                    maskTo[x] = row[plane + at];
                }
            }
        }
        picture.SetRow(static_cast<std::int32_t>(y), digits, mask);
    }
    ++pictures_;
    return picture.Finish() ? std::string{} : Unwritten();
}

}  // namespace rastelle
