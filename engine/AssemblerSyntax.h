#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace rastelle {

// How a family of assemblers spells a list of bytes and a label. The text keeps a tab at
// the start of every directive line: several assemblers read column 1 as a label.
// Defaults: the window's text ("\t.db %00111100,%11000011"). The views must outlive the
// encoders given the syntax; the presets' are static.
// What the text is: assembler lines, a C array, or an X BitMap (a C array of its own shape).
enum class TextKind : std::int32_t { Assembler, C, Xbm };

struct AssemblerSyntax {
    std::string_view directive = ".db";    // before the numbers of every line
    std::string_view literalPrefix = "%";  // binary
    std::string_view literalSuffix;
    std::string_view labelSuffix = ":";  // a label line is the name, then this, at column 1
    std::string_view hexPrefix = "$";
    std::string_view hexSuffix;
    // Suffix forms (0F0h) need a leading digit, or the number reads as a name.
    bool hexLeadingDigit = false;
    std::string_view commentStart = "; ";
    std::string_view commentEnd;
    TextKind kind = TextKind::Assembler;
    std::string_view wordDirective = ".dw";  // before two-byte numbers (a tile map's words)
};

struct SyntaxPreset {
    std::string_view name;
    AssemblerSyntax syntax;
    std::string_view assemblers;  // those it was checked with, then others that use it
    std::string_view aliases;     // further names it answers to, separated by spaces
    // Words the assemblers it was checked with take as something other than a label
    // (instructions, registers, directives), in lower case, separated by spaces; they
    // match in any case (C's keywords: in their case). Confirmed by assembling (compiling)
    // each as a label.
    std::string_view reservedWords;
    bool labelsIgnoreCase = false;  // "Ball" and "ball" are the same label to them
};

// tasm (the default), zilog, intel, ca65, acme, sdas, gas, c, xbm.
std::span<const SyntaxPreset> SyntaxPresets();
// By the preset's name or one of its assemblers, in any case; null when unknown.
const SyntaxPreset* FindSyntaxPreset(std::string_view name);

// The reserved word `label` is to the preset's assemblers, in the preset's spelling; empty
// when it is none.
std::string_view ReservedWord(const SyntaxPreset& preset, std::string_view label);
// `a` and `b` name the same label to the preset's assemblers.
bool SameLabel(const SyntaxPreset& preset, std::string_view a, std::string_view b);

// Letters, digits and '_', not starting with a digit: an identifier in every assembler.
bool IsValidLabel(std::string_view label);
// A valid label from a file name's stem: each character (a UTF-8 sequence counts as one)
// that can't be in a label becomes '_', and a leading digit gets a '_' in front.
std::string LabelFromStem(std::string_view stem);

}  // namespace rastelle
