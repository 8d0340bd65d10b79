#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "back/TextToPicture.h"

namespace {

struct Counted final : rastelle::TextSink {
    bool Write(std::string_view piece) override {
        bytes += piece.size();
        return true;
    }
    std::size_t bytes = 0;
};

struct Target final : rastelle::PictureTarget {
    rastelle::TextSink* Open(std::string_view) override {
        sink = Counted();
        return &sink;
    }
    Counted sink;
};

}  // namespace

// Assembler text back to pictures; the last byte picks the options.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t pick = size > 0 ? data[size - 1] : 0;
    rastelle::ReverseSettings settings;
    settings.settings.fill = static_cast<rastelle::FillMode>(pick % 3 - 1);
    settings.settings.centre = (pick & 4) != 0;
    settings.settings.layout =
        (pick & 8) != 0 ? rastelle::ByteLayout::Pages : rastelle::ByteLayout::Rows;
    settings.settings.bitOrder =
        (pick & 16) != 0 ? rastelle::BitOrder::Bit0First : rastelle::BitOrder::Default;
    settings.settings.mask =
        (pick & 32) != 0 ? rastelle::MaskSource::Alpha : rastelle::MaskSource::None;
    settings.settings.maskLayout = static_cast<rastelle::MaskLayout>(pick / 64 % 3);
    settings.format = settings.settings.mask == rastelle::MaskSource::None
                          ? rastelle::PictureFormat::Pbm
                          : rastelle::PictureFormat::Png;
    settings.maxPixels = 1 << 16;  // big PNGs only slow the search
    Target target;
    rastelle::TextToPicture reverse(settings, target);
    reverse.BeginFile();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const bool read = reverse.Feed(text) && reverse.EndFile() && reverse.Finish();
    if (!read && (reverse.Error().empty() || reverse.Line() < 1 ||
                  reverse.Line() > static_cast<std::int64_t>(size) + 1)) {
        std::abort();  // every refusal says what it expected, and on a line of the text
    }
    return 0;
}
