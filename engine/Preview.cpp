#include "Preview.h"

#include <algorithm>
#include <string>
#include <vector>

#include "DigitStage.h"

namespace rastelle {

bool WritePreview(const PixelSource& source, const ConversionSettings& settings,
                  std::string_view label, TextSink& sink) {
    constexpr std::string_view kBlocks[] = {" ", "\u2584", "\u2580", "\u2588"};
    const std::string_view fill = settings.fill == FillMode::Ones ? "\u2593" : "\u2591";
    const std::int32_t width = std::max(source.Width(), 0);
    const std::int32_t height = source.Height();
    const std::int32_t rowBits = settings.fill == FillMode::None ? width : (width + 7) / 8 * 8;
    const std::int32_t lead = settings.centre ? (rowBits - width) / 2 : 0;

    DigitStage digits;
    digits.Begin(width, settings);
    std::vector<std::uint8_t> upper;
    std::string text;
    if (!label.empty()) {
        text.append(label).append(":\n");
    }
    bool written = true;
    for (std::int32_t y = 0; y < height && written; y += 2) {
        const auto row = digits.Row(source, y);
        upper.assign(row.begin(), row.end());
        const auto lower =
            y + 1 < height ? digits.Row(source, y + 1) : std::span<const std::uint8_t>{};
        for (std::int32_t position = 0; position < rowBits; ++position) {
            const auto x = static_cast<std::size_t>(position - lead);
            if (position < lead || position >= lead + width) {
                text += fill;
            } else {
                text += kBlocks[2U * upper[x] + (lower.empty() ? 0U : lower[x])];
            }
        }
        text += '\n';
        if (text.size() >= RowEncoder::kSinkBlock) {
            written = sink.Write(text);
            text.clear();
        }
    }
    return written && sink.Write(text);
}

}  // namespace rastelle
