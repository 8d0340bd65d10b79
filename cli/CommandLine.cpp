#include "CommandLine.h"
#include "PathText.h"
#include "common/Limits.h"
#include "text/LabelSet.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <set>
#include <span>

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

std::string PresetNames() {
    std::string names;
    for (const SyntaxPreset& preset : SyntaxPresets())
        names += (names.empty() ? "" : ", ") + std::string(preset.name);
    return names;
}

// A whole number from 1 to the largest image side, digits only.
std::optional<std::int32_t> ParseSide(std::string_view text) {
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || text[0] == '+' || text[0] == '-' || error != std::errc{} || stop != end ||
        value < 1 || value > 16777216) {
        return std::nullopt;
    }
    return value;
}

// Whole numbers, digits only, each from `least` to the largest image side, between
// `separator`s; as many as `values` has room for, an empty one 0 where `empty` allows it.
bool ParseNumbers(std::string_view text, char separator, std::int32_t least,
                  std::span<std::int32_t> values, bool empty = false) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::size_t end = i + 1 == values.size() ? text.size() : text.find(separator);
        if (end == std::string_view::npos) {
            return false;
        }
        const std::string_view number = text.substr(0, end);
        if (number.empty() && empty) {
            values[i] = 0;
        } else {
            const auto value = ParseSide(number);
            const bool zero = least == 0 && number == "0";
            if (!value && !zero) {
                return false;
            }
            values[i] = zero ? 0 : *value;
        }
        text.remove_prefix(std::min(text.size(), end + 1));
    }
    return true;
}

// A map entry: a whole number from 0 to 65535, digits only.
std::optional<std::int32_t> ParseIndex(std::string_view text) {
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || text[0] == '-' || error != std::errc{} || stop != end || value > 65535) {
        return std::nullopt;
    }
    return value;
}

// "#RRGGBB", six hexadecimal digits.
std::optional<Colour> ParseKeyColour(std::string_view text) {
    if (text.size() != 7 || text[0] != '#') {
        return std::nullopt;
    }
    unsigned value = 0;
    const auto [stop, error] = std::from_chars(text.data() + 1, text.data() + 7, value, 16);
    if (error != std::errc{} || stop != text.data() + 7) {
        return std::nullopt;
    }
    return MakeColour(static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
                      static_cast<std::uint8_t>(value));
}

// The options that pick one of a few words, each with the setting it fills in.
struct Choice {
    std::string_view option;
    std::string_view word;
    void (*apply)(CommandLine&);
};
constexpr Choice kChoices[] = {
    {"--fill", "none", [](CommandLine& c) { c.settings.fill = FillMode::None; }},
    {"--fill", "zeros", [](CommandLine& c) { c.settings.fill = FillMode::Zeros; }},
    {"--fill", "ones", [](CommandLine& c) { c.settings.fill = FillMode::Ones; }},
    {"--width-unit", "bits", [](CommandLine& c) { c.settings.widthUnit = WidthUnit::Bits; }},
    {"--width-unit", "bytes", [](CommandLine& c) { c.settings.widthUnit = WidthUnit::Bytes; }},
    {"--dither", "none", [](CommandLine& c) { c.settings.dither = Dither::None; }},
    {"--dither", "ordered", [](CommandLine& c) { c.settings.dither = Dither::Ordered; }},
    {"--dither", "floyd-steinberg",
     [](CommandLine& c) { c.settings.dither = Dither::FloydSteinberg; }},
    {"--dither", "atkinson", [](CommandLine& c) { c.settings.dither = Dither::Atkinson; }},
    {"--background", "white", [](CommandLine& c) { c.settings.background = Background::White; }},
    {"--background", "black", [](CommandLine& c) { c.settings.background = Background::Black; }},
    {"--frames", "first", [](CommandLine& c) { c.allFrames = false; }},
    {"--frames", "all", [](CommandLine& c) { c.allFrames = true; }},
    {"--layout", "rows", [](CommandLine& c) { c.settings.layout = ByteLayout::Rows; }},
    {"--layout", "pages", [](CommandLine& c) { c.settings.layout = ByteLayout::Pages; }},
    {"--layout", "strips", [](CommandLine& c) { c.settings.layout = ByteLayout::Strips; }},
    {"--bit-order", "msb", [](CommandLine& c) { c.settings.bitOrder = BitOrder::Bit7First; }},
    {"--bit-order", "lsb", [](CommandLine& c) { c.settings.bitOrder = BitOrder::Bit0First; }},
    {"--cell-order", "rows", [](CommandLine& c) { c.settings.cellOrder = CellOrder::Rows; }},
    {"--cell-order", "columns", [](CommandLine& c) { c.settings.cellOrder = CellOrder::Columns; }},
    {"--mask-bit", "transparent",
     [](CommandLine& c) { c.settings.maskBit = MaskBit::Transparent; }},
    {"--mask-bit", "opaque", [](CommandLine& c) { c.settings.maskBit = MaskBit::Opaque; }},
    {"--mask-layout", "before", [](CommandLine& c) { c.settings.maskLayout = MaskLayout::Before; }},
    {"--mask-layout", "after", [](CommandLine& c) { c.settings.maskLayout = MaskLayout::After; }},
    {"--mask-layout", "block", [](CommandLine& c) { c.settings.maskLayout = MaskLayout::Block; }},
    {"--fit", "contain", [](CommandLine& c) { c.geometry.fit = Fit::Contain; }},
    {"--fit", "cover", [](CommandLine& c) { c.geometry.fit = Fit::Cover; }},
    {"--fit", "stretch", [](CommandLine& c) { c.geometry.fit = Fit::Stretch; }},
    {"--rotate", "90", [](CommandLine& c) { c.geometry.rotate = 90; }},
    {"--rotate", "180", [](CommandLine& c) { c.geometry.rotate = 180; }},
    {"--rotate", "270", [](CommandLine& c) { c.geometry.rotate = 270; }},
    {"--flip", "horizontal", [](CommandLine& c) { c.geometry.flip = Flip::Horizontal; }},
    {"--flip", "vertical", [](CommandLine& c) { c.geometry.flip = Flip::Vertical; }},
    {"--flip", "both", [](CommandLine& c) { c.geometry.flip = Flip::Both; }},
    {"--radix", "bin", [](CommandLine& c) { c.settings.radix = Radix::Binary; }},
    {"--radix", "hex", [](CommandLine& c) { c.settings.radix = Radix::Hex; }},
    {"--radix", "dec", [](CommandLine& c) { c.settings.radix = Radix::Decimal; }},
};

// How a refusal names these options: the setting in words, its choices as "a, b or c". The
// other choices are refused naming the option, its choices as "a or b or c".
constexpr struct {
    std::string_view option;
    std::string_view subject;
} kChoiceSubjects[] = {{"--fill", "fill"},       {"--width-unit", "width unit"},
                       {"--dither", "dither"},   {"--background", "background"},
                       {"--frames", "frames"},   {"--fit", "fit"},
                       {"--rotate", "rotation"}, {"--flip", "flip"},
                       {"--radix", "radix"}};

bool ParseChoice(std::string_view name, std::string_view text, CommandLine& commandLine,
                 std::string& error) {
    std::vector<std::string_view> words;
    for (const Choice& choice : kChoices) {
        if (choice.option != name) {
            continue;
        }
        if (choice.word == text) {
            choice.apply(commandLine);
            return true;
        }
        words.push_back(choice.word);
    }
    std::string subject(name);
    std::string_view comma = " or ";
    for (const auto& named : kChoiceSubjects) {
        if (named.option == name) {
            subject = named.subject;
            comma = ", ";
        }
    }
    std::string list;
    for (std::size_t i = 0; i < words.size(); ++i) {
        list += i == 0 ? "" : i + 1 == words.size() ? " or " : comma;
        list += words[i];
    }
    error = subject + " must be " + list + ", not '" + std::string(text) + "'";
    return false;
}

bool IsChoice(std::string_view name) {
    for (const Choice& choice : kChoices) {
        if (choice.option == name) {
            return true;
        }
    }
    return false;
}

// C has no binary literals before C23; an X BitMap is hexadecimal bytes of rows, the leftmost
// pixel in bit 0, rows padded to whole bytes, its size always given. Fills in what XBM implies.
std::string CheckTextForm(const SyntaxPreset& preset, ConversionSettings& settings) {
    const TextKind kind = preset.syntax.kind;
    if (kind == TextKind::C && settings.radix == Radix::Binary)
        return "--radix bin is not standard C before C23: --syntax c takes hex or dec";
    if (kind != TextKind::Xbm)
        return {};
    const std::pair<bool, std::string_view> refused[] = {
        {settings.radix == Radix::Binary || settings.radix == Radix::Decimal, "--radix"},
        {settings.layout != ByteLayout::Rows, "--layout pages or strips"},
        {settings.bitOrder == BitOrder::Bit7First, "--bit-order msb"},
        {settings.fill == FillMode::None, "--fill none"},
        {settings.centre, "--centre"},
        {!settings.header, "--no-header"},
        {settings.widthUnit == WidthUnit::Bytes, "--width-unit bytes"},
        {settings.comment, "--comment (ImageMagick reads no comment among the bytes)"},
        {settings.symbols, "--symbols (it defines its own size)"},
        {settings.mask != MaskSource::None && settings.maskLayout != MaskLayout::Block,
         "--mask beside the picture (--mask-layout block makes it an image of its own)"},
    };
    for (const auto& [contradicts, option] : refused) {
        if (contradicts)
            return "--syntax xbm is hexadecimal rows, the leftmost pixel in bit 0, padded to "
                   "whole bytes, after its size: it does not take " +
                   std::string(option);
    }
    settings.bitOrder = BitOrder::Bit0First;
    return {};
}

// The tile options build on each other: tiles are cells, flips are found among tiles.
std::string CheckTiles(const ConversionSettings& settings,
                       const std::set<std::string_view>& given) {
    const std::pair<bool, std::string_view> needs[] = {
        {settings.unique && settings.cellWidth == 0, "--unique needs --cell WxH: tiles are cells"},
        {settings.mirror && !settings.unique, "--mirror needs --unique"},
        {settings.attrInMap && !settings.mirror,
         "--attr-in-map needs --mirror: it puts the flips in the map"},
        {given.contains("--map-base") && !settings.unique, "--map-base needs --unique"},
        {given.contains("--empty-index") && !(settings.unique && settings.skipEmpty),
         "--empty-index needs --unique and --skip-empty"},
    };
    for (const auto& [missing, message] : needs) {
        if (missing)
            return std::string(message);
    }
    return {};
}

std::string_view RadixWord(Radix radix) {
    return radix == Radix::Hex ? "hex" : radix == Radix::Decimal ? "dec" : "bin";
}

// What --target sets, unless given otherwise; what was given otherwise is said.
std::string ApplyTarget(const DisplayTarget& target, const std::set<std::string_view>& given,
                        CommandLine& commandLine, const SyntaxPreset*& preset) {
    ConversionSettings& settings = commandLine.settings;
    std::string takes;
    std::string used;
    const auto settle = [&](std::string_view option, bool same, std::string_view wanted,
                            std::string_view as, auto apply) {
        if (!given.contains(option)) {
            apply();
        } else if (!same) {
            takes += (takes.empty() ? "" : ", ") + std::string(option) + " " + std::string(wanted);
            used += (used.empty() ? "" : ", ") + std::string(option) + " " + std::string(as);
        }
    };
    const auto layoutWord = [](ByteLayout layout) {
        return layout == ByteLayout::Pages ? "pages" : "rows";
    };
    const auto orderWord = [](BitOrder order) {
        return order == BitOrder::Bit0First ? "lsb" : "msb";
    };
    settle("--layout", settings.layout == target.layout, layoutWord(target.layout),
           layoutWord(settings.layout), [&] { settings.layout = target.layout; });
    settle("--bit-order", settings.bitOrder == target.bitOrder, orderWord(target.bitOrder),
           orderWord(settings.bitOrder), [&] { settings.bitOrder = target.bitOrder; });
    settle("--radix", settings.radix == target.radix, RadixWord(target.radix),
           RadixWord(settings.radix), [&] { settings.radix = target.radix; });
    if (!target.syntax.empty()) {
        settle("--syntax", preset->name == target.syntax, target.syntax, preset->name, [&] {
            preset = FindSyntaxPreset(target.syntax);
            commandLine.syntax = preset->syntax;
        });
    }
    settings.invert = settings.invert || target.invert;
    return takes.empty() ? std::string()
                         : "--target " + std::string(target.name) + " takes " + takes +
                               "; used as given: " + used;
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string_view>& arguments) {
    CommandLine commandLine;
    const SyntaxPreset* preset = SyntaxPresets().data();
    std::optional<std::string> label;
    std::string labelPrefix;
    const DisplayTarget* target = nullptr;
    std::set<std::string_view> given;  // options that take one value
    bool optionsEnded = false;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        if (optionsEnded || argument == "-" || !argument.starts_with('-')) {
            commandLine.inputs.push_back(PathFromText(argument));
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
        if (argument == "--skip-empty") {
            commandLine.settings.skipEmpty = true;
            continue;
        }
        if (argument == "--no-header") {
            commandLine.settings.header = false;
            continue;
        }
        if (argument == "--invert") {
            commandLine.settings.invert = true;
            continue;
        }
        if (argument == "--preview") {
            commandLine.preview = true;
            continue;
        }
        if (argument == "--preview-full") {
            commandLine.preview = true;
            commandLine.previewFull = true;
            continue;
        }
        if (argument == "--trim") {
            commandLine.trim = true;
            continue;
        }
        if (argument == "--reverse") {
            commandLine.reverse = true;
            continue;
        }
        if (argument == "--comment") {
            commandLine.settings.comment = true;
            continue;
        }
        if (argument == "--unique" || argument == "--mirror" || argument == "--attr-in-map") {
            (argument == "--unique"   ? commandLine.settings.unique
             : argument == "--mirror" ? commandLine.settings.mirror
                                      : commandLine.settings.attrInMap) = true;
            continue;
        }
        if (argument == "--symbols") {
            commandLine.settings.symbols = true;
            continue;
        }
        if (argument == "--binary") {
            commandLine.settings.binary = true;
            continue;
        }

        // The remaining options take a value, as "--name value" or "--name=value".
        std::string_view name = argument;
        std::optional<std::string_view> value;
        if (const auto equals = argument.find('='); equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        if (name != "--threshold" && name != "-o" && name != "--output" && name != "--syntax" &&
            name != "--label" && name != "--cell" && name != "--size" && name != "--mask" &&
            name != "--label-prefix" && name != "--crop" && name != "--resize" &&
            name != "--scale" && name != "--per-line" && name != "--target" &&
            name != "--map-base" && name != "--empty-index" && !IsChoice(name)) {
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
        } else if (name == "--syntax") {
            if (text == "list") {
                commandLine.action = CommandLine::Action::ListSyntaxes;
                return {commandLine, {}};
            }
            preset = FindSyntaxPreset(text);
            if (preset == nullptr)
                return Fail("unknown syntax '" + text + "'; the syntaxes are " + PresetNames());
            commandLine.syntax = preset->syntax;
        } else if (IsChoice(name)) {
            std::string error;
            if (!ParseChoice(name, text, commandLine, error))
                return Fail(error);
        } else if (name == "--cell" || name == "--size") {
            const std::size_t times = text.find('x');
            const auto cellWidth = ParseSide(std::string_view(text).substr(0, times));
            const auto cellHeight = times == std::string::npos
                                        ? std::nullopt
                                        : ParseSide(std::string_view(text).substr(times + 1));
            if (!cellWidth || !cellHeight)
                return Fail(std::string(name) +
                            " must be WIDTHxHEIGHT in pixels, each from 1 to 16777216 (as "
                            "8x8), not '" +
                            text + "'");
            (name == "--cell" ? commandLine.settings.cellWidth : commandLine.width) = *cellWidth;
            (name == "--cell" ? commandLine.settings.cellHeight : commandLine.height) = *cellHeight;
        } else if (name == "--crop") {
            GeometrySettings& geometry = commandLine.geometry;
            std::array<std::int32_t, 4> values{};
            if (!ParseNumbers(text, ',', 0, values) || values[2] == 0 || values[3] == 0)
                return Fail("--crop must be X,Y,WIDTH,HEIGHT in pixels (as 0,8,64,32), not '" +
                            text + "'");
            geometry.crop = true;
            geometry.cropX = values[0];
            geometry.cropY = values[1];
            geometry.cropWidth = values[2];
            geometry.cropHeight = values[3];
        } else if (name == "--resize") {
            std::array<std::int32_t, 2> values{};
            if (!ParseNumbers(text, 'x', 1, values, true) || (values[0] == 0 && values[1] == 0))
                return Fail(
                    "--resize must be WIDTHxHEIGHT, WIDTHx or xHEIGHT in pixels, each from 1 to "
                    "16777216 (as 128x64 or 128x), not '" +
                    text + "'");
            commandLine.geometry.resizeWidth = values[0];
            commandLine.geometry.resizeHeight = values[1];
        } else if (name == "--scale") {
            std::array<std::int32_t, 1> values{};
            if (!ParseNumbers(text, 'x', 1, values) || values[0] > 256)
                return Fail("--scale must be a whole number from 1 to 256, not '" + text + "'");
            commandLine.geometry.scale = values[0];
        } else if (name == "--mask") {
            const auto key = ParseKeyColour(text);
            if (text != "alpha" && !key)
                return Fail("--mask must be alpha or a colour #RRGGBB (as #FF00FF), not '" + text +
                            "'");
            commandLine.settings.mask = key ? MaskSource::KeyColour : MaskSource::Alpha;
            commandLine.settings.maskKey = key.value_or(0);
        } else if (name == "--target") {
            if (text == "list") {
                commandLine.action = CommandLine::Action::ListTargets;
                return {commandLine, {}};
            }
            target = FindDisplayTarget(text);
            if (target == nullptr) {
                std::string names;
                for (const DisplayTarget& known : DisplayTargets())
                    names += (names.empty() ? "" : ", ") + std::string(known.name);
                return Fail("unknown target '" + text + "'; the targets are " + names);
            }
        } else if (name == "--per-line") {
            const auto perLine = ParseSide(text);
            if (!perLine)
                return Fail(
                    "--per-line must be a whole number of literals from 1 to 16777216, "
                    "not '" +
                    text + "'");
            commandLine.settings.perLine = *perLine;
        } else if (name == "--map-base" || name == "--empty-index") {
            const auto number = ParseIndex(text);
            if (!number)
                return Fail(std::string(name) + " must be a whole number from 0 to 65535, not '" +
                            text + "'");
            (name == "--map-base" ? commandLine.settings.mapBase
                                  : commandLine.settings.emptyIndex) = *number;
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
                commandLine.output = PathFromText(text);
        }
    }

    if (commandLine.inputs.empty())
        return Fail("no input file");
    if (commandLine.settings.layout == ByteLayout::Pages &&
        commandLine.settings.widthUnit == WidthUnit::Bytes)
        return Fail(
            "--width-unit bytes counts bytes of rows; with --layout pages the width is "
            "in pixels");
    const GeometrySettings& geometry = commandLine.geometry;
    const bool resized = geometry.resizeWidth > 0 || geometry.resizeHeight > 0;
    if (resized && geometry.scale > 1)
        return Fail("--resize and --scale both set the size: give one");
    if (given.contains("--fit") && (geometry.resizeWidth == 0 || geometry.resizeHeight == 0))
        return Fail(
            "--fit needs --resize WIDTHxHEIGHT; with one side given the proportions are kept");
    if (commandLine.reverse && (geometry.Changes() || commandLine.trim))
        return Fail(
            "--crop, --resize, --scale, --rotate, --flip and --trim change the images read, "
            "not the pictures --reverse writes");
    if (target != nullptr)
        commandLine.notice = ApplyTarget(*target, given, commandLine, preset);
    if (std::string error = CheckTextForm(*preset, commandLine.settings); !error.empty())
        return Fail(error);
    if (std::string error = CheckTiles(commandLine.settings, given); !error.empty())
        return Fail(error);
    if (commandLine.settings.layout == ByteLayout::Strips && commandLine.settings.comment)
        return Fail("--comment draws rows: --layout strips gives none");
    if (commandLine.settings.binary && commandLine.settings.symbols)
        return Fail("--binary has no symbols: a table's addresses depend on where the bytes go");
    if (commandLine.settings.binary && commandLine.preview)
        return Fail("--binary and --preview each replace the text: give one of them");
    if (commandLine.reverse) {
        if (commandLine.settings.unique && commandLine.settings.binary)
            return Fail(
                "--reverse --binary reads one image: tiles and their map come back from the "
                "text");
        if (!commandLine.output)
            return Fail("--reverse needs -o PICTURE: a .png or .pbm file, or a folder");
        if (!commandLine.settings.header && commandLine.width == 0)
            return Fail("--no-header needs --size WxH: only the header gives the picture's size");
        commandLine.labels.push_back(label.value_or(""));
        return {commandLine, {}};
    }
    if (commandLine.width > 0)
        return Fail("--size is the size of the picture that --reverse makes");
    if (label && commandLine.inputs.size() > 1)
        return Fail("--label names one image; with several files each is labelled by its name");
    // One file gets a label line only when asked for one (or a prefix), or for the labels of
    // its frames, cells or mask block, which are named after it.
    const ConversionSettings& settings = commandLine.settings;
    const bool numbered = commandLine.allFrames || settings.cellWidth > 0;
    const bool maskBlock =
        settings.mask != MaskSource::None && settings.maskLayout == MaskLayout::Block;
    // A C array needs a name, and symbols are named after the label.
    const bool labelled = commandLine.inputs.size() > 1 || label || !labelPrefix.empty() ||
                          numbered || maskBlock || preset->syntax.kind != TextKind::Assembler ||
                          settings.symbols;
    // What frames (_F), cells (_K), a mask block (_mask) and symbols (_height) may add to a
    // file's label.
    std::size_t added = maskBlock ? 5 : 0;
    if (settings.symbols) {
        added = std::max<std::size_t>(added, 7);
    }
    const auto digits = [](std::uint64_t most) { return std::to_string(most).size(); };
    if (commandLine.allFrames) {
        added += 1 + digits(std::numeric_limits<std::int32_t>::max());
    }
    if (settings.cellWidth > 0) {
        const auto side = static_cast<std::uint64_t>(limits::kMaxSide);
        added += 1 + digits(side / static_cast<std::uint64_t>(settings.cellWidth) *
                                (side / static_cast<std::uint64_t>(settings.cellHeight)) -
                            1);
    }
    LabelSet labels(*preset);
    for (const std::filesystem::path& input : commandLine.inputs) {
        std::string made;
        if (labelled) {
            made = labelPrefix + (label          ? *label
                                  : input == "-" ? std::string("stdin")
                                                 : LabelFromStem(PathText(input.stem())));
        }
        const std::string source = label ? "--label" : PathText(input);
        if (made.size() + added > kMaxLabel) {
            return Fail(source + " would get labels of up to " +
                        std::to_string(made.size() + added) + " characters; labels have at most " +
                        std::to_string(kMaxLabel) + ", the most --reverse reads");
        }
        // Frame and cell labels end in _0, _1...: never a reserved word.
        const std::string_view reserved =
            made.empty() || numbered ? std::string_view{} : ReservedWord(*preset, made);
        if (!reserved.empty()) {
            const std::string as = reserved == made ? "" : " (as " + std::string(reserved) + ")";
            const std::string reserves =
                preset->syntax.kind == TextKind::C
                    ? "a keyword of C"
                    : "which " + std::string(preset->name) + " assemblers reserve" + as;
            return Fail((label ? "--label gives" : PathText(input) + " would get") + " the label " +
                        made + ", " + reserves +
                        "; --label-prefix TEXT puts TEXT before every label");
        }
        // Every file's frames and cells add the same numbers to its label, so their labels
        // clash only where the files' labels do; a mask block's label may clash with a file's.
        std::string clash = made.empty() ? std::string() : labels.Add(made, source);
        if (clash.empty() && !made.empty() && maskBlock && !numbered) {
            clash = labels.Add(made + "_mask", source + "'s mask");
        }
        // A frame's map is NAME_F_map, numbered as the frames' labels are.
        if (settings.unique && !commandLine.allFrames && !made.empty()) {
            if (clash.empty()) {
                clash = labels.Add(made + "_map", source + "'s map");
            }
            if (clash.empty() && settings.mirror && !settings.attrInMap) {
                clash = labels.Add(made + "_attr", source + "'s flips");
            }
        }
        if (settings.symbols && !made.empty()) {
            // A count and a table only where the file gives several images, the place of what
            // was kept only with trim.
            std::vector<const char*> symbols = {"_width", "_height"};
            if (numbered) {
                symbols.insert(symbols.end(), {"_count", "_table"});
            }
            if (commandLine.trim) {
                symbols.insert(symbols.end(), {"_trim_x", "_trim_y"});
            }
            if (settings.unique && !commandLine.allFrames) {
                symbols.push_back("_map_width");
            }
            for (const char* symbol : symbols) {
                if (clash.empty()) {
                    clash = labels.Add(made + symbol, source + "'s symbols");
                }
            }
        }
        if (!clash.empty()) {
            return Fail(clash);
        }
        commandLine.labels.push_back(std::move(made));
    }
    commandLine.tableName = labelPrefix + "images";
    if (settings.symbols && commandLine.inputs.size() > 1) {
        for (const char* symbol : {"_count", "_table"}) {
            if (std::string clash =
                    labels.Add(commandLine.tableName + symbol, "the table of files");
                !clash.empty()) {
                return Fail(clash);
            }
        }
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
        if (syntax.kind == TextKind::Assembler) {
            table += "  " + name + std::string(syntax.directive) + " 16,2 / " +
                     std::string(syntax.directive) + " " + literal("00111100") + "," +
                     literal("11000011") + "\n";
        } else {
            const bool xbm = syntax.kind == TextKind::Xbm;
            table += "  " + name + "#define NAME_" + (xbm ? "width" : "WIDTH") + " 16 / " +
                     "0x3C, 0xC3," + "\n";
        }
        table += std::string(19, ' ') + std::string(preset.assemblers) + "\n";
    }
    return table;
}

std::string TargetTable() {
    std::string table;
    for (const DisplayTarget& target : DisplayTargets()) {
        std::string name(target.name);
        name.resize(14, ' ');
        std::string sets = "--layout ";
        sets += target.layout == ByteLayout::Pages ? "pages" : "rows";
        sets += target.bitOrder == BitOrder::Bit0First ? " --bit-order lsb" : " --bit-order msb";
        sets += " --radix ";
        sets += RadixWord(target.radix);
        sets += target.invert ? " --invert" : "";
        if (!target.syntax.empty()) {
            sets += " --syntax ";
            sets += target.syntax;
        }
        table += "  ";
        table += name;
        table += sets;
        table += "\n";
        table.append(16, ' ');
        table += target.matches;
        if (!target.aliases.empty()) {
            table += " (also ";
            table += target.aliases;
            table += ")";
        }
        table += "\n";
    }
    return table;
}

std::string UsageText() {
    return "Usage: rastelle-cli [OPTIONS] FILE...\n"
           "       rastelle-cli --reverse [OPTIONS] TEXT... -o PICTURE\n"
           "Turns images into assembler source: one line of binary literals per pixel row,\n"
           "after a header line with the width and the height. Reads BMP, JPEG, PNG, GIF,\n"
           "TGA, PBM, PGM and PPM (binary and plain), and PSD files, known by their\n"
           "contents, not their names; transparent pixels are seen against white (or\n"
           "--background), photos are turned upright.\n"
           "\n"
           "  --threshold N          black/white limit, 0 to 255 (default 128): a pixel is 1\n"
           "                         when R+G+B < 3 x N; with dithering, a grey of R+G+B =\n"
           "                         3 x N is half 1s\n"
           "  --dither none|ordered|floyd-steinberg|atkinson\n"
           "                         spread the greys as patterns of 1s and 0s (default none)\n"
           "  --invert               1 for light pixels instead of dark ones (fill digits stay)\n"
           "  --background white|black  what transparent pixels are seen against (default\n"
           "                         white)\n"
           "  --fill none|zeros|ones complete rows to whole bytes with 0s or 1s (default\n"
           "                         zeros); with none a last literal of fewer than 8 digits\n"
           "                         (%101) is the plain number 5: its pixels land in the low\n"
           "                         bits\n"
           "  --centre, --center     put part of the fill before the pixels\n"
           "  --width-unit bits|bytes  unit of the header's width (default bits; always bits\n"
           "                         with --fill none)\n"
           "  --syntax NAME          the assembler's spelling (below); NAME may also be one of\n"
           "                         the assemblers named; --syntax list shows the table; c: a\n"
           "                         C array; xbm: an X BitMap (rows, the left pixel in bit 0)\n"
           "  --radix bin|hex|dec    how bytes are spelt (default bin; hex in C, which takes\n"
           "                         no bin); the header stays decimal\n"
           "  --per-line N           at most N literals a line; a longer row or page goes on\n"
           "                         over more lines (default: a line per row or page)\n"
           "  --comment              draw each row's pixels in a comment after its line (#\n"
           "                         for 1, . for 0; a page's rows on 8 lines before it)\n"
           "  --target NAME          the layout, bit order, polarity and spelling a display\n"
           "                         or library takes; options given override it (said on\n"
           "                         standard error); --target list shows them\n"
           "  --binary               instead of the text, the bytes assembling it gives (each\n"
           "                         header number a byte, above 255 refused); to -o OUT or\n"
           "                         to standard output when it is no terminal\n"
           "  --symbols              equates NAME_width and NAME_height (pixels) for every\n"
           "                         image; with cells, frames or several files also\n"
           "                         NAME_count and a table of addresses NAME_table (several\n"
           "                         files: images_count, images_table)\n"
           "  --label NAME           a line \"NAME:\" before the image (one FILE only)\n"
           "  --label-prefix TEXT    put TEXT before every label (spr_ makes nop.png spr_nop:,\n"
           "                         one FILE too): labels that the syntax's assemblers\n"
           "                         reserve (nop, a, hl, db...) are refused\n"
           "  --frames first|all     of an animated GIF, the first frame (default) or every\n"
           "                         frame as an image of its own, labelled NAME_0, NAME_1...\n"
           "                         (NAME: --label or the file's name; a still image is\n"
           "                         frame 0)\n"
           "  --layout rows|pages|strips  rows (default): a byte is 8 pixels of a row, a line\n"
           "                         per row; pages (SSD1306, PCD8544 and other panels): a\n"
           "                         byte is a column of 8 rows, a line per page of 8 rows;\n"
           "                         strips: bytes as in rows, but each strip of 8 pixels\n"
           "                         wide top to bottom, a line per strip, then the next to\n"
           "                         the right (with --cell 16x16 the MSX sprite order)\n"
           "  --bit-order msb|lsb    the byte's first pixel (leftmost; topmost in pages) in\n"
           "                         bit 7 (default for rows) or bit 0 (default for pages)\n"
           "  --cell WxH             cut each image into cells of W x H pixels, each an image\n"
           "                         labelled NAME_0, NAME_1... (NAME_F_K with frames)\n"
           "  --cell-order rows|columns  number the cells along rows (default) or columns\n"
           "  --skip-empty           leave out cells of 0 digits only, keeping the numbers\n"
           "  --unique               each distinct cell once, as tiles NAME_0, NAME_1... in\n"
           "                         the order cells first show them, and a map NAME_map of\n"
           "                         their numbers, an entry per cell (a byte each, or a\n"
           "                         word when an entry passes 255); one tile set for all\n"
           "                         frames, a map per frame (NAME_F_map)\n"
           "  --mirror               with --unique, a cell that is a tile flipped across,\n"
           "                         down or both is that tile; NAME_attr gives each entry's\n"
           "                         flips: bit 5 across, bit 6 down\n"
           "  --attr-in-map          the flips in the map's words instead: bit 14 across,\n"
           "                         bit 15 down, the tile's number below (at most 16383)\n"
           "  --map-base N           add N (0 to 65535) to every number in the map\n"
           "  --empty-index N        with --skip-empty, the map entry of an empty cell\n"
           "                         (default 0)\n"
           "  --no-header            no width/height line\n"
           "  --mask alpha|#RRGGBB   a mask digit per pixel: transparent is alpha below 128\n"
           "                         or the key colour; a transparent pixel's digit is 0\n"
           "  --mask-bit transparent|opaque  which pixels get 1 in the mask (default\n"
           "                         transparent; fill digits count as transparent)\n"
           "  --mask-layout before|after|block  each mask byte before (default) or after\n"
           "                         its picture byte, or the mask as an image NAME_mask\n"
           "  --crop X,Y,W,H         keep W x H pixels from X,Y of the image (as 0,0,64,32)\n"
           "  --resize WxH|Wx|xH     resize to W x H pixels, or to W wide or H high keeping\n"
           "                         the proportions; each pixel the mean of the area it\n"
           "                         covers\n"
           "  --fit contain|cover|stretch  with --resize WxH: the whole picture inside,\n"
           "                         centred on transparent padding (default); the box\n"
           "                         filled, the overflow cut evenly; or both sides as given\n"
           "  --scale N              enlarge N times, each pixel N x N (1 to 256)\n"
           "  --rotate 90|180|270    turn clockwise (after crop and resize)\n"
           "  --flip horizontal|vertical|both  mirror (after turning)\n"
           "  --trim                 cut the rows and columns at the edges whose digits are\n"
           "                         all 0; the part kept is said on standard error (and\n"
           "                         with --symbols as NAME_trim_x, NAME_trim_y)\n"
           "  --preview              draw the 1-bit pictures with block characters instead of\n"
           "                         writing the text (fill drawn as \u2591 or \u2593); a\n"
           "                         picture wider than the terminal is reduced to fit\n"
           "  --preview-full         the same, every pixel however wide\n"
           "  --reverse              read assembler text (TEXT...) and write the picture to\n"
           "                         PICTURE: PNG, or PBM when its name ends in .pbm; black\n"
           "                         for 1 and white for 0, a mask as transparency (as the\n"
           "                         key colour with --mask #RRGGBB). Give the options that\n"
           "                         made the text. Reads the directives and literals of\n"
           "                         every syntax, hexadecimal ($FF, 0xFF, 0FFh, #$FF),\n"
           "                         decimal and binary (%101, 0b101, 101b) numbers, and\n"
           "                         comments (;, //, /* */, * at column 1); equates and\n"
           "                         tables of words are skipped; C arrays and X BitMaps\n"
           "                         (--syntax xbm); with --binary, the bytes --binary\n"
           "                         writes. TEXT \"-\" is standard input. Several labels\n"
           "                         make one picture each: PICTURE is then a folder, the\n"
           "                         files LABEL.png; --label NAME picks one. With --cell\n"
           "                         WxH --unique, each map NAME_map is drawn with its\n"
           "                         tiles and flips as the picture NAME\n"
           "  --size WxH             with --reverse, the picture's size in pixels: needed\n"
           "                         with --no-header; with a header, fill digits are then\n"
           "                         dropped (without it they become pixels)\n"
           "  -o, --output OUT       write the text to OUT instead of standard output (\"-\");\n"
           "                         a file is replaced only once the whole text is written;\n"
           "                         /dev/stdout, /dev/fd/N are written through the descriptor\n"
           "  --help                 show this text\n"
           "  --version              show the version\n"
           "\n"
           "Each FILE is tried as given, then with \".bmp\" appended; \"-\" is standard input\n"
           "(labelled \"stdin\"). Several FILEs make one text, the images in order with an\n"
           "empty line between them, each after a label made from its file name\n"
           "(\"8x8-ball.bmp\" gives \"_8x8_ball:\"); two labels alike are refused, and so\n"
           "are labels of more than 256 characters. Every line but a label's\n"
           "starts with a tab; lines end with CR LF. A width or height above 255 does not\n"
           "fit in the header's byte: it is written all the same, with a warning.\n"
           "\n"
           "A literal's digits are written bit 7 first. With msb the first digit is the\n"
           "first pixel; with lsb the last digit is. Pixels a b c d e f g h:\n"
           "  rows, msb: %abcdefgh     rows, lsb: %hgfedcba\n"
           "  pages (a the top pixel of a column, h the bottom), lsb: %hgfedcba\n"
           "\n"
           "Syntaxes (the header line / a row line; then the assemblers they serve):\n" +
           SyntaxTable();
}

}  // namespace rastelle::cli
