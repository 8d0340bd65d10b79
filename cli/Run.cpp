#include "Run.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "CommandLine.h"
#include "Messages.h"
#include "OutputFile.h"
#include "PathText.h"
#include "Reverse.h"
#include "conversion/Conversion.h"

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

// What the terminal shows across: asked of the terminal, else $COLUMNS, else 80.
std::int32_t PreviewColumns(const OutputFile& output, std::FILE* out) {
    std::int32_t columns = output.IsStandardOutput() ? TerminalColumns(out) : 0;
    const char* const variable = std::getenv("COLUMNS");
    std::int32_t given = 0;
    if (columns <= 0 && variable != nullptr &&
        std::from_chars(variable, variable + std::strlen(variable), given).ec == std::errc{} &&
        given > 0) {
        columns = given;
    }
    return columns > 0 ? columns : 80;
}

int Convert(const CommandLine& commandLine, std::FILE* out, std::FILE* err) {
    OutputFile output;
    Messages messages(commandLine, output, err);
    if (!commandLine.output) {
        output.OpenStandardOutput(out);
        if (commandLine.settings.binary && output.IsTerminal()) {
            Print(err,
                  "rastelle-cli: --binary writes bytes, not text: give -o FILE, or send "
                  "standard output to a file or a pipe\nTry 'rastelle-cli --help'.\n");
            return kUsage;
        }
    } else if (!output.Open(*commandLine.output)) {
        return messages.WriteFailed(output.Reason());
    }
    ConversionRequest request;
    request.labels = commandLine.labels;
    request.geometry = commandLine.geometry;
    request.trim = commandLine.trim;
    request.settings = commandLine.settings;
    request.syntax = commandLine.syntax;
    request.allFrames = commandLine.allFrames;
    request.tableName = commandLine.tableName;
    request.preview = commandLine.preview;
    if (commandLine.preview && !commandLine.previewFull) {
        request.columns = PreviewColumns(output, out);
    }
    if (!rastelle::Convert(request, messages, output)) {
        return kFailure;
    }
    return output.Commit() ? kSuccess : messages.WriteFailed(output.Reason());
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
