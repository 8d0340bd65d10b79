// The geometry stage's area averaging: source pixels taken per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "picture/GeometryStage.h"

namespace {

// Colours held in memory, opaque noise, as a decoded photo is held.
class Noise final : public rastelle::PixelSource {
  public:
    explicit Noise(std::int32_t side)
        : side_(side), pixels_(static_cast<std::size_t>(side) * static_cast<std::size_t>(side)) {
        std::uint32_t seed = 12345;
        for (rastelle::Colour& pixel : pixels_) {
            seed = seed * 1103515245U + 12345U;
            pixel = (seed >> 8) | rastelle::kOpaque;
        }
    }
    std::int32_t Width() const override { return side_; }
    std::int32_t Height() const override { return side_; }
    rastelle::Colour ColourAt(std::int32_t x, std::int32_t y) const override {
        return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(side_) +
                       static_cast<std::size_t>(x)];
    }
    void ReadRowWithAlpha(std::int32_t y, std::span<rastelle::Colour> row) const override {
        const auto width = static_cast<std::size_t>(side_);
        const rastelle::Colour* from = pixels_.data() + static_cast<std::size_t>(y) * width;
        std::copy(from, from + width, row.begin());
    }

  private:
    std::int32_t side_;
    std::vector<rastelle::Colour> pixels_;
};

// 4096 x 4096 to range(0) x range(0), every row of the result read.
void ResizeArea(benchmark::State& state) {
    constexpr std::int32_t kSide = 4096;
    const Noise source(kSide);
    rastelle::GeometrySettings settings;
    settings.resizeWidth = static_cast<std::int32_t>(state.range(0));
    settings.resizeHeight = settings.resizeWidth;
    std::vector<rastelle::Colour> row(static_cast<std::size_t>(settings.resizeWidth));
    for (auto _ : state) {
        const rastelle::GeometryStage stage(source, settings);
        for (std::int32_t y = 0; y < stage.Height(); ++y) {
            stage.ReadRowWithAlpha(y, row);
            benchmark::DoNotOptimize(row.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

BENCHMARK(ResizeArea)->Arg(1024)->Arg(128)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace
