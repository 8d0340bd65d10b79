#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/AssemblerSyntax.h"
#include "common/ConversionSettings.h"
#include "picture/GeometryStage.h"

namespace rastelle::cli {

// What the user asked for on the command line.
struct CommandLine {
    enum class Action { Convert, ShowHelp, ShowVersion, ListSyntaxes, ListTargets };

    Action action = Action::Convert;
    ConversionSettings settings;  // defaults are the window's initial state
    GeometrySettings geometry;    // crop, resize, rotate and flip before the digits
    AssemblerSyntax syntax;       // the default is the window's text
    std::vector<std::filesystem::path> inputs;
    // One per input, empty for none: --label for one file; each file's stem for several.
    std::vector<std::string> labels;
    std::optional<std::filesystem::path> output;  // standard output when empty
    // Every frame of an animated image as an image of its own, labelled LABEL_0, LABEL_1...
    bool allFrames = false;
    // Cut the rows and columns at the edges whose digits are all 0.
    bool trim = false;
    // The 1-bit pictures drawn for a terminal instead of the text.
    bool preview = false;
    // With preview: every pixel, however wide the terminal.
    bool previewFull = false;
    // --reverse: the inputs are texts, turned back into pictures; --size gives their size.
    bool reverse = false;
    std::int32_t width = 0;
    std::int32_t height = 0;
    // With --symbols and several files: the name of the table of their addresses.
    std::string tableName;
    // Options given against --target's settings, said once before converting; empty if none.
    std::string notice;
};

struct ParseResult {
    std::optional<CommandLine> commandLine;
    std::string error;  // set when commandLine is empty
};

ParseResult ParseCommandLine(const std::vector<std::string_view>& arguments);

std::string UsageText();
// The presets, each with an example of its lines and the assemblers it serves.
std::string SyntaxTable();
// The display targets, each with what it sets and whose format it is.
std::string TargetTable();

}  // namespace rastelle::cli
