#include "conversion/Conversion.h"

#include "common/TextSize.h"
#include "layout/Layout.h"
#include "layout/TileSet.h"
#include "picture/ShapedPicture.h"
#include "preview/Preview.h"
#include "text/PictureWriter.h"

namespace rastelle {

namespace {

using Kind = ConversionIssue::Kind;

// One image's frames in turn, then its tables and notices.
class Conversion {
  public:
    Conversion(const ConversionRequest& request, ConversionEvents& events, TextSink& sink)
        : request_(request), settings_(request.settings), events_(events), sink_(sink) {}

    bool Run() {
        // With symbols, the images whose addresses make a table: the frames of a file, or the
        // files; cells make a table of their own.
        const bool tabled = settings_.symbols && !request_.preview && settings_.cellWidth <= 0;
        for (input_ = 0; input_ < request_.labels.size(); ++input_) {
            if (!Image(tabled)) {
                return false;
            }
        }
        return !(tabled && !request_.allFrames && request_.labels.size() > 1) ||
               Table(request_.tableName, request_.labels);
    }

  private:
    // Says `issue`; false when it ends the conversion.
    bool Say(Kind kind, std::string text = {}, std::array<std::int64_t, 6> numbers = {},
             bool stops = true) {
        events_.Report(ConversionIssue{kind, stops, input_, frame_, std::move(text), numbers});
        return !stops;
    }

    bool Table(const std::string& name, const std::vector<std::string>& labels) {
        return sink_.Write(RowEncoder::SymbolTable(request_.syntax, name, labels)) ||
               Say(Kind::SinkRefused);
    }

    bool Image(bool tabled) {
        ImageSource source;
        frame_ = 0;
        tally_ = {};
        if (!events_.Open(input_, source)) {
            return false;
        }
        const std::string& name = request_.labels[input_];
        const std::int32_t frames = request_.allFrames ? source.FrameCount() : 1;
        TileSet tiles(name);
        std::vector<std::string> frameLabels;
        for (frame_ = 0; frame_ < frames; ++frame_) {
            if (request_.allFrames) {
                const DecodeError selected = source.SelectFrame(frame_);
                if (selected.kind != DecodeErrorKind::None) {
                    return Say(Kind::FrameUnreadable, selected.message);
                }
            }
            std::string label = request_.allFrames ? name + '_' + std::to_string(frame_) : name;
            if (!Frame(source, label, tiles)) {
                return false;
            }
            frameLabels.push_back(std::move(label));
        }
        const bool text = !request_.preview;
        if (settings_.unique && settings_.symbols && text) {
            // The frames share the tiles: one count and table of them, no images per frame.
            frameLabels.clear();
            for (std::uint32_t tile = 0; tile < tiles.Count(); ++tile) {
                frameLabels.push_back(name + '_' + std::to_string(tile));
            }
            if (!Table(name, frameLabels)) {
                return false;
            }
        } else if (tabled && request_.allFrames && !Table(name, frameLabels)) {
            return false;
        }
        if (settings_.skipEmpty && settings_.cellWidth > 0 && text) {
            Say(Kind::SkippedCells, {}, {tally_.skippedCells}, false);
        }
        if (settings_.unique && text) {
            Say(Kind::TileCount, {}, {tiles.Count(), tally_.mapCells, tally_.mapWords ? 1 : 0},
                false);
        }
        if (settings_.mask != MaskSource::None && !tally_.sawTransparent && text) {
            Say(Kind::OpaqueMask, {}, {}, false);
        }
        return true;
    }

    bool Frame(const ImageSource& source, const std::string& label, TileSet& tiles) {
        const ShapedPicture shaped(source, request_.geometry, request_.trim, settings_);
        if (!shaped.Error().empty()) {
            return Say(Kind::ShapeError, shaped.Error());
        }
        if (request_.trim) {
            Say(Kind::Trimmed, shaped.TrimmedText(), {}, false);
        }
        if (std::optional<ConversionIssue> issue = CellIssue(shaped.Picture(), settings_)) {
            return Say(issue->kind, {}, issue->numbers);
        }
        const PixelSource& picture = shaped.Picture();
        const std::int32_t width = picture.Width();
        const std::int32_t height = picture.Height();
        const std::uint64_t bound =
            request_.textLimit ? TextBound(width, height, settings_, request_.syntax, label.size())
                               : 0;
        if (request_.textLimit && bound > *request_.textLimit) {
            return Say(Kind::TextTooBig, {}, {static_cast<std::int64_t>(bound)});
        }
        ConversionSettings used = shaped.Settings();
        if (!events_.Ready(picture, bound, used)) {
            return false;
        }
        if (frame_ == 0 && !request_.preview && !WideNumbers(picture)) {
            return false;
        }
        const PixelSource& read = events_.Watched(picture);
        PictureReport report;
        if (request_.preview) {
            report.written = (!wroteImage_ || sink_.Write("\n")) &&
                             WritePreview(read, used, label, sink_, request_.columns);
            report.wroteImage = true;
        } else {
            report = WritePicture(read, used, request_.syntax, label, sink_, wroteImage_, &tiles);
        }
        if (!report.refusal.empty()) {
            return Say(Kind::Refusal, report.refusal);
        }
        if (!report.written) {
            return Say(Kind::SinkRefused);
        }
        wroteImage_ = wroteImage_ || report.wroteImage;
        tally_.skippedCells += report.skippedCells;
        tally_.mapCells += report.mapCells;
        tally_.mapWords = tally_.mapWords || report.mapWords;
        tally_.sawTransparent = tally_.sawTransparent || report.sawTransparent;
        return true;
    }

    // A header number above 255 does not fit the byte the directive makes: some assemblers
    // cut it silently, so the user hears of it, though the text stays as it is; with binary
    // it can't be written at all.
    bool WideNumbers(const PixelSource& picture) {
        const bool cells = settings_.cellWidth > 0;
        const auto [width, height] =
            Layout::HeaderSize(cells ? settings_.cellWidth : picture.Width(),
                               cells ? settings_.cellHeight : picture.Height(), settings_);
        // A tile map's header gives its columns and rows of cells.
        const bool map = settings_.unique && cells;
        const std::array<std::int64_t, 4> numbers = {
            width, height, map ? picture.Width() / settings_.cellWidth : 0,
            map ? picture.Height() / settings_.cellHeight : 0};
        for (std::size_t which = 0; which < numbers.size(); ++which) {
            if (numbers[which] > 255 && settings_.header &&
                !Say(Kind::WideNumber, {}, {static_cast<std::int64_t>(which), numbers[which]},
                     settings_.binary)) {
                return false;
            }
        }
        return true;
    }

    const ConversionRequest& request_;
    const ConversionSettings& settings_;
    ConversionEvents& events_;
    TextSink& sink_;
    std::size_t input_ = 0;
    std::int32_t frame_ = 0;
    bool wroteImage_ = false;  // images after the first follow an empty line
    // What the frames of the image in hand add up to, for its notices.
    struct Tally {
        std::int64_t skippedCells = 0;
        std::int64_t mapCells = 0;
        bool mapWords = false;
        bool sawTransparent = false;
    };
    Tally tally_;
};

}  // namespace

bool Convert(const ConversionRequest& request, ConversionEvents& events, TextSink& sink) {
    return Conversion(request, events, sink).Run();
}

bool ConvertBack(const ReverseSettings& settings, std::size_t texts, bool check,
                 ReverseEvents& events) {
    ReverseSettings pass = settings;
    for (const bool write : check ? std::vector{false, true} : std::vector{true}) {
        pass.write = write;
        TextToPicture reverse(pass, events.Pass(write));
        std::size_t input = 0;
        for (; input < texts; ++input) {
            reverse.BeginFile();
            if (!events.Read(input, [&](std::string_view piece) { return reverse.Feed(piece); })) {
                return false;
            }
            if (!reverse.EndFile()) {
                break;
            }
        }
        if (!reverse.Finish() || (write && !events.Commit())) {
            const bool unwritten = reverse.WriteFailed() || reverse.Error().empty();
            events.Report(ConversionIssue{unwritten ? Kind::SinkRefused : Kind::BadText,
                                          true,
                                          input < texts ? input : texts - 1,
                                          0,
                                          reverse.Error(),
                                          {reverse.Line()}});
            return false;
        }
    }
    return true;
}

std::optional<ConversionIssue> CellIssue(const PixelSource& picture,
                                         const ConversionSettings& settings) {
    const std::int32_t width = picture.Width();
    const std::int32_t height = picture.Height();
    const std::int32_t cellWidth = settings.cellWidth;
    const std::int32_t cellHeight = settings.cellHeight;
    if (cellWidth <= 0 || (width % cellWidth == 0 && height % cellHeight == 0)) {
        return std::nullopt;
    }
    ConversionIssue issue;
    issue.kind = ConversionIssue::Kind::CellRemainder;
    issue.numbers = {width, height, cellWidth, cellHeight, width % cellWidth, height % cellHeight};
    return issue;
}

bool PreviewPicture(const PixelSource& source, const GeometrySettings& geometry, bool trim,
                    const ConversionSettings& settings, std::int32_t maxWidth,
                    std::int32_t maxHeight, const std::function<bool()>& stop,
                    PicturePreview& preview, bool* convertible) {
    const ShapedPicture shaped(source, geometry, trim, settings);
    const bool shapedWell = shaped.Error().empty();
    if (convertible != nullptr) {
        *convertible = shapedWell && !CellIssue(shaped.Picture(), settings);
    }
    return !shapedWell || MakePicturePreview(shaped.Picture(), shaped.Settings(), maxWidth,
                                             maxHeight, stop, preview);
}

std::uint64_t TextBound(std::int64_t width, std::int64_t height, const ConversionSettings& settings,
                        const AssemblerSyntax& syntax, std::size_t labelBytes) {
    const bool cells = settings.cellWidth > 0 && settings.cellHeight > 0;
    const std::int64_t imageWidth = cells ? settings.cellWidth : width;
    const std::int64_t imageHeight = cells ? settings.cellHeight : height;
    const std::int64_t images = cells ? (width / imageWidth) * (height / imageHeight) : 1;
    const bool mask = settings.mask != MaskSource::None;
    const bool pages = settings.layout == ByteLayout::Pages;
    // Pages: a line per 8 rows, a literal per column, the same as rows 8 times as wide.
    std::int64_t lineBits = pages ? 8 * imageWidth : imageWidth;
    const std::int64_t lines = pages ? (imageHeight + 7) / 8 : imageHeight;
    if (mask && settings.maskLayout != MaskLayout::Block) {
        lineBits = 16 * ((lineBits + 7) / 8);  // a mask byte beside each picture byte
    }
    // Labels (with a cell's number and "_mask"), their line ends and the empty lines between.
    const std::uint64_t extra = cells || mask || labelBytes > 0 ? labelBytes + 32 : 0;
    const std::uint64_t one = TextSize(lineBits, lines, settings.fill, syntax, settings) + extra;
    const bool maskBlock = mask && settings.maskLayout == MaskLayout::Block;
    // A tile map and its flips: at most 7 characters an entry, each row of cells a line.
    const std::uint64_t map = settings.unique && cells
                                  ? (static_cast<std::uint64_t>(images) * 8 +
                                     static_cast<std::uint64_t>(height / imageHeight) * 16 + 256) *
                                        (settings.mirror ? 2 : 1)
                                  : 0;
    return static_cast<std::uint64_t>(images) * one * (maskBlock ? 2 : 1) + map;
}

}  // namespace rastelle
