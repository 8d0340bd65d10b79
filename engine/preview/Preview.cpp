#include "preview/Preview.h"

#include <algorithm>
#include <string>
#include <vector>

#include "preview/PicturePreview.h"

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

// Each k x k block (fewer at the right and bottom edges) as one tone: ink or fill when more
// than half of its pixels are, else paper.
void Reduce(PicturePreview& picture, std::int32_t k) {
    const std::int32_t width = (picture.width + k - 1) / k;
    const std::int32_t height = (picture.height + k - 1) / k;
    std::vector<PreviewTone> tones(static_cast<std::size_t>(width) *
                                   static_cast<std::size_t>(height));
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            std::int32_t pixels = 0;
            std::int32_t ink = 0;
            std::int32_t fill = 0;
            PreviewTone fillTone = PreviewTone::FillPaper;
            for (std::int32_t v = y * k; v < std::min(picture.height, (y + 1) * k); ++v) {
                for (std::int32_t u = x * k; u < std::min(picture.width, (x + 1) * k); ++u) {
                    const PreviewTone tone =
                        picture.tones[static_cast<std::size_t>(v) *
                                          static_cast<std::size_t>(picture.width) +
                                      static_cast<std::size_t>(u)];
                    ++pixels;
                    ink += tone == PreviewTone::Ink ? 1 : 0;
                    if (HalfOf(tone) == Half::Fill) {
                        ++fill;
                        fillTone = tone;
                    }
                }
            }
            tones[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)] = 2 * ink > pixels    ? PreviewTone::Ink
                                                 : 2 * fill > pixels ? fillTone
                                                                     : PreviewTone::Paper;
        }
    }
    picture.width = width;
    picture.height = height;
    picture.tones = std::move(tones);
}

}  // namespace

bool WritePreview(const PixelSource& source, const ConversionSettings& settings,
                  std::string_view label, TextSink& sink, std::int32_t columns) {
    PicturePreview picture;
    MakePicturePreview(source, settings, kMostPixels, kMostPixels, {}, picture);
    const std::string_view fill = settings.fill == FillMode::Ones ? "\u2593" : "\u2591";
    std::string text;
    if (columns > 0 && picture.width > columns) {
        const std::int32_t k = (picture.width + columns - 1) / columns;
        text = "(each " + std::to_string(k) + " x " + std::to_string(k) + " pixels as one to fit " +
               std::to_string(columns) + " columns)\n";
        Reduce(picture, k);
    }
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
