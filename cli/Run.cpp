#include "Run.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "CommandLine.h"
#include "InputFile.h"
#include "OutputFile.h"
#include "PathText.h"
#include "Reverse.h"
#include "image/ImageSource.h"
#include "layout/Layout.h"
#include "layout/TileSet.h"
#include "picture/ShapedPicture.h"
#include "preview/Preview.h"
#include "text/PictureWriter.h"
#include "text/RowEncoder.h"

namespace rastelle::cli {

namespace {

constexpr std::string_view kVersion = "rastelle-cli 1.0.0.1\n";

// Help and version go to standard output, which may be a full disk or a closed pipe.
int PrintAll(std::FILE* out, std::FILE* err, std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), out) != text.size() || std::fflush(out) != 0) {
        Print(err, std::string("rastelle-cli: Could not write standard output: ") +
                       std::strerror(errno) + "\n");
        return kFailure;
    }
    return kSuccess;
}

std::string OutputName(const CommandLine& commandLine) {
    return commandLine.output ? PrintablePath(*commandLine.output) : "standard output";
}

// How messages name an input.
std::string Shown(const std::filesystem::path& input) {
    return input == "-" ? "standard input" : PrintablePath(input);
}

// A header number above 255 does not fit the byte the directive makes: some assemblers
// cut it silently, so the user hears of it, though the text stays as it is.

// With --binary such a number can't be written at all: the message is returned.
std::string WarnOfWideNumbers(std::FILE* err, const std::filesystem::path& input,
                              const PixelSource& source, const ConversionSettings& settings) {
    const bool cells = settings.cellWidth > 0;
    const auto [width, height] =
        Layout::HeaderSize(cells ? settings.cellWidth : source.Width(),
                           cells ? settings.cellHeight : source.Height(), settings);
    // A tile map's header gives its columns and rows of cells.
    const bool map = settings.unique && cells;
    const std::pair<const char*, std::int64_t> numbers[] = {
        {"width", width},
        {"height", height},
        {"the map's column count", map ? source.Width() / settings.cellWidth : 0},
        {"the map's row count", map ? source.Height() / settings.cellHeight : 0}};
    for (const auto& [name, value] : numbers) {
        if (value > 255 && settings.header) {
            const std::string message = Shown(input) + ": " + name + " " + std::to_string(value) +
                                        " does not fit in a byte";
            if (settings.binary) {
                return message +
                       "; --binary writes each header number as one byte: --no-header "
                       "leaves the header out";
            }
            Print(err, "rastelle-cli: " + message + "\n");
        }
    }
    return {};
}

// What does not fill a whole cell, or nothing.
std::string CellRemainder(const PixelSource& source, const ConversionSettings& settings) {
    if (settings.cellWidth <= 0) {
        return {};
    }
    const std::int32_t across = source.Width() % settings.cellWidth;
    const std::int32_t down = source.Height() % settings.cellHeight;
    if (across == 0 && down == 0) {
        return {};
    }
    return std::to_string(source.Width()) + " x " + std::to_string(source.Height()) +
           " pixels are no whole number of " + std::to_string(settings.cellWidth) + " x " +
           std::to_string(settings.cellHeight) + " cells: " + std::to_string(across) +
           " columns and " + std::to_string(down) + " rows left over";
}

// The picture drawn for a terminal, reported as WritePicture reports the text.
PictureReport PreviewPicture(const PixelSource& source, const ConversionSettings& settings,
                             std::string_view label, TextSink& sink, bool separate,
                             std::int32_t columns) {
    PictureReport report;
    report.written =
        (!separate || sink.Write("\n")) && WritePreview(source, settings, label, sink, columns);
    report.wroteImage = true;
    return report;
}

int Convert(const CommandLine& commandLine, std::FILE* out, std::FILE* err) {
    const std::string outputName = OutputName(commandLine);
    const auto writeFailed = [&](std::string_view reason) {
        Print(err,
              "rastelle-cli: Could not write " + outputName + ": " + std::string(reason) + "\n");
        return kFailure;
    };

    OutputFile output;
    if (!commandLine.output) {
        output.OpenStandardOutput(out);
        if (commandLine.settings.binary && output.IsTerminal()) {
            Print(err,
                  "rastelle-cli: --binary writes bytes, not text: give -o FILE, or send "
                  "standard output to a file or a pipe\nTry 'rastelle-cli --help'.\n");
            return kUsage;
        }
    } else if (!output.Open(*commandLine.output)) {
        return writeFailed(output.Reason());
    }

    const auto inputFailed = [&](const std::string& message) {
        Print(err, "rastelle-cli: " + message + "\n");
        if (output.IsStandardOutput() && output.WroteAnything()) {
            Print(err, "rastelle-cli: standard output holds only part of the text\n");
        }
        return kFailure;
    };
    const auto openFailed = [&](const std::filesystem::path& input, const std::string& reason) {
        return inputFailed("Could not open file " + Shown(input) + ": " + reason);
    };

    // What the terminal shows across: asked of the terminal, else $COLUMNS, else 80.
    std::int32_t columns = 0;
    if (commandLine.preview && !commandLine.previewFull) {
        columns = output.IsStandardOutput() ? TerminalColumns(out) : 0;
        const char* const variable = std::getenv("COLUMNS");
        std::int32_t given = 0;
        if (columns <= 0 && variable != nullptr &&
            std::from_chars(variable, variable + std::strlen(variable), given).ec == std::errc{} &&
            given > 0) {
            columns = given;
        }
        columns = columns > 0 ? columns : 80;
    }
    InputFileReader reader;
    bool wroteImage = false;  // images after the first follow an empty line
    const ConversionSettings& settings = commandLine.settings;
    // With symbols, the images whose addresses make a table: the frames of a file, or the
    // files; cells make a table of their own.
    const bool tabled = settings.symbols && !commandLine.preview && settings.cellWidth <= 0;
    std::vector<std::string> fileLabels;
    for (std::size_t i = 0; i < commandLine.inputs.size(); ++i) {
        const std::filesystem::path& input = commandLine.inputs[i];
        ImageSource source;
        ImageSource::OpenResult opened;
        if (input == "-") {
            // Never completed with ".bmp": it is no name.
            FileBytes file = reader.ReadStandardInput();
            opened.error = file.error.kind != DecodeErrorKind::None
                               ? std::move(file.error)
                               : source.OpenBytes(std::move(file.bytes));
            opened.opened = source.IsOpen();
        } else {
            opened = source.Open(input, std::ref(reader));
        }
        if (!opened.opened) {
            return openFailed(input, opened.error.message);
        }
        if (opened.typedError) {
            std::filesystem::path completed = input;
            completed += ".bmp";
            Print(err, "rastelle-cli: " + Shown(input) + ": not an image I read (" +
                           opened.typedError->message + "); converting " + Shown(completed) + "\n");
        }
        if (output.Replaces(reader.LastRead())) {
            return writeFailed("the output would overwrite the input " + Shown(input));
        }
        const std::string& name = commandLine.labels[i];
        const std::int32_t frames = commandLine.allFrames ? source.FrameCount() : 1;
        std::int64_t skippedCells = 0;
        std::int64_t mapCells = 0;
        bool mapWords = false;
        bool sawTransparent = false;
        TileSet tiles(name);
        std::vector<std::string> frameLabels;
        for (std::int32_t frame = 0; frame < frames; ++frame) {
            if (commandLine.allFrames) {
                const DecodeError selected = source.SelectFrame(frame);
                if (selected.kind != DecodeErrorKind::None) {
                    return openFailed(input, selected.message);  // it names the frame
                }
            }
            const std::string label =
                commandLine.allFrames ? name + '_' + std::to_string(frame) : name;
            const std::string shown =
                Shown(input) + (commandLine.allFrames ? " frame " + std::to_string(frame) : "");
            const ShapedPicture shaped(source, commandLine.geometry, commandLine.trim, settings);
            if (!shaped.Error().empty()) {
                return inputFailed(Shown(input) + ": " + shaped.Error());
            }
            if (commandLine.trim) {
                Print(err,
                      "rastelle-cli: " + shown + ": trimmed to " + shaped.TrimmedText() + "\n");
            }
            const PixelSource* const picture = &shaped.Picture();
            const ConversionSettings* const used = &shaped.Settings();
            if (const std::string remainder = CellRemainder(*picture, settings);
                !remainder.empty()) {
                return inputFailed(Shown(input) + ": " + remainder);
            }
            if (frame == 0 && !commandLine.preview) {
                if (const std::string refused = WarnOfWideNumbers(err, input, *picture, settings);
                    !refused.empty()) {
                    return inputFailed(refused);
                }
            }
            const PictureReport report =
                commandLine.preview
                    ? PreviewPicture(*picture, *used, label, output, wroteImage, columns)
                    : WritePicture(*picture, *used, commandLine.syntax, label, output, wroteImage,
                                   &tiles);
            if (!report.refusal.empty()) {
                return inputFailed(Shown(input) + ": " + report.refusal);
            }
            if (!report.written) {
                return writeFailed(output.Reason());
            }
            wroteImage = wroteImage || report.wroteImage;
            skippedCells += report.skippedCells;
            mapCells += report.mapCells;
            mapWords = mapWords || report.mapWords;
            sawTransparent = sawTransparent || report.sawTransparent;
            frameLabels.push_back(label);
        }
        if (settings.unique && settings.symbols && !commandLine.preview) {
            // The frames share the tiles: one count and table of them, no images per frame.
            frameLabels.clear();
            for (std::uint32_t tile = 0; tile < tiles.Count(); ++tile) {
                frameLabels.push_back(name + '_' + std::to_string(tile));
            }
            if (!output.Write(RowEncoder::SymbolTable(commandLine.syntax, name, frameLabels))) {
                return writeFailed(output.Reason());
            }
        } else if (tabled && commandLine.allFrames &&
                   !output.Write(RowEncoder::SymbolTable(commandLine.syntax, name, frameLabels))) {
            return writeFailed(output.Reason());
        }
        fileLabels.push_back(name);
        if (settings.skipEmpty && settings.cellWidth > 0 && !commandLine.preview) {
            Print(err, "rastelle-cli: " + Shown(input) + ": left out " +
                           std::to_string(skippedCells) + " empty cells\n");
        }
        if (settings.unique && !commandLine.preview) {
            Print(err, "rastelle-cli: " + Shown(input) + ": " + std::to_string(tiles.Count()) +
                           (tiles.Count() == 1 ? " distinct tile for " : " distinct tiles for ") +
                           std::to_string(mapCells) + " cells; the map takes " +
                           (mapWords ? "a word" : "a byte") + " an entry\n");
        }
        if (settings.mask != MaskSource::None && !sawTransparent && !commandLine.preview) {
            Print(err, "rastelle-cli: " + Shown(input) +
                           ": no pixel is transparent; the mask is all opaque\n");
        }
    }
    if (tabled && !commandLine.allFrames && commandLine.inputs.size() > 1 &&
        !output.Write(
            RowEncoder::SymbolTable(commandLine.syntax, commandLine.tableName, fileLabels))) {
        return writeFailed(output.Reason());
    }
    if (!output.Commit()) {
        return writeFailed(output.Reason());
    }
    return kSuccess;
}

}  // namespace

void Print(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

int Run(const std::vector<std::string_view>& arguments, std::FILE* out, std::FILE* err) {
    const ParseResult parsed = ParseCommandLine(arguments);
    if (!parsed.commandLine) {
        Print(err, "rastelle-cli: " + Printable(parsed.error) + "\nTry 'rastelle-cli --help'.\n");
        return kUsage;
    }
    const CommandLine& commandLine = *parsed.commandLine;
    switch (commandLine.action) {
        case CommandLine::Action::ShowHelp:
            return PrintAll(out, err, UsageText());
        case CommandLine::Action::ShowVersion:
            return PrintAll(out, err, kVersion);
        case CommandLine::Action::ListSyntaxes:
            return PrintAll(out, err, SyntaxTable());
        case CommandLine::Action::ListTargets:
            return PrintAll(out, err, TargetTable());
        case CommandLine::Action::Convert:
            break;
    }
    if (!commandLine.notice.empty()) {
        Print(err, "rastelle-cli: " + commandLine.notice + "\n");
    }
    try {
        return commandLine.reverse ? Reverse(commandLine, err) : Convert(commandLine, out, err);
    } catch (const std::bad_alloc&) {
        Print(err, "rastelle-cli: not enough memory\n");
        return kFailure;
    }
}

}  // namespace rastelle::cli
