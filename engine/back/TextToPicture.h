#pragma once

// Back, the way back: takes text the text stage wrote (or a hand-written one in its forms)
// and gives the pictures it holds, written as image files.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "back/LayoutReader.h"
#include "back/PictureFile.h"
#include "back/TextReader.h"
#include "common/ConversionSettings.h"
#include "common/Limits.h"
#include "text/RowEncoder.h"

namespace rastelle {

// How to turn a text back into pictures: the options that made it, and where it goes.
struct ReverseSettings {
    ConversionSettings settings = {};
    // The picture's size in pixels. Needed without a header; with one it must agree with it,
    // and fill digits are dropped as fill and centre place them. Without it the header's
    // numbers are the size, and fill digits become pixels.
    std::int32_t width = 0;
    std::int32_t height = 0;
    PictureFormat format = PictureFormat::Png;
    std::string label = {};  // only the image with this label; empty: every image
    bool write = true;       // false: the text is only checked, the target only asked to plan
    std::uint64_t maxPixels = limits::kMaxDecodedPixels;  // a PNG holds them all at once
};

// Where the pictures go, one sink for each.
class PictureTarget {
  public:
    virtual ~PictureTarget() = default;
    // The sink for the picture labelled `label` (empty when the text gives none), or null
    // when it can't be made.
    virtual TextSink* Open(std::string_view label) = 0;
    // While the text is only checked: whether the picture labelled `label` could be opened
    // once every picture before it has been, so that a refusal comes before any is written.
    virtual bool Plan(std::string_view /*label*/) { return true; }
};

// Assembler text to pictures: each label starts an image (the text before any label is one
// too), its header line gives its size, then each line a row or a page of 8 rows (over
// several lines with literals a line). With settings.binary the input is the bytes instead:
// the header's two (unless --no-header), then the lines', one image. With a
// mask as a block of its own, image NAME_mask is the mask of image NAME before it.
// Holds one line's rows (a PBM written as they come) or one whole picture (PNG).
// With settings.unique the text is tiles and maps: tiles NAME_0, NAME_1... (each with its
// mask) are kept, and each map NAME_map (NAME_F_map for a frame), with its flips NAME_attr
// after it under --mirror, becomes the picture NAME (NAME_F): each entry's tile, flipped as
// its flips say, at its cell. Holds the tiles and one map, 5 bytes a cell.
class TextToPicture final : TextEvents {
  public:
    TextToPicture(const ReverseSettings& settings, PictureTarget& target);

    void BeginFile();
    // False once the text can't be turned back: Error() says what was expected at Line().
    bool Feed(std::string_view text);
    // Ends the file: its last image must be whole.
    bool EndFile();
    // After the last file: there must have been an image (the one --label names).
    bool Finish();

    const std::string& Error() const { return error_; }
    std::int64_t Line() const { return line_; }
    // The error is the target's: a sink could not be made or refused the picture.
    bool WriteFailed() const { return writeFailed_; }
    std::int64_t Pictures() const { return pictures_; }

  private:
    std::string Label(std::string_view name) override;
    std::string BeginValues() override;
    std::string Value(std::uint32_t value) override;
    std::string EndValues() override;
    std::string Size(std::uint32_t width, std::uint32_t height) override;
    bool TakesWords(std::string_view label) override;

    bool FeedBytes(std::string_view bytes);
    std::string StartImage(std::string label, bool mask);
    std::string Header(std::uint32_t width, std::uint32_t height);
    std::string BeginPicture(std::int64_t width, std::int64_t height);
    std::string EndImage();
    bool Fail(std::string error, std::int64_t line);
    std::string Name() const;
    std::string PictureSizeError(std::int64_t width, std::int64_t height) const;
    // The size in pixels the image being read must have, where options give it.
    std::optional<std::pair<std::int64_t, std::int64_t>> ExpectedSize() const;
    bool IsMap() const { return part_ == Part::Map || part_ == Part::Flips; }
    std::string StartTilePart();
    std::string MapHeader(std::int64_t columns, std::int64_t rows);
    std::string MapValue(std::uint32_t value);
    std::string EndMap();
    std::string DrawMap();
    // Where picture `label` goes: skipped when another label is picked or this pass only
    // plans it (planned well); failed when it can't be written.
    enum class Outlet { Open, Skipped, Failed };
    Outlet OpenPicture(const std::string& label, TextSink*& sink);
    // A picture that could not be written: the error, noted as a write failure.
    std::string Unwritten();

    ReverseSettings settings_;
    PictureTarget& target_;
    std::optional<TextReader> reader_;
    std::string error_;
    std::int64_t line_ = 0;
    bool writeFailed_ = false;

    bool inImage_ = false;  // an image has begun and not ended
    bool sawImage_ = false;
    bool sawPicked_ = false;
    std::string label_;
    bool maskImage_ = false;
    bool sized_ = false;   // the header (or --size) has given the size
    LayoutReader layout_;  // begun for this image once it is sized
    std::vector<std::uint8_t> values_;
    std::uint32_t header_[2] = {0, 0};
    std::size_t count_ = 0;   // numbers in the line so far
    bool continued_ = false;  // with literals a line: the layout's line goes on in the next
    bool lineOpen_ = false;   // bytes: a line has begun

    std::unique_ptr<PictureFile> picture_;  // null for images not picked
    std::string pictureLabel_;
    std::int64_t pictureWidth_ = 0;
    std::int64_t pictureHeight_ = 0;
    bool awaitingMask_ = false;
    std::set<std::string> labels_;
    std::int64_t pictures_ = 0;

    // What the image being read is: an image of its own, or with --unique a tile, a map or
    // the map's flips.
    enum class Part { Image, Tile, Map, Flips };
    Part part_ = Part::Image;
    struct Tiles {
        std::vector<std::uint8_t> digits;  // each tile's digits, then its mask's, row by row
        std::uint32_t count = 0;
    };
    std::map<std::string, Tiles, std::less<>> tileSets_;  // by NAME
    Tiles* tiles_ = nullptr;  // the set of the tile or the map being read
    std::size_t tileAt_ = 0;  // where the tile being read starts in its set's digits
    std::uint64_t tilePixels_ = 0;
    std::string mapLabel_;  // the picture the map draws
    std::int64_t mapColumns_ = 0;
    std::int64_t mapRows_ = 0;
    std::vector<std::uint32_t> entries_;  // each cell's tile, or kEmptyCell
    std::vector<std::uint8_t> flips_;     // each cell's flips, or empty without any
    bool awaitingFlips_ = false;
};

}  // namespace rastelle
