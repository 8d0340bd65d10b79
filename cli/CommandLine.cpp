#include "CommandLine.h"

#include <charconv>
#include <map>

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
    std::optional<std::string> label;
    bool optionsEnded = false;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        if (optionsEnded || argument == "-" || !argument.starts_with('-')) {
            commandLine.inputs.emplace_back(std::string(argument));
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
            name != "--output" && name != "--syntax" && name != "--label" && name != "--frames") {
            return Fail("unknown option '" + std::string(argument) + "'");
        }
        if (!value) {
            if (i + 1 == arguments.size())
                return Fail("option " + std::string(name) + " needs a value");
            value = arguments[++i];
        }
        const std::string text(*value);

        if (name == "--threshold") {
            const auto threshold = ParseThreshold(text);
            if (!threshold)
                return Fail("threshold must be a whole number from 0 to 255, not '" + text + "'");
            commandLine.settings.threshold = *threshold;
        } else if (name == "--fill") {
            const auto fill = ParseFill(text);
            if (!fill)
                return Fail("fill must be none, zeros or ones, not '" + text + "'");
            commandLine.settings.fill = *fill;
        } else if (name == "--width-unit") {
            const auto unit = ParseWidthUnit(text);
            if (!unit)
                return Fail("width unit must be bits or bytes, not '" + text + "'");
            commandLine.settings.widthUnit = *unit;
        } else if (name == "--syntax") {
            if (text == "list") {
                commandLine.action = CommandLine::Action::ListSyntaxes;
                return {commandLine, {}};
            }
            const SyntaxPreset* preset = FindSyntaxPreset(text);
            if (preset == nullptr)
                return Fail("unknown syntax '" + text + "'; the syntaxes are listed below");
            commandLine.syntax = preset->syntax;
        } else if (name == "--frames") {
            if (text != "first" && text != "all")
                return Fail("frames must be first or all, not '" + text + "'");
            commandLine.allFrames = text == "all";
        } else if (name == "--label") {
            if (!IsValidLabel(text)) {
                return Fail("label '" + text +
                            "' must be letters, digits and _, not starting with a digit");
            }
            label = text;
        } else {
            if (text.empty())
                return Fail("the output file name is empty");
            // "-" is standard output, as in most tools.
            if (text == "-")
                commandLine.output.reset();
            else
                commandLine.output = std::filesystem::path(text);
        }
    }

    if (commandLine.inputs.empty())
        return Fail("no input file");
    if (commandLine.inputs.size() == 1) {
        commandLine.labels.push_back(label.value_or(""));
        return {commandLine, {}};
    }
    if (label)
        return Fail("--label names one image; with several files each is labelled by its name");
    std::map<std::string, const std::filesystem::path*> owners;
    for (const std::filesystem::path& input : commandLine.inputs) {
        std::string made = LabelFromStem(input.stem().string());
        const auto [owner, isNew] = owners.emplace(made, &input);
        if (!isNew) {
            return Fail(owner->second->string() + " and " + input.string() +
                        " would both get the label " + made);
        }
        commandLine.labels.push_back(std::move(made));
    }
    return {commandLine, {}};
}

std::string SyntaxTable() {
    std::string table;
    for (const SyntaxPreset& preset : SyntaxPresets()) {
        const AssemblerSyntax& syntax = preset.syntax;
        std::string name(preset.name);
        if (&preset == SyntaxPresets().data())
            name += " (default)";
        name.resize(17, ' ');
        const auto literal = [&](std::string_view digits) {
            return std::string(syntax.literalPrefix) + std::string(digits) +
                   std::string(syntax.literalSuffix);
        };
        table += "  " + name + std::string(syntax.directive) + " 16,2 / " +
                 std::string(syntax.directive) + " " + literal("00111100") + "," +
                 literal("11000011") + "\n";
        table += std::string(19, ' ') + std::string(preset.assemblers) + "\n";
    }
    return table;
}

std::string UsageText() {
    return "Usage: rastelle-cli [OPTIONS] FILE...\n"
           "Turns images into assembler source: one line of binary literals per pixel row,\n"
           "after a header line with the width and the height. Reads BMP, JPEG, PNG, GIF,\n"
           "TGA, binary PGM and PPM, and PSD files, known by their contents, not their\n"
           "names; transparent pixels count as white, photos are turned upright.\n"
           "\n"
           "  --threshold N          black/white limit, 0 to 255 (default 128): a pixel is 1\n"
           "                         when R+G+B < 3 x N\n"
           "  --fill none|zeros|ones complete rows to whole bytes with 0s or 1s (default\n"
           "                         zeros); with none a last literal of fewer than 8 digits\n"
           "                         (%101) is the plain number 5: its pixels land in the low\n"
           "                         bits\n"
           "  --centre, --center     put part of the fill before the pixels\n"
           "  --width-unit bits|bytes  unit of the header's width (default bits; always bits\n"
           "                         with --fill none)\n"
           "  --syntax NAME          the assembler's spelling (below); NAME may also be one of\n"
           "                         the assemblers named; --syntax list shows the table\n"
           "  --label NAME           a line \"NAME:\" before the image (one FILE only)\n"
           "  --frames first|all     of an animated GIF, the first frame (default) or every\n"
           "                         frame as an image of its own, labelled NAME_0, NAME_1...\n"
           "                         (NAME: --label or the file's name; a still image is\n"
           "                         frame 0)\n"
           "  -o, --output OUT       write the text to OUT instead of standard output (\"-\");\n"
           "                         a file is replaced only once the whole text is written\n"
           "  --help                 show this text\n"
           "  --version              show the version\n"
           "\n"
           "Each FILE is tried as given, then with \".bmp\" appended. Several FILEs make one\n"
           "text, the images in order with an empty line between them, each after a label\n"
           "made from its file name (\"8x8-ball.bmp\" gives \"_8x8_ball:\"). Every line\n"
           "starts with a tab; lines end with CR LF. A width or height above 255 does not\n"
           "fit in the header's byte: it is written all the same, with a warning.\n"
           "\n"
           "Syntaxes (the header line / a row line; then the assemblers they serve):\n" +
           SyntaxTable();
}

}  // namespace rastelle::cli
