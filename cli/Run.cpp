#include "Run.h"

#include <fstream>
#include <random>
#include <string>
#include <system_error>

#include "CommandLine.h"
#include "ImageSource.h"
#include "RowEncoder.h"

namespace rastelle::cli {

namespace {

constexpr std::string_view kVersion = "rastelle-cli 1.0.0.1\n";

void Print(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

// Writes beside the target and renames, so OUT is either the whole text or untouched.
bool WriteWhole(const std::filesystem::path& target, const std::string& text, std::string& error) {
    std::filesystem::path partial = target;
    partial += ".partial-" + std::to_string(std::random_device{}());
    {
        std::ofstream stream(partial, std::ios::binary | std::ios::trunc);
        stream.write(text.data(), static_cast<std::streamsize>(text.size()));
        stream.flush();
        if (!stream) {
            stream.close();
            std::error_code ignored;
            std::filesystem::remove(partial, ignored);
            error = "could not write " + partial.string();
            return false;
        }
    }
    std::error_code renameError;
    std::filesystem::rename(partial, target, renameError);
    if (renameError) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        error = renameError.message();
        return false;
    }
    return true;
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
            Print(out, UsageText());
            return kSuccess;
        case CommandLine::Action::ShowVersion:
            Print(out, kVersion);
            return kSuccess;
        case CommandLine::Action::Convert:
            break;
    }

    ImageSource source;
    const ImageSource::OpenResult opened = source.Open(commandLine.input);
    if (!opened.opened) {
        Print(err, "rastelle-cli: Could not open file " + commandLine.input.string() + ": " +
                       opened.error.message + "\n");
        return kFailure;
    }

    std::string text;
    try {
        text = EncodeImage(source, commandLine.settings);
    } catch (const std::bad_alloc&) {
        Print(err, "rastelle-cli: not enough memory for the text of " + commandLine.input.string() +
                       "\n");
        return kFailure;
    }
    source.Close();

    if (commandLine.output) {
        std::string error;
        if (!WriteWhole(*commandLine.output, text, error)) {
            Print(err, "rastelle-cli: Could not write " + commandLine.output->string() + ": " +
                           error + "\n");
            return kFailure;
        }
        return kSuccess;
    }
    if (std::fwrite(text.data(), 1, text.size(), out) != text.size() || std::fflush(out) != 0) {
        Print(err, "rastelle-cli: could not write the text to standard output\n");
        return kFailure;
    }
    return kSuccess;
}

}  // namespace rastelle::cli
