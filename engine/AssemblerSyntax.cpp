#include "AssemblerSyntax.h"

#include <array>

namespace rastelle {

namespace {

constexpr std::array kPresets{
    SyntaxPreset{"tasm",
                 {".db", "%", "", ":"},
                 "GNU as for Z80, xa65; spasm-ng, sjasmplus, TASM, WLA-DX",
                 "spasm spasm-ng sjasmplus wla-dx wla xa65 xa"},
    SyntaxPreset{"zilog",
                 {"db", "%", "", ":"},
                 "z80asm, pasmo, crasm, as86; rgbasm, vasm",
                 "z80asm pasmo crasm as86 rgbasm vasm"},
    SyntaxPreset{
        "intel", {"db", "", "b", ":"}, "nasm, yasm, fasm, z80asm, pasmo; TASM", "nasm yasm fasm"},
    SyntaxPreset{"ca65", {".byte", "%", "", ":"}, "ca65, 64tass, dasm, xa65", "cc65 64tass dasm"},
    SyntaxPreset{"acme", {"!byte", "%", "", ":"}, "acme", ""},
    SyntaxPreset{"sdas",
                 {".db", "0b", "", ":"},
                 "as31, sdasz80 and the other sdas (sdcc), avra; Microchip's AVR assembler",
                 "sdasz80 sdasgb sdas6808 sdas8051 sdas390 sdasrab sdasstm8 sdastlcs90 "
                 "sdaspdk13 sdaspdk14 sdaspdk15 avra as31"},
    SyntaxPreset{
        "gas", {".byte", "0b", "", ":"}, "GNU as for Z80, AVR, 68HC11, 68k, ARM, x86", "gnu-as"},
};

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::span<const SyntaxPreset> SyntaxPresets() {
    return kPresets;
}

const SyntaxPreset* FindSyntaxPreset(std::string_view name) {
    for (const SyntaxPreset& preset : kPresets) {
        if (SameIgnoringCase(preset.name, name))
            return &preset;
    }
    for (const SyntaxPreset& preset : kPresets) {
        for (std::string_view rest = preset.aliases; !rest.empty();) {
            const std::size_t space = rest.find(' ');
            if (SameIgnoringCase(rest.substr(0, space), name))
                return &preset;
            rest = space == std::string_view::npos ? std::string_view{} : rest.substr(space + 1);
        }
    }
    return nullptr;
}

bool IsValidLabel(std::string_view label) {
    if (label.empty() || IsDigit(label[0]))
        return false;
    for (const char c : label) {
        if (!IsLetter(c) && !IsDigit(c))
            return false;
    }
    return true;
}

std::string LabelFromStem(std::string_view stem) {
    std::string label;
    if (stem.empty() || IsDigit(stem[0]))
        label += '_';
    for (const char c : stem) {
        // A UTF-8 continuation byte belongs to the character already replaced.
        if ((static_cast<unsigned char>(c) & 0xC0) == 0x80)
            continue;
        label += IsLetter(c) || IsDigit(c) ? c : '_';
    }
    return label.empty() ? "_" : label;
}

}  // namespace rastelle
