#include "Run.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "CommandLine.h"
#include "ImageSource.h"
#include "InputFile.h"
#include "OutputFile.h"
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

    const auto& input = commandLine.input;
    InputFileReader reader;
    ImageSource source;
    const ImageSource::OpenResult opened = source.Open(input, std::ref(reader));
    if (!opened.opened) {
        Print(err, "rastelle-cli: Could not open file " + input.string() + ": " +
                       opened.error.message + "\n");
        return kFailure;
    }
    if (output.Replaces(reader.LastRead())) {
        return writeFailed("the output would overwrite the input " + input.string());
    }
    if (!WriteImage(source, commandLine.settings, output) || !output.Commit()) {
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
        case CommandLine::Action::Convert:
            break;
    }
    try {
        return Convert(commandLine, out, err);
    } catch (const std::bad_alloc&) {
        Print(err, "rastelle-cli: not enough memory for " + commandLine.input.string() + "\n");
        return kFailure;
    }
}

}  // namespace rastelle::cli
