#include "CommandLine.h"

#include <charconv>

namespace rastelle::cli {

namespace {

ParseResult Fail(std::string message) {
    return {std::nullopt, std::move(message)};
}

std::optional<std::uint8_t> ParseThreshold(std::string_view text) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end || value > 255) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(value);
}

std::optional<FillMode> ParseFill(std::string_view text) {
    if (text == "none")
        return FillMode::None;
    if (text == "zeros")
        return FillMode::Zeros;
    if (text == "ones")
        return FillMode::Ones;
    return std::nullopt;
}

std::optional<WidthUnit> ParseWidthUnit(std::string_view text) {
    if (text == "bits")
        return WidthUnit::Bits;
    if (text == "bytes")
        return WidthUnit::Bytes;
    return std::nullopt;
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string_view>& arguments) {
    CommandLine commandLine;
    bool haveInput = false;
    bool optionsEnded = false;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        if (optionsEnded || argument == "-" || !argument.starts_with('-')) {
            if (haveInput)
                return Fail("more than one input file");
            commandLine.input = std::filesystem::path(std::string(argument));
            haveInput = true;
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            commandLine.action = CommandLine::Action::ShowHelp;
            return {commandLine, {}};
        }
        if (argument == "--version") {
            commandLine.action = CommandLine::Action::ShowVersion;
            return {commandLine, {}};
        }
        if (argument == "--centre" || argument == "--center") {
            commandLine.settings.centre = true;
            continue;
        }

        // The remaining options take a value, as "--name value" or "--name=value".
        std::string_view name = argument;
        std::optional<std::string_view> value;
        if (const auto equals = argument.find('='); equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        if (name != "--threshold" && name != "--fill" && name != "--width-unit" && name != "-o" &&
            name != "--output") {
            return Fail("unknown option '" + std::string(argument) + "'");
        }
        if (!value) {
            if (i + 1 == arguments.size())
                return Fail("option " + std::string(name) + " needs a value");
            value = arguments[++i];
        }

        if (name == "--threshold") {
            const auto threshold = ParseThreshold(*value);
            if (!threshold) {
                return Fail("threshold must be a whole number from 0 to 255, not '" +
                            std::string(*value) + "'");
            }
            commandLine.settings.threshold = *threshold;
        } else if (name == "--fill") {
            const auto fill = ParseFill(*value);
            if (!fill)
                return Fail("fill must be none, zeros or ones, not '" + std::string(*value) + "'");
            commandLine.settings.fill = *fill;
        } else if (name == "--width-unit") {
            const auto unit = ParseWidthUnit(*value);
            if (!unit)
                return Fail("width unit must be bits or bytes, not '" + std::string(*value) + "'");
            commandLine.settings.widthUnit = *unit;
        } else {
            if (value->empty())
                return Fail("the output file name is empty");
            // "-" is standard output, as in most tools.
            if (*value == "-")
                commandLine.output.reset();
            else
                commandLine.output = std::filesystem::path(std::string(*value));
        }
    }

    if (!haveInput)
        return Fail("no input file");
    return {commandLine, {}};
}

std::string_view UsageText() {
    return "Usage: rastelle-cli [OPTIONS] FILE\n"
           "Turns a BMP image into assembler source: one \".db\" line of binary literals per\n"
           "pixel row, after a header line with the width and the height.\n"
           "\n"
           "  --threshold N          black/white limit, 0 to 255 (default 128): a pixel is 1\n"
           "                         when R+G+B < 3 x N\n"
           "  --fill none|zeros|ones complete rows to whole bytes with 0s or 1s (default zeros)\n"
           "  --centre, --center     put part of the fill before the pixels\n"
           "  --width-unit bits|bytes  unit of the header's width (default bits; always bits\n"
           "                         with --fill none)\n"
           "  -o, --output OUT       write the text to OUT instead of standard output (\"-\");\n"
           "                         a file is replaced only once the whole text is written\n"
           "  --help                 show this text\n"
           "  --version              show the version\n"
           "\n"
           "FILE is tried as given, then with \".bmp\" appended.\n";
}

}  // namespace rastelle::cli
