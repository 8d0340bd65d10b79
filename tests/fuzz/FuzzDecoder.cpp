#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "RowEncoder.h"
#include "bmp/BmpImage.h"

namespace {

// Encoding big images is slow and finds nothing new.
constexpr std::int64_t kMaxEncodedPixels = 1 << 16;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // RLE images are expanded whatever their stream holds; huge ones only slow the search.
    const auto layout = rastelle::ParseHeaders({data, size});
    if (layout.ok() &&
        std::int64_t{layout.value().width} * layout.value().height > 16 * kMaxEncodedPixels) {
        return 0;
    }
    std::vector<std::uint8_t> bytes(data, data + size);
    auto decoded = rastelle::DecodeBmp(std::move(bytes));
    if (!decoded.ok()) {
        if (decoded.error().message.empty()) {
            std::abort();  // every refusal says why
        }
        return 0;
    }
    const rastelle::BmpImage& image = decoded.value();
    const std::int64_t width = image.Width();
    const std::int64_t height = image.Height();
    if (width <= 0 || height < 0 || width * height > kMaxEncodedPixels) {
        return 0;
    }

    // The last bytes pick the settings, so the fuzzer can steer them.
    const std::uint8_t pick = size > 0 ? data[size - 1] : 0;
    rastelle::ConversionSettings settings;
    settings.fill = static_cast<rastelle::FillMode>(static_cast<int>(pick % 3) - 1);
    settings.centre = (pick & 4) != 0;
    settings.widthUnit = rastelle::WidthUnit::Bits;
    settings.threshold = size > 1 ? data[size - 2] : 128;

    rastelle::RowEncoder encoder;
    encoder.Begin(image.Width(), image.Height(), settings);
    for (std::int32_t y = 0; y < image.Height(); ++y) {
        encoder.AppendRow(image, y);
    }
    encoder.Finish();
    if (encoder.Text().size() != rastelle::RowEncoder::TextSize(width, height, settings.fill)) {
        std::abort();
    }
    // ColourAt must agree with the row it belongs to.
    if (height > 0) {
        std::vector<rastelle::Colour> row(static_cast<std::size_t>(width));
        image.ReadRow(image.Height() - 1, row);
        for (std::int32_t x = 0; x < image.Width(); ++x) {
            if (image.ColourAt(x, image.Height() - 1) != row[static_cast<std::size_t>(x)]) {
                std::abort();
            }
        }
    }
    return 0;
}
