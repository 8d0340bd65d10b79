#include "Preview.h"

#include <string>

#include "PicturePreview.h"

namespace rastelle {

namespace {

// A picture bigger than this either way is drawn from every second (third...) pixel: no
// terminal shows more, and the preview then holds at most 64 MiB.
constexpr std::int32_t kMostPixels = 8192;

// A pixel in the character cell: ink, paper, or a fill digit.
enum class Half { Paper, Ink, Fill };

Half HalfOf(PreviewTone tone) {
    switch (tone) {
        case PreviewTone::Ink:
            return Half::Ink;
        case PreviewTone::FillInk:
        case PreviewTone::FillPaper:
            return Half::Fill;
        case PreviewTone::Paper:
        case PreviewTone::Transparent:
            break;
    }
    return Half::Paper;
}

}  // namespace

bool WritePreview(const PixelSource& source, const ConversionSettings& settings,
                  std::string_view label, TextSink& sink) {
    PicturePreview picture;
    MakePicturePreview(source, settings, kMostPixels, kMostPixels, {}, picture);
    const std::string_view fill = settings.fill == FillMode::Ones ? "\u2593" : "\u2591";
    std::string text;
    if (!label.empty()) {
        text.append(label).append(":\n");
    }
    const auto width = static_cast<std::size_t>(picture.width);
    bool written = true;
    for (std::int32_t y = 0; y < picture.height && written; y += 2) {
        const PreviewTone* const upper = picture.tones.data() + static_cast<std::size_t>(y) * width;
        const PreviewTone* const lower = y + 1 < picture.height ? upper + width : nullptr;
        for (std::size_t x = 0; x < width; ++x) {
            const Half top = HalfOf(upper[x]);
            const Half bottom = lower != nullptr ? HalfOf(lower[x]) : Half::Paper;
            // A cell of fill only is shaded; beside a pixel, fill shows as paper.
            if (top == Half::Fill && (bottom == Half::Fill || lower == nullptr)) {
                text += fill;
                continue;
            }
            constexpr std::string_view kBlocks[] = {" ", "\u2584", "\u2580", "\u2588"};
            text += kBlocks[2U * (top == Half::Ink) + (bottom == Half::Ink)];
        }
        text += '\n';
        if (text.size() >= sink.BlockBytes()) {
            written = sink.Write(text);
            text.clear();
        }
    }
    return written && sink.Write(text);
}

}  // namespace rastelle
