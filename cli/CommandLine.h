#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ConversionSettings.h"

namespace rastelle::cli {

// What the user asked for on the command line.
struct CommandLine {
    enum class Action { Convert, ShowHelp, ShowVersion };

    Action action = Action::Convert;
    ConversionSettings settings;  // defaults are the window's initial state
    std::filesystem::path input;
    std::optional<std::filesystem::path> output;  // standard output when empty
};

struct ParseResult {
    std::optional<CommandLine> commandLine;
    std::string error;  // set when commandLine is empty
};

ParseResult ParseCommandLine(const std::vector<std::string_view>& arguments);

std::string_view UsageText();

}  // namespace rastelle::cli
