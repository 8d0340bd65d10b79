#pragma once

// Conversion, the last stage and the one entry of every front end: it takes a request (the
// images, their shaping, the settings, the syntax, the labels) and gives the text, or a
// preview, with what its checks find on the way as ConversionIssue values.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "back/TextToPicture.h"
#include "common/AssemblerSyntax.h"
#include "common/ConversionSettings.h"
#include "image/ImageSource.h"
#include "picture/GeometryStage.h"
#include "preview/PicturePreview.h"
#include "text/RowEncoder.h"

namespace rastelle {

struct ConversionRequest {
    std::vector<std::string> labels;  // one an image; how many images there are
    GeometrySettings geometry;
    bool trim = false;
    ConversionSettings settings;
    AssemblerSyntax syntax;
    bool allFrames = false;  // each frame an image labelled LABEL_K, else the first only
    std::string tableName;   // with symbols, the table of several images' addresses
    // The terminal's drawing instead of the text, `columns` across (0: no limit).
    bool preview = false;
    std::int32_t columns = 0;
    // A text whose bound is above this is refused before any of it is written.
    std::optional<std::uint64_t> textLimit;
};

// What a check found: an error that ends the conversion (stops), or a notice. The front end
// words it; `numbers` are given per kind.
struct ConversionIssue {
    enum class Kind {
        FrameUnreadable,  // text: the decoder's message, which names the frame
        ShapeError,       // text: why resizing, turning or trimming can't be done
        Trimmed,          // notice; text: what was kept ("10 x 1 pixels from 0,1 of 10 x 2")
        CellRemainder,    // width, height, cell width, cell height, columns and rows left over
        TextTooBig,       // the text's bound
        // Notice, or refused with binary: which (0 width, 1 height, 2 the map's columns,
        // 3 its rows) and its value, above 255.
        WideNumber,
        Refusal,       // text: why the writer would not write the picture
        SinkRefused,   // the sink took no more text
        SkippedCells,  // notice: the empty cells left out
        TileCount,     // notice: distinct tiles, the map's cells, 1 when its entries are words
        OpaqueMask,    // notice: with a mask, no pixel was transparent
        BadText,       // the way back: text: what was expected, at line numbers[0]
    };
    Kind kind = Kind::SinkRefused;
    bool stops = true;
    std::size_t input = 0;  // which image
    std::int32_t frame = 0;
    std::string text;
    std::array<std::int64_t, 6> numbers{};
};

class ConversionEvents {
  public:
    virtual ~ConversionEvents() = default;
    // Opens image `input` into `source`; false ends the conversion, the front end having said
    // why.
    virtual bool Open(std::size_t input, ImageSource& source) = 0;
    // At the moment a check finds it; one that stops is the last event.
    virtual void Report(const ConversionIssue& issue) = 0;
    // Each picture once its checks passed, before its text: `textBound` bounds its text (with
    // a limit asked for), and `settings` may still be changed. False ends the conversion.
    virtual bool Ready(const PixelSource& picture, std::uint64_t textBound,
                       ConversionSettings& settings) {
        static_cast<void>(picture);
        static_cast<void>(textBound);
        static_cast<void>(settings);
        return true;
    }
    // The picture as the writer reads it; a front end may watch its rows.
    virtual const PixelSource& Watched(const PixelSource& picture) { return picture; }
};

// Every image of the request, frame by frame, into `sink`, with the symbol tables of frames,
// tiles and files. True when all of it was written.
bool Convert(const ConversionRequest& request, ConversionEvents& events, TextSink& sink);

// The way back's front-end side: where the pictures go and how each text is read.
class ReverseEvents {
  public:
    virtual ~ReverseEvents() = default;
    // Where a pass's pictures go, afresh for each pass: one that only plans them (`write`
    // false), then one that writes them.
    virtual PictureTarget& Pass(bool write) = 0;
    // Hands text `input` to `take` piece by piece; false when it can't be read, the front end
    // having said why.
    virtual bool Read(std::size_t input, const std::function<bool(std::string_view)>& take) = 0;
    // After the writing pass: puts the last picture in its place.
    virtual bool Commit() = 0;
    // What stopped it: BadText, or SinkRefused when a picture could not be written.
    virtual void Report(const ConversionIssue& issue) = 0;
};

// Texts 0 to texts - 1 back into pictures. With `check` they are read twice, first only
// checked, so that a bad text leaves every file as it was. True when every picture went out.
bool ConvertBack(const ReverseSettings& settings, std::size_t texts, bool check,
                 ReverseEvents& events);

// Cells that don't divide the shaped picture, as a CellRemainder issue; none without cells.
std::optional<ConversionIssue> CellIssue(const PixelSource& picture,
                                         const ConversionSettings& settings);

// The preview of `source` shaped as the conversion shapes it, at most maxWidth x maxHeight;
// empty when it can't be shaped. False when `stop` ended the work. `convertible`, when given,
// says whether the conversion would take the picture (shaped, and whole cells).
bool PreviewPicture(const PixelSource& source, const GeometrySettings& geometry, bool trim,
                    const ConversionSettings& settings, std::int32_t maxWidth,
                    std::int32_t maxHeight, const std::function<bool()>& stop,
                    PicturePreview& preview, bool* convertible = nullptr);

// An upper bound of the text's length (exact for a plain picture without label); labels named
// after the file are counted as `labelBytes` long.
std::uint64_t TextBound(std::int64_t width, std::int64_t height, const ConversionSettings& settings,
                        const AssemblerSyntax& syntax, std::size_t labelBytes);

}  // namespace rastelle
