#include "Messages.h"

#include <functional>

#include "PathText.h"
#include "Run.h"

namespace rastelle::cli {

int Messages::WriteFailed(const std::string& reason) const {
    const std::string name =
        commandLine_.output ? PrintablePath(*commandLine_.output) : "standard output";
    Print(err_, "rastelle-cli: Could not write " + name + ": " + reason + "\n");
    return kFailure;
}

int Messages::InputFailed(const std::string& message) const {
    Print(err_, "rastelle-cli: " + message + "\n");
    if (output_.IsStandardOutput() && output_.WroteAnything()) {
        Print(err_, "rastelle-cli: standard output holds only part of the text\n");
    }
    return kFailure;
}

bool Messages::Open(std::size_t index, ImageSource& source) {
    const std::filesystem::path& input = commandLine_.inputs[index];
    ImageSource::OpenResult opened;
    if (input == "-") {
        // Never completed with ".bmp": it is no name.
        FileBytes file = reader_.ReadStandardInput();
        opened.error = file.error.kind != DecodeErrorKind::None
                           ? std::move(file.error)
                           : source.OpenBytes(std::move(file.bytes));
        opened.opened = source.IsOpen();
    } else {
        opened = source.Open(input, std::ref(reader_));
    }
    if (!opened.opened) {
        InputFailed("Could not open file " + Shown(input) + ": " + opened.error.message);
        return false;
    }
    if (opened.typedError) {
        std::filesystem::path completed = input;
        completed += ".bmp";
        Print(err_, "rastelle-cli: " + Shown(input) + ": not an image I read (" +
                        opened.typedError->message + "); converting " + Shown(completed) + "\n");
    }
    if (output_.Replaces(reader_.LastRead())) {
        WriteFailed("the output would overwrite the input " + Shown(input));
        return false;
    }
    return true;
}

void Messages::Report(const ConversionIssue& issue) {
    using Kind = ConversionIssue::Kind;
    const std::string shown = Shown(commandLine_.inputs[issue.input]);
    const auto number = [&](std::size_t i) { return std::to_string(issue.numbers[i]); };
    switch (issue.kind) {
        case Kind::FrameUnreadable:  // the message names the frame
            InputFailed("Could not open file " + shown + ": " + issue.text);
            return;
        case Kind::ShapeError:
        case Kind::Refusal:
            InputFailed(shown + ": " + issue.text);
            return;
        case Kind::Trimmed:
            Print(err_,
                  "rastelle-cli: " + shown +
                      (commandLine_.allFrames ? " frame " + std::to_string(issue.frame) : "") +
                      ": trimmed to " + issue.text + "\n");
            return;
        case Kind::CellRemainder:
            InputFailed(shown + ": " + number(0) + " x " + number(1) +
                        " pixels are no whole number of " + number(2) + " x " + number(3) +
                        " cells: " + number(4) + " columns and " + number(5) + " rows left over");
            return;
        case Kind::TextTooBig:  // the command line sets no limit
        case Kind::BadText:     // the way back's
            return;
        case Kind::WideNumber: {
            static constexpr const char* kNames[] = {"width", "height", "the map's column count",
                                                     "the map's row count"};
            const std::string message = shown + ": " + kNames[issue.numbers[0] & 3] + " " +
                                        number(1) + " does not fit in a byte";
            if (issue.stops) {
                InputFailed(message +
                            "; --binary writes each header number as one byte: --no-header "
                            "leaves the header out");
            } else {
                Print(err_, "rastelle-cli: " + message + "\n");
            }
            return;
        }
        case Kind::SinkRefused:
            WriteFailed(output_.Reason());
            return;
        case Kind::SkippedCells:
            Print(err_, "rastelle-cli: " + shown + ": left out " + number(0) + " empty cells\n");
            return;
        case Kind::TileCount:
            Print(err_,
                  "rastelle-cli: " + shown + ": " + number(0) +
                      (issue.numbers[0] == 1 ? " distinct tile for " : " distinct tiles for ") +
                      number(1) + " cells; the map takes " +
                      (issue.numbers[2] != 0 ? "a word" : "a byte") + " an entry\n");
            return;
        case Kind::OpaqueMask:
            Print(err_,
                  "rastelle-cli: " + shown + ": no pixel is transparent; the mask is all opaque\n");
            return;
    }
}

}  // namespace rastelle::cli
