#pragma once

#include <string_view>

#include "common/ConversionSettings.h"
#include "image/PixelSource.h"
#include "text/RowEncoder.h"

namespace rastelle {

// The digits of an image drawn for a terminal instead of written as text: each character
// holds two pixel rows with the Unicode half blocks (a 1 is ink: "▀" the upper one, "▄" the
// lower one, "█" both, a space neither), lines ending in "\n", after a line "label:" when
// `label` is not empty. Fill digits sit where the text puts them, drawn in a shade: "░"
// for 0s, "▓" for 1s. A picture wider than `columns` (0: no limit) is reduced by the smallest
// whole factor k that fits, each drawn pixel ink when most of its k x k pixels are (fill when
// most are fill), after a line that says so. Handed to `sink` as it is made; false when the
// sink refused it.
bool WritePreview(const PixelSource& source, const ConversionSettings& settings,
                  std::string_view label, TextSink& sink, std::int32_t columns = 0);

}  // namespace rastelle
