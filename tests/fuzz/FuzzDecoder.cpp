#include <cstdint>
#include <cstdlib>
#include <vector>

#include "RowEncoder.h"
#include "bmp/BmpImage.h"

// Any bytes: no crash, every refusal says why, and an accepted image encodes to the length
// TextSize promises, with ColourAt agreeing with ReadRow.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Large images (RLE ones are expanded whatever their stream holds) only slow the search.
    const auto layout = rastelle::ParseHeaders({data, size});
    if (layout.ok() && std::int64_t{layout.value().width} * layout.value().height > 1 << 16) {
        return 0;
    }
    auto decoded = rastelle::DecodeBmp(std::vector<std::uint8_t>(data, data + size));
    if (!decoded.ok()) {
        if (decoded.error().message.empty()) {
            std::abort();
        }
        return 0;
    }
    const rastelle::BmpImage& image = decoded.value();
    // The last bytes pick the settings, so the fuzzer can steer them.
    const std::uint8_t pick = size > 0 ? data[size - 1] : 0;
    const rastelle::ConversionSettings settings{static_cast<rastelle::FillMode>(pick % 3 - 1),
                                                (pick & 4) != 0, rastelle::WidthUnit::Bits,
                                                size > 1 ? data[size - 2] : std::uint8_t{128}};
    if (rastelle::EncodeImage(image, settings).size() !=
        rastelle::RowEncoder::TextSize(image.Width(), image.Height(), settings.fill)) {
        std::abort();
    }
    std::vector<rastelle::Colour> row(static_cast<std::size_t>(image.Width()));
    for (std::int32_t y = 0; y < image.Height(); ++y) {
        image.ReadRow(y, row);
        for (std::int32_t x = 0; x < image.Width(); ++x) {
            if (image.ColourAt(x, y) != row[static_cast<std::size_t>(x)]) {
                std::abort();
            }
        }
    }
    return 0;
}
