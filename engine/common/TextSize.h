#pragma once

// The text's sizes before it is made: a stage that must refuse a picture whose text would not
// fit in memory asks here before any work is done, whichever stage it is.

#include <cstdint>
#include <string_view>

#include "common/AssemblerSyntax.h"
#include "common/ConversionSettings.h"

namespace rastelle {

// Every line of the text ends so, on every platform.
inline constexpr std::string_view kLineEnd = "\r\n";

// The digits of a row with its fill: whole bytes unless there is no fill.
std::int64_t RowBits(std::int64_t width, FillMode fill);
// C and its kin, where a byte is an array element rather than a directive's literal.
bool IsC(const AssemblerSyntax& syntax);
// The radix the text is written in: binary unless asked otherwise, and never binary in C.
Radix TextRadix(Radix asked, const AssemblerSyntax& syntax);

// Length of the complete text for an image, without building it (exact with the width
// in bits, at most a few bytes over with bytes); used to refuse images whose text would
// not fit in memory before any work is done.
// The label line is not counted.
// Other radixes are never longer than binary; comments, short lines and C's separators
// are counted from `form`.
std::uint64_t TextSize(std::int64_t width, std::int64_t height, FillMode fill,
                       const AssemblerSyntax& syntax = {}, const ConversionSettings& form = {});

}  // namespace rastelle
