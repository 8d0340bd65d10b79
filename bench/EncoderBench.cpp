// Encoder throughput on an in-memory image, apart from any decoding.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "layout/TileSet.h"
#include "text/PictureWriter.h"
#include "text/RowEncoder.h"

namespace {

using rastelle::Colour;

// Computed per pixel through ColourAt: the slowest path a source can offer.
class SyntheticImage final : public rastelle::PixelSource {
  public:
    SyntheticImage(std::int32_t width, std::int32_t height) : width_(width), height_(height) {}

    std::int32_t Width() const override { return width_; }
    std::int32_t Height() const override { return height_; }
    Colour ColourAt(std::int32_t x, std::int32_t y) const override {
        const auto value = static_cast<std::uint8_t>((x * 37 + y * 101) ^ (x >> 3));
        return rastelle::MakeColour(value, static_cast<std::uint8_t>(value + 17), value);
    }

  private:
    std::int32_t width_;
    std::int32_t height_;
};

class FixedRowImage final : public rastelle::PixelSource {
  public:
    FixedRowImage(std::int32_t width, std::int32_t height) : width_(width), height_(height) {
        for (std::int32_t x = 0; x < width; ++x) {
            const auto value = static_cast<std::uint8_t>((x * 37) ^ (x >> 3));
            row_.push_back(rastelle::MakeColour(value, value, value));
        }
    }
    std::int32_t Width() const override { return width_; }
    std::int32_t Height() const override { return height_; }
    Colour ColourAt(std::int32_t x, std::int32_t) const override {
        return row_[static_cast<std::size_t>(x)];
    }
    void ReadRow(std::int32_t, std::span<Colour> row) const override {
        std::copy(row_.begin(), row_.end(), row.begin());
    }

  private:
    std::int32_t width_;
    std::int32_t height_;
    std::vector<Colour> row_;
};

template <class Image>
void Encode(benchmark::State& state, const rastelle::ConversionSettings& settings,
            const rastelle::AssemblerSyntax& syntax = {}) {
    const auto side = static_cast<std::int32_t>(state.range(0));
    const Image image(side, side);
    for (auto _ : state) {
        std::string text = rastelle::EncodeImage(image, settings, syntax);
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["pixels/s"] = benchmark::Counter(static_cast<double>(side) * side,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

void EncodeFixedRows(benchmark::State& state) {
    Encode<FixedRowImage>(state, {rastelle::FillMode::Zeros, true, rastelle::WidthUnit::Bits, 128});
}
BENCHMARK(EncodeFixedRows)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);

void EncodeComputedPixels(benchmark::State& state) {
    Encode<SyntheticImage>(state,
                           {rastelle::FillMode::None, false, rastelle::WidthUnit::Bits, 100});
}
BENCHMARK(EncodeComputedPixels)->Arg(4096)->Unit(benchmark::kMillisecond);

// The same picture in rows and in pages (a byte per column of 8 rows), side by side.
void EncodeLayout(benchmark::State& state) {
    rastelle::ConversionSettings settings;
    settings.layout = static_cast<rastelle::ByteLayout>(state.range(1));
    state.SetLabel(state.range(1) == 0 ? "rows" : "pages");
    Encode<FixedRowImage>(state, settings);
}
BENCHMARK(EncodeLayout)->ArgsProduct({{4096}, {0, 1}})->Unit(benchmark::kMillisecond);

// Every syntax preset, centred (fill digits in front) and without fill (a short last literal).
void EncodePreset(benchmark::State& state) {
    const auto& preset = rastelle::SyntaxPresets()[static_cast<std::size_t>(state.range(1))];
    state.SetLabel(std::string(preset.name));
    Encode<FixedRowImage>(state, {rastelle::FillMode::Zeros, true, rastelle::WidthUnit::Bits, 128},
                          preset.syntax);
}
BENCHMARK(EncodePreset)
    ->ArgsProduct({{4096}, benchmark::CreateDenseRange(0, 8, 1)})
    ->Unit(benchmark::kMillisecond);

// A sink that only counts what it is handed, as a stand-in for the command line's output.
struct CountingSink final : rastelle::TextSink {
    bool Write(std::string_view text) override {
        bytes += text.size();
        return true;
    }
    std::size_t bytes = 0;
};

// Streamed in blocks to a sink that only counts, as the command line writes.
void StreamToSink(benchmark::State& state) {
    CountingSink sink;
    const auto side = static_cast<std::int32_t>(state.range(0));
    const FixedRowImage image(side, side);
    for (auto _ : state) {
        rastelle::WritePicture(image,
                               {rastelle::FillMode::None, false, rastelle::WidthUnit::Bits, 128},
                               rastelle::SyntaxPresets()[2].syntax, {}, sink, false);
        benchmark::DoNotOptimize(sink.bytes);
    }
    state.counters["pixels/s"] = benchmark::Counter(static_cast<double>(side) * side,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(StreamToSink)->Arg(4096)->Unit(benchmark::kMillisecond);

// The forms of the text against plain binary (target: hex and comments at most 1.5 times its
// time), streamed as the command line writes them: binary, hexadecimal, decimal, binary with
// comments, hexadecimal with comments.
void StreamForm(benchmark::State& state) {
    CountingSink sink;
    constexpr const char* kNames[] = {"bin", "hex", "dec", "bin+comment", "hex+comment"};
    constexpr rastelle::Radix kRadixes[] = {rastelle::Radix::Binary, rastelle::Radix::Hex,
                                            rastelle::Radix::Decimal, rastelle::Radix::Binary,
                                            rastelle::Radix::Hex};
    const auto form = static_cast<std::size_t>(state.range(1));
    state.SetLabel(kNames[form]);
    rastelle::ConversionSettings settings;
    settings.radix = kRadixes[form];
    settings.comment = form >= 3;
    const auto side = static_cast<std::int32_t>(state.range(0));
    const FixedRowImage image(side, side);
    for (auto _ : state) {
        rastelle::WritePicture(image, settings, {}, {}, sink, false);
        benchmark::DoNotOptimize(sink.bytes);
    }
    state.counters["pixels/s"] = benchmark::Counter(static_cast<double>(side) * side,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(StreamForm)
    ->ArgsProduct({{4096}, benchmark::CreateDenseRange(0, 4, 1)})
    ->Unit(benchmark::kMillisecond);

// The digit stage alone on a row of every grey, in each mode: plain thresholding (0),
// ordered (1), Floyd-Steinberg (2), Atkinson (3).
void DecideDigits(benchmark::State& state) {
    const auto side = static_cast<std::int32_t>(state.range(0));
    const auto dither = static_cast<rastelle::Dither>(state.range(1));
    constexpr const char* kNames[] = {"none", "ordered", "floyd-steinberg", "atkinson"};
    state.SetLabel(kNames[state.range(1)]);
    const FixedRowImage image(side, side);
    rastelle::ConversionSettings settings;
    settings.dither = dither;
    rastelle::DigitStage stage;
    for (auto _ : state) {
        stage.Begin(side, settings);
        for (std::int32_t y = 0; y < side; ++y) {
            benchmark::DoNotOptimize(stage.Row(image, y).data());
        }
    }
    state.counters["pixels/s"] = benchmark::Counter(static_cast<double>(side) * side,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(DecideDigits)
    ->ArgsProduct({{4096}, benchmark::CreateDenseRange(0, 3, 1)})
    ->Unit(benchmark::kMillisecond);

// A sheet of 8 x 8 cells, each one of `kinds` patterns, as it is or flipped across, down or
// both; with kinds 0 every cell is noise of its own.
class TileSheet final : public rastelle::PixelSource {
  public:
    TileSheet(std::int32_t side, std::uint32_t kinds) : side_(side), kinds_(kinds) {}
    std::int32_t Width() const override { return side_; }
    std::int32_t Height() const override { return side_; }
    Colour ColourAt(std::int32_t x, std::int32_t y) const override {
        const std::uint32_t cell = Mix(static_cast<std::uint32_t>((y / 8) * (side_ / 8) + x / 8));
        std::uint32_t across = static_cast<std::uint32_t>(x % 8);
        std::uint32_t down = static_cast<std::uint32_t>(y % 8);
        std::uint32_t pattern = cell;
        if (kinds_ != 0) {
            pattern = cell % kinds_;
            across = (cell & 0x10000) != 0 ? 7 - across : across;
            down = (cell & 0x20000) != 0 ? 7 - down : down;
        }
        const bool ink = (Mix(pattern ^ ((down * 8 + across) * 0x9E3779B9U)) >> 31) != 0;
        return ink ? rastelle::MakeColour(0, 0, 0) : rastelle::MakeColour(255, 255, 255);
    }

  private:
    static std::uint32_t Mix(std::uint32_t value) {
        for (int round = 0; round < 2; ++round) {
            value ^= value >> 16;
            value *= 0x45D9F3BU;
        }
        return value ^ (value >> 16);
    }
    std::int32_t side_;
    std::uint32_t kinds_;
};

// Cutting a 4096 x 4096 sheet into 8 x 8 cells: each cell written (0) against each distinct
// cell once with flips found and a map (1) (target: at most twice the time of 0), for sheets of
// 256 patterns and of cells all different.
void CutTiles(benchmark::State& state) {
    CountingSink sink;
    const auto side = static_cast<std::int32_t>(state.range(0));
    const bool unique = state.range(1) != 0;
    const auto kinds = static_cast<std::uint32_t>(state.range(2));
    state.SetLabel(std::string(unique ? "unique+mirror" : "cells") +
                   (kinds == 0 ? ", all different" : ", 256 patterns"));
    const TileSheet sheet(side, kinds);
    rastelle::ConversionSettings settings;
    settings.cellWidth = 8;
    settings.cellHeight = 8;
    settings.unique = unique;
    settings.mirror = unique;
    std::uint32_t tiles = 0;
    for (auto _ : state) {
        rastelle::TileSet set("t");
        rastelle::WritePicture(sheet, settings, {}, "t", sink, false, &set);
        tiles = set.Count();
        benchmark::DoNotOptimize(sink.bytes);
    }
    state.counters["pixels/s"] = benchmark::Counter(static_cast<double>(side) * side,
                                                    benchmark::Counter::kIsIterationInvariantRate);
    state.counters["tiles"] = tiles;
}
BENCHMARK(CutTiles)->ArgsProduct({{4096}, {0, 1}, {256, 0}})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
