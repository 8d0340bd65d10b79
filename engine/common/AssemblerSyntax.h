#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/ConversionSettings.h"

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
    // A symbol's value: the line is equatePrefix, the name, equateInfix, the number.
    std::string_view equatePrefix;
    std::string_view equateInfix = " = ";
    std::string_view wordDirective = ".word";  // a table of addresses
    // Two-byte numbers (a tile map's words) where the target's word may be wider; empty: the
    // word directive.
    std::string_view twoByteDirective;
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

// A display or library whose byte format is known: the layout, bit order, polarity and form of
// text it takes.
struct DisplayTarget {
    std::string_view name;
    std::string_view aliases;  // further names, separated by spaces
    std::string_view matches;  // whose format it is
    ByteLayout layout;
    BitOrder bitOrder;  // never Default: a target names the bit
    bool invert;        // 1 for light pixels
    Radix radix;
    std::string_view syntax;  // a preset's name, or empty to keep the one chosen
};

// ssd1306, adafruit-gfx, u8g2, st7920, epaper.
std::span<const DisplayTarget> DisplayTargets();
// By name or alias, in any case; null when unknown.
const DisplayTarget* FindDisplayTarget(std::string_view name);

// Letters, digits and '_', not starting with a digit: an identifier in every assembler.
bool IsValidLabel(std::string_view label);
// A valid label from a file name's stem: each character (a UTF-8 sequence counts as one)
// that can't be in a label becomes '_', and a leading digit gets a '_' in front.
std::string LabelFromStem(std::string_view stem);

}  // namespace rastelle
