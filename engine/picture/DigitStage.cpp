#include "picture/DigitStage.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace rastelle {

namespace {

constexpr std::int32_t kWhiteTone = 765;

// The sum of the three channels as the pixel shows against the background.
std::uint32_t Tone(Colour colour, Background background) {
    const Colour shown = ShownOver(colour, background);
    return std::uint32_t{RedOf(shown)} + GreenOf(shown) + BlueOf(shown);
}

// The 8 x 8 Bayer matrix: the bits of x ^ y and y interleaved, lowest bits first.
std::int32_t Bayer(std::uint32_t x, std::uint32_t y) {
    std::uint32_t rank = 0;
    for (std::uint32_t bit = 0; bit < 3; ++bit) {
        rank = (rank << 2) | ((((x ^ y) >> bit) & 1U) << 1) | ((y >> bit) & 1U);
    }
    return static_cast<std::int32_t>(rank);
}

// The least tone that is 0 at a place of Bayer rank b, for threshold t (1 to 254): the
// ranks below 32 spread their limits over the tones lighter than 3t, the others over the
// darker ones, so a tone of exactly 3t is 1 at 32 places of 64. A tone T is 1 when
// 64 T < A, i.e. T < ceil(A / 64).
std::int32_t OrderedLimit(std::int32_t rank, std::int32_t threshold) {
    const std::int32_t middle = 3 * threshold;
    const std::int32_t scaled = rank < 32 ? 64 * kWhiteTone - (2 * rank + 1) * (kWhiteTone - middle)
                                          : middle * (127 - 2 * rank);
    return (scaled + 63) / 64;
}

}  // namespace

void DigitStage::Begin(std::int32_t width, const ConversionSettings& settings) {
    settings_ = settings;
    const std::size_t pixels = width > 0 ? static_cast<std::size_t>(width) : 0U;
    colours_.assign(pixels, Colour{0});
    tones_.assign(pixels, 0);
    digits_.assign(pixels, 0);
    mask_.assign(settings.mask == MaskSource::None ? 0U : pixels, 0);
    sawTransparent_ = false;

    const std::int32_t threshold = settings.threshold;
    // Thresholds 0 and 255 mean all 0s and all 1s but white in every mode.
    const bool plain = settings.dither == Dither::None || threshold == 0 || threshold == 255;
    diffusing_ = !plain && settings.dither != Dither::Ordered;
    for (std::uint32_t y = 0; y < 8; ++y) {
        for (std::uint32_t x = 0; x < 8; ++x) {
            limits_[y][x] = plain ? 3 * threshold : OrderedLimit(Bayer(x, y), threshold);
        }
    }
    levels_.clear();
    for (auto& errors : errors_) {
        errors.assign(diffusing_ ? pixels + 4 : 0U, 0);
    }
    if (!diffusing_) {
        return;
    }
    // Darkness falls in a straight line from kFullDark at black to half at a tone of 3t,
    // and in another from there to 0 at white. A tie at exactly half goes the way plain
    // thresholding goes.
    const std::int64_t middle = 3 * threshold;
    levels_.resize(kWhiteTone + 1);
    for (std::int64_t tone = 0; tone <= kWhiteTone; ++tone) {
        const std::int64_t darkness =
            tone <= middle ? kFullDark - kFullDark * tone / (2 * middle)
                           : kFullDark * (kWhiteTone - tone) / (2 * (kWhiteTone - middle));
        levels_[static_cast<std::size_t>(tone)] = {static_cast<std::int32_t>(darkness),
                                                   kFullDark / 2 + (tone < middle ? 0 : 1)};
    }
}

void DigitStage::ReadTones(const PixelSource& source, std::int32_t y) {
    source.ReadRowWithAlpha(y, colours_);
    Colour common = ~Colour{0};
    for (const Colour colour : colours_) {
        common &= colour;
    }
    if (AlphaOf(common) == 255) {
        for (std::size_t x = 0; x < colours_.size(); ++x) {
            const Colour colour = colours_[x];
            tones_[x] = static_cast<std::uint16_t>((colour & 0xFF) + ((colour >> 8) & 0xFF) +
                                                   ((colour >> 16) & 0xFF));
        }
        return;
    }
    for (std::size_t x = 0; x < colours_.size(); ++x) {
        tones_[x] = static_cast<std::uint16_t>(Tone(colours_[x], settings_.background));
    }
}

// Tone and limit in one pass over the colours as if they were opaque, which the pass checks
// as it goes.
bool DigitStage::DecideOpaque(std::int32_t y) {
    const std::array<std::int32_t, 8> limits = limits_[static_cast<std::size_t>(y) & 7U];
    const Colour* const colours = colours_.data();
    std::uint8_t* const digits = digits_.data();
    const std::size_t count = colours_.size();
    Colour common = ~Colour{0};
    std::size_t x = 0;
#if defined(__SSE2__)
    // Sixteen pixels at a time: the compiler's vectorisation of the loop below takes two.
    const __m128i low = _mm_set1_epi32(0xFF);
    const __m128i one = _mm_set1_epi8(1);
    const __m128i firstLimits = _mm_loadu_si128(reinterpret_cast<const __m128i*>(limits.data()));
    const __m128i secondLimits =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(limits.data() + 4));
    __m128i all = _mm_set1_epi32(-1);
    const auto dark = [&](std::size_t at, __m128i limit) {
        const __m128i colour = _mm_loadu_si128(reinterpret_cast<const __m128i*>(colours + at));
        all = _mm_and_si128(all, colour);
        const __m128i tone =
            _mm_add_epi32(_mm_add_epi32(_mm_and_si128(colour, low),
                                        _mm_and_si128(_mm_srli_epi32(colour, 8), low)),
                          _mm_and_si128(_mm_srli_epi32(colour, 16), low));
        return _mm_cmplt_epi32(tone, limit);
    };
    for (; x + 16 <= count; x += 16) {
        const __m128i first = _mm_packs_epi32(dark(x, firstLimits), dark(x + 4, secondLimits));
        const __m128i second =
            _mm_packs_epi32(dark(x + 8, firstLimits), dark(x + 12, secondLimits));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(digits + x),
                         _mm_and_si128(_mm_packs_epi16(first, second), one));
    }
    alignas(16) std::array<Colour, 4> lanes{};
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes.data()), all);
    common = lanes[0] & lanes[1] & lanes[2] & lanes[3];
#endif
    for (; x < count; ++x) {
        const Colour colour = colours[x];
        common &= colour;
        const auto tone = static_cast<std::int32_t>((colour & 0xFF) + ((colour >> 8) & 0xFF) +
                                                    ((colour >> 16) & 0xFF));
        digits[x] = static_cast<std::uint8_t>(tone < limits[x & 7U]);
    }
    return AlphaOf(common) == 255;
}

std::span<const std::uint8_t> DigitStage::Row(const PixelSource& source, std::int32_t y) {
    if (!diffusing_) {
        source.ReadRowWithAlpha(y, colours_);
        if (!DecideOpaque(y)) {
            const auto& limits = limits_[static_cast<std::size_t>(y) & 7U];
            for (std::size_t x = 0; x < colours_.size(); ++x) {
                digits_[x] = static_cast<std::uint8_t>(
                    static_cast<std::int32_t>(Tone(colours_[x], settings_.background)) <
                    limits[x & 7U]);
            }
        }
    } else {
        ReadTones(source, y);
        if (settings_.dither == Dither::Atkinson) {
            DiffuseAtkinson();
        } else {
            DiffuseFloydSteinberg();
        }
    }
    if (settings_.invert) {
        for (std::uint8_t& digit : digits_) {
            digit ^= 1U;
        }
    }
    if (settings_.mask != MaskSource::None) {
        ApplyMask();
    }
    return digits_;
}

void DigitStage::ApplyMask() {
    const bool byAlpha = settings_.mask == MaskSource::Alpha;
    const Colour key = settings_.maskKey & 0xFFFFFFU;
    const auto opaqueDigit = static_cast<std::uint8_t>(settings_.maskBit == MaskBit::Opaque);
    bool any = false;
    for (std::size_t x = 0; x < colours_.size(); ++x) {
        const bool transparent =
            byAlpha ? AlphaOf(colours_[x]) < 128 : (colours_[x] & 0xFFFFFFU) == key;
        any = any || transparent;
        if (transparent) {
            digits_[x] = 0;
        }
        mask_[x] = static_cast<std::uint8_t>(transparent ? opaqueDigit ^ 1U : opaqueDigit);
    }
    sawTransparent_ = sawTransparent_ || any;
}

// Errors are shared out in sixteenths without losing any: the right neighbour gets
// floor(7e/16), below-left floor(10e/16) - floor(7e/16), below floor(15e/16) - floor(10e/16),
// below-right the rest. Entry x + 1 holds pixel x's error.
void DigitStage::DiffuseFloydSteinberg() {
    std::int32_t* const below = errors_[1].data();
    const std::int32_t* const incoming = errors_[0].data();
    std::int32_t right = 0;
    for (std::size_t x = 0; x < tones_.size(); ++x) {
        const Level level = levels_[tones_[x]];
        const std::int32_t value = level.darkness + incoming[x + 1] + right;
        const bool dark = value >= level.least;
        const std::int32_t error = value - (dark ? kFullDark : 0);
        const std::int32_t seven = (7 * error) >> 4;
        const std::int32_t ten = (10 * error) >> 4;
        const std::int32_t fifteen = (15 * error) >> 4;
        right = seven;
        below[x] += ten - seven;
        below[x + 1] += fifteen - ten;
        below[x + 2] += error - fifteen;
        digits_[x] = static_cast<std::uint8_t>(dark);
    }
    std::swap(errors_[0], errors_[1]);
    std::fill(errors_[1].begin(), errors_[1].end(), 0);
}

// floor(e/8) to each of six neighbours: two to the right, three below, one two rows below.
void DigitStage::DiffuseAtkinson() {
    std::int32_t* const here = errors_[0].data();
    std::int32_t* const below = errors_[1].data();
    std::int32_t* const twoBelow = errors_[2].data();
    for (std::size_t x = 0; x < tones_.size(); ++x) {
        const Level level = levels_[tones_[x]];
        const std::int32_t value = level.darkness + here[x + 1];
        const bool dark = value >= level.least;
        const std::int32_t share = (value - (dark ? kFullDark : 0)) >> 3;
        here[x + 2] += share;
        here[x + 3] += share;
        below[x] += share;
        below[x + 1] += share;
        below[x + 2] += share;
        twoBelow[x + 1] += share;
        digits_[x] = static_cast<std::uint8_t>(dark);
    }
    std::swap(errors_[0], errors_[1]);
    std::swap(errors_[1], errors_[2]);
    std::fill(errors_[2].begin(), errors_[2].end(), 0);
}

}  // namespace rastelle
