#include "CommandLine.h"

#include <charconv>
#include <set>

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

std::string PresetNames() {
    std::string names;
    for (const SyntaxPreset& preset : SyntaxPresets())
        names += (names.empty() ? "" : ", ") + std::string(preset.name);
    return names;
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
    const SyntaxPreset* preset = SyntaxPresets().data();
    std::optional<std::string> label;
    std::string labelPrefix;
    std::set<std::string_view> given;  // options that take one value
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
            name != "--output" && name != "--syntax" && name != "--label" && name != "--frames" &&
            name != "--label-prefix") {
            return Fail("unknown option '" + std::string(argument) + "'");
        }
        // A second value would silently win over the first.
        if (!given.insert(name == "-o" ? "--output" : name).second)
            return Fail("option " + std::string(name) + " is given twice");
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
            preset = FindSyntaxPreset(text);
            if (preset == nullptr)
                return Fail("unknown syntax '" + text + "'; the syntaxes are " + PresetNames());
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
        } else if (name == "--label-prefix") {
            if (!IsValidLabel(text)) {
                return Fail("label prefix '" + text +
                            "' must be letters, digits and _, not starting with a digit");
            }
            labelPrefix = text;
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
    if (label && commandLine.inputs.size() > 1)
        return Fail("--label names one image; with several files each is labelled by its name");
    // One file gets a label line only when asked for one, or for its frames' labels.
    const bool labelled = commandLine.inputs.size() > 1 || label || commandLine.allFrames;
    for (const std::filesystem::path& input : commandLine.inputs) {
        std::string made;
        if (labelled) {
            made = labelPrefix + (label          ? *label
                                  : input == "-" ? std::string("stdin")
                                                 : LabelFromStem(input.stem().string()));
        }
        // Frame labels end in _0, _1...: never a reserved word.
        const std::string_view reserved = made.empty() || commandLine.allFrames
                                              ? std::string_view{}
                                              : ReservedWord(*preset, made);
        if (!reserved.empty()) {
            const std::string as = reserved == made ? "" : " (as " + std::string(reserved) + ")";
            return Fail((label ? "--label gives" : input.string() + " would get") + " the label " +
                        made + ", which " + std::string(preset->name) + " assemblers reserve" + as +
                        "; --label-prefix TEXT puts TEXT before every label");
        }
        for (std::size_t other = 0; other < commandLine.labels.size(); ++other) {
            if (SameLabel(*preset, commandLine.labels[other], made)) {
                const std::string& first = commandLine.labels[other];
                return Fail(commandLine.inputs[other].string() + " and " + input.string() +
                            (first == made ? " would both get the label " + made
                                           : " would get the labels " + first + " and " + made +
                                                 ", the same to " + std::string(preset->name) +
                                                 " assemblers, which ignore case"));
            }
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
           "after a header line with the width and the height. Reads BMP, PNG, GIF, TGA,\n"
           "binary PGM and PPM, and PSD files, known by their contents, not their\n"
           "names; transparent pixels count as white.\n"
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
           "  --label-prefix TEXT    put TEXT before every label (e.g. spr_): labels that\n"
           "                         the syntax's assemblers reserve (nop, a, hl, db...)\n"
           "                         are refused\n"
           "  --frames first|all     of an animated GIF, the first frame (default) or every\n"
           "                         frame as an image of its own, labelled NAME_0, NAME_1...\n"
           "                         (NAME: --label or the file's name; a still image is\n"
           "                         frame 0)\n"
           "  -o, --output OUT       write the text to OUT instead of standard output (\"-\");\n"
           "                         a file is replaced only once the whole text is written;\n"
           "                         /dev/stdout, /dev/fd/N are written through the descriptor\n"
           "  --help                 show this text\n"
           "  --version              show the version\n"
           "\n"
           "Each FILE is tried as given, then with \".bmp\" appended; \"-\" is standard input\n"
           "(labelled \"stdin\"). Several FILEs make one text, the images in order with an\n"
           "empty line between them, each after a label made from its file name\n"
           "(\"8x8-ball.bmp\" gives \"_8x8_ball:\"). Every line\n"
           "starts with a tab; lines end with CR LF. A width or height above 255 does not\n"
           "fit in the header's byte: it is written all the same, with a warning.\n"
           "\n"
           "Syntaxes (the header line / a row line; then the assemblers they serve):\n" +
           SyntaxTable();
}

}  // namespace rastelle::cli
