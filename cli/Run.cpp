#include "Run.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "CommandLine.h"
#include "ImageSource.h"
#include "InputFile.h"
#include "OutputFile.h"
#include "Preview.h"
#include "RowEncoder.h"

namespace rastelle::cli {

namespace {

constexpr std::string_view kVersion = "rastelle-cli 1.0.0.1\n";

void Print(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

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
    return commandLine.output ? commandLine.output->string() : "standard output";
}

// A header number above 255 does not fit the byte the directive makes: some assemblers
// cut it silently, so the user hears of it, though the text stays as it is.
void WarnOfWideNumbers(std::FILE* err, const std::filesystem::path& input,
                       const PixelSource& source, const ConversionSettings& settings) {
    const std::pair<const char*, std::int64_t> numbers[] = {
        {"width", RowEncoder::HeaderWidth(source.Width(), settings)}, {"height", source.Height()}};
    for (const auto& [name, value] : numbers) {
        if (value > 255) {
            Print(err, "rastelle-cli: " + input.string() + ": " + name + " " +
                           std::to_string(value) + " does not fit in a byte\n");
        }
    }
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
    } else if (!output.Open(*commandLine.output)) {
        return writeFailed(output.Reason());
    }

    const auto openFailed = [&](const std::filesystem::path& input, const std::string& reason) {
        Print(err, "rastelle-cli: Could not open file " + input.string() + ": " + reason + "\n");
        if (output.IsStandardOutput() && output.WroteAnything()) {
            Print(err, "rastelle-cli: standard output holds only part of the text\n");
        }
        return kFailure;
    };

    InputFileReader reader;
    for (std::size_t i = 0; i < commandLine.inputs.size(); ++i) {
        const std::filesystem::path& input = commandLine.inputs[i];
        ImageSource source;
        const ImageSource::OpenResult opened = source.Open(input, std::ref(reader));
        if (!opened.opened) {
            return openFailed(input, opened.error.message);
        }
        if (output.Replaces(reader.LastRead())) {
            return writeFailed("the output would overwrite the input " + input.string());
        }
        const std::int32_t frames = commandLine.allFrames ? source.FrameCount() : 1;
        for (std::int32_t frame = 0; frame < frames; ++frame) {
            std::string label = commandLine.labels[i];
            if (commandLine.allFrames) {
                const DecodeError selected = source.SelectFrame(frame);
                if (selected.kind != DecodeErrorKind::None) {
                    return openFailed(input,
                                      "frame " + std::to_string(frame) + ": " + selected.message);
                }
                label = (label.empty() ? LabelFromStem(input.stem().string()) : label) + "_" +
                        std::to_string(frame);
            }
            if (frame == 0 && !commandLine.preview) {
                WarnOfWideNumbers(err, input, source, commandLine.settings);
            }
            if ((i > 0 || frame > 0) && !output.Write(commandLine.preview ? "\n" : "\r\n")) {
                return writeFailed(output.Reason());
            }
            const bool written =
                commandLine.preview
                    ? WritePreview(source, commandLine.settings, label, output)
                    : WriteImage(source, commandLine.settings, commandLine.syntax, label, output);
            if (!written) {
                return writeFailed(output.Reason());
            }
        }
    }
    if (!output.Commit()) {
        return writeFailed(output.Reason());
    }
    return kSuccess;
}

}  // namespace

int Run(const std::vector<std::string_view>& arguments, std::FILE* out, std::FILE* err) {
    const ParseResult parsed = ParseCommandLine(arguments);
    if (!parsed.commandLine) {
        Print(err, "rastelle-cli: " + parsed.error + "\n\n");
        Print(err, UsageText());
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
        case CommandLine::Action::Convert:
            break;
    }
    try {
        return Convert(commandLine, out, err);
    } catch (const std::bad_alloc&) {
        Print(err, "rastelle-cli: not enough memory\n");
        return kFailure;
    }
}

}  // namespace rastelle::cli
