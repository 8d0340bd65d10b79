// Decoder throughput, alone and followed by the encoder, on in-memory BMP and JPEG files.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "image/bmp/BmpImage.h"
#include "image/jpeg/JpegImage.h"
#include "picture/DigitStage.h"
#include "picture/GeometryStage.h"
#include "text/RowEncoder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

// A square bottom-up BMP of `side` pixels with a noisy pattern. compression 1 gives RLE8
// made of short runs.
Bytes MakeBmp(std::int32_t side, std::uint16_t bits, std::uint32_t compression) {
    const std::uint32_t paletteEntries = bits <= 8 ? 1U << bits : 0U;
    const std::uint32_t maskBytes = compression == 3 ? 12 : 0;
    const std::uint32_t offset = 14 + 40 + maskBytes + paletteEntries * 4;
    Bytes pixels;
    const auto width = static_cast<std::uint64_t>(side);
    if (compression == 1) {
        for (std::int32_t y = 0; y < side; ++y) {
            for (std::int32_t x = 0; x < side; x += 4) {
                pixels.push_back(4);
                pixels.push_back(static_cast<std::uint8_t>(x ^ y));
            }
            pixels.push_back(0);
            pixels.push_back(0);
        }
    } else {
        const std::uint64_t stride = (width * bits + 31) / 32 * 4;
        pixels.resize(stride * width);
        std::uint32_t seed = 12345;
        for (auto& byte : pixels) {
            seed = seed * 1103515245U + 12345U;
            byte = static_cast<std::uint8_t>(seed >> 16);
        }
    }
    Bytes file = {'B', 'M'};
    Put32(file, static_cast<std::uint32_t>(offset + pixels.size()));
    Put32(file, 0);
    Put32(file, offset);
    Put32(file, 40);
    Put32(file, static_cast<std::uint32_t>(side));
    Put32(file, static_cast<std::uint32_t>(side));
    file.push_back(1);
    file.push_back(0);
    file.push_back(static_cast<std::uint8_t>(bits));
    file.push_back(0);
    Put32(file, compression);
    for (int i = 0; i < 5; ++i) {
        Put32(file, 0);
    }
    if (compression == 3) {
        Put32(file, 0xF800);
        Put32(file, 0x07E0);
        Put32(file, 0x001F);
    }
    for (std::uint32_t i = 0; i < paletteEntries; ++i) {
        Put32(file, i * 0x010101U);
    }
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

void Configure(benchmark::State& state, std::int64_t side) {
    state.SetItemsProcessed(state.iterations() * side * side);
    state.counters["pixels"] = static_cast<double>(side * side);
}

// Decoding every row through ReadRow, as the encoder does.
void ReadRows(benchmark::State& state, std::uint16_t bits, std::uint32_t compression) {
    const auto side = static_cast<std::int32_t>(state.range(0));
    auto decoded = rastelle::DecodeBmp(MakeBmp(side, bits, compression));
    if (!decoded.ok()) {
        state.SkipWithError(decoded.error().message.c_str());
        return;
    }
    const rastelle::BmpImage& image = decoded.value();
    std::vector<rastelle::Colour> row(static_cast<std::size_t>(side));
    for (auto _ : state) {
        for (std::int32_t y = 0; y < side; ++y) {
            image.ReadRow(y, row);
        }
        benchmark::DoNotOptimize(row.data());
    }
    Configure(state, side);
}

// File bytes to finished text.
void Pipeline(benchmark::State& state, std::uint16_t bits, std::uint32_t compression) {
    const auto side = static_cast<std::int32_t>(state.range(0));
    const Bytes file = MakeBmp(side, bits, compression);
    for (auto _ : state) {
        auto decoded = rastelle::DecodeBmp(file);
        if (!decoded.ok()) {
            state.SkipWithError(decoded.error().message.c_str());
            return;
        }
        rastelle::RowEncoder encoder;
        encoder.Begin(side, side, rastelle::ConversionSettings{});
        for (std::int32_t y = 0; y < side; ++y) {
            encoder.AppendRow(decoded.value(), y);
        }
        encoder.Finish();
        benchmark::DoNotOptimize(encoder.Text().data());
    }
    Configure(state, side);
}

// A JPEG of width x height pixels, quality 90, 4:2:0, of a smooth picture with edges, as a
// photo has; written by libjpeg itself (which ends the program on an error: fine here).
Bytes MakeJpeg(std::int32_t width, std::int32_t height, bool progressive) {
    const std::int32_t side = width;
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(side);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    if (progressive) {
        jpeg_simple_progression(&info);
    }
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(side) * 3);
    while (info.next_scanline < info.image_height) {
        const auto y = static_cast<std::int32_t>(info.next_scanline);
        for (std::int32_t x = 0; x < side; ++x) {
            const auto at = static_cast<std::size_t>(x) * 3;
            row[at] = static_cast<JSAMPLE>((x + y) / 32);
            row[at + 1] = static_cast<JSAMPLE>(((x / 64 + y / 64) % 2) * 200 + (x & 31));
            row[at + 2] = static_cast<JSAMPLE>(y * 255 / height);
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    Bytes file(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return file;
}

// File bytes to colours, turned upright.
void DecodeJpeg(benchmark::State& state, bool progressive) {
    const auto side = static_cast<std::int32_t>(state.range(0));
    const Bytes file = MakeJpeg(side, side, progressive);
    for (auto _ : state) {
        auto decoded = rastelle::JpegImage::Decode(file);
        if (!decoded.ok()) {
            state.SkipWithError(decoded.error().message.c_str());
            return;
        }
        benchmark::DoNotOptimize(decoded.value().get());
    }
    Configure(state, side);
    state.counters["file_bytes"] = static_cast<double>(file.size());
}

// A 4000 x 3000 photo made to fit a 128 x 64 panel and dithered, against decoding it alone,
// both timed in each iteration so that their ratio comes from the same moments of the machine.
void PhotoToPanel(benchmark::State& state) {
    const Bytes file = MakeJpeg(4000, 3000, false);
    using Clock = std::chrono::steady_clock;
    Clock::duration decoding{};
    Clock::duration whole{};
    rastelle::GeometrySettings geometry;
    geometry.resizeWidth = 128;
    geometry.resizeHeight = 64;
    rastelle::ConversionSettings settings;
    settings.dither = rastelle::Dither::FloydSteinberg;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        auto decoded = rastelle::JpegImage::Decode(file);
        if (!decoded.ok()) {
            state.SkipWithError(decoded.error().message.c_str());
            return;
        }
        const Clock::time_point decoded_at = Clock::now();
        const rastelle::GeometryStage shaped(*decoded.value(), geometry);
        rastelle::DigitStage digits;
        digits.Begin(shaped.Width(), settings);
        for (std::int32_t y = 0; y < shaped.Height(); ++y) {
            benchmark::DoNotOptimize(digits.Row(shaped, y).data());
        }
        decoding += decoded_at - start;
        whole += Clock::now() - start;
    }
    state.counters["decode_ms"] = std::chrono::duration<double, std::milli>(decoding).count() /
                                  static_cast<double>(state.iterations());
    state.counters["whole_ms"] = std::chrono::duration<double, std::milli>(whole).count() /
                                 static_cast<double>(state.iterations());
    state.counters["ratio"] = std::chrono::duration<double>(whole).count() /
                              std::chrono::duration<double>(decoding).count();
}

BENCHMARK(PhotoToPanel)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadRows, Bits1, 1, 0)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadRows, Bits8, 8, 0)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadRows, Rgb565, 16, 3)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadRows, Bgr24, 24, 0)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadRows, Bgrx32, 32, 0)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadRows, Rle8, 8, 1)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pipeline, Bits1, 1, 0)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pipeline, Bgr24, 24, 0)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pipeline, Rle8, 8, 1)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeJpeg, Baseline, false)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeJpeg, Progressive, true)->Arg(4096)->Unit(benchmark::kMillisecond);

}  // namespace
