#include "RowEncoder.h"

#include <algorithm>
#include <string_view>

namespace rastelle {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kRowStart = "\t.db %";
constexpr std::string_view kGroupSeparator = ",%";

std::int64_t RowBits(std::int64_t width, FillMode fill) {
    return fill == FillMode::None ? width : (width + 7) / 8 * 8;
}

std::uint64_t RowLength(std::int64_t rowBits) {
    const std::int64_t groups = (rowBits + 7) / 8;
    const std::int64_t separators = groups > 0 ? groups - 1 : 0;
    return static_cast<std::uint64_t>(
        static_cast<std::int64_t>(kLineEnd.size()) + static_cast<std::int64_t>(kRowStart.size()) +
        rowBits + separators * static_cast<std::int64_t>(kGroupSeparator.size()));
}

}  // namespace

std::uint64_t RowEncoder::TextSize(std::int64_t width, std::int64_t height, FillMode fill) {
    const std::int64_t rowBits = RowBits(width, fill);
    // Header: "\t.db " + width number + "," + height; the bits form is never shorter.
    const auto header = static_cast<std::uint64_t>(5 + std::to_string(rowBits).size() + 1 +
                                                   std::to_string(height).size());
    const auto rows = height > 0 ? static_cast<std::uint64_t>(height) : 0U;
    return header + rows * RowLength(rowBits) + kLineEnd.size();
}

void RowEncoder::Begin(std::int32_t width, std::int32_t height,
                       const ConversionSettings& settings) {
    width_ = width;
    const auto rowBits = static_cast<std::int32_t>(RowBits(width, settings.fill));
    const std::int32_t spare = rowBits - width;
    lead_ = settings.centre ? spare / 2 : 0;
    tail_ = spare - lead_;
    fillDigit_ = static_cast<char>('0' + static_cast<std::int32_t>(settings.fill));
    limit_ = 3U * settings.threshold;
    row_.assign(width > 0 ? static_cast<std::size_t>(width) : 0U, Colour{0});

    const bool inBytes = settings.widthUnit == WidthUnit::Bytes && settings.fill != FillMode::None;
    const std::int32_t widthNumber = inBytes ? rowBits / 8 : rowBits;
    text_.clear();
    sinkFailed_ = false;
    const std::uint64_t size = TextSize(width, height, settings.fill);
    text_.reserve(static_cast<std::size_t>(
        sink_ != nullptr ? std::min<std::uint64_t>(size, kSinkBlock + RowLength(rowBits)) : size));
    text_ += "\t.db ";
    text_ += std::to_string(widthNumber);
    text_ += ',';
    text_ += std::to_string(height);
}

void RowEncoder::AppendRow(const PixelSource& source, std::int32_t y) {
    source.ReadRow(y, row_);

    const std::int32_t rowBits = lead_ + width_ + tail_;
    const std::size_t start = text_.size();
    text_.resize(start + static_cast<std::size_t>(RowLength(rowBits)));
    char* out = text_.data() + start;

    for (const char c : kLineEnd)
        *out++ = c;
    for (const char c : kRowStart)
        *out++ = c;

    std::int32_t position = 0;
    const auto put = [&](char digit) {
        if (position != 0 && position % 8 == 0) {
            *out++ = kGroupSeparator[0];
            *out++ = kGroupSeparator[1];
        }
        *out++ = digit;
        ++position;
    };
    for (std::int32_t i = 0; i < lead_; ++i)
        put(fillDigit_);
    for (const Colour colour : row_) {
        const std::uint32_t sum = std::uint32_t{RedOf(colour)} + GreenOf(colour) + BlueOf(colour);
        put(sum < limit_ ? '1' : '0');
    }
    for (std::int32_t i = 0; i < tail_; ++i)
        put(fillDigit_);

    if (sink_ != nullptr && text_.size() >= kSinkBlock) {
        HandOver();
    }
}

void RowEncoder::Finish() {
    text_ += kLineEnd;
    if (sink_ != nullptr) {
        HandOver();
    }
}

void RowEncoder::HandOver() {
    if (!sinkFailed_ && !sink_->Write(text_)) {
        sinkFailed_ = true;
    }
    text_.clear();
}

std::string EncodeImage(const PixelSource& source, const ConversionSettings& settings) {
    RowEncoder encoder;
    encoder.Begin(source.Width(), source.Height(), settings);
    for (std::int32_t y = 0; y < source.Height(); ++y) {
        encoder.AppendRow(source, y);
    }
    encoder.Finish();
    return encoder.TakeText();
}

bool WriteImage(const PixelSource& source, const ConversionSettings& settings, TextSink& sink) {
    RowEncoder encoder(&sink);
    encoder.Begin(source.Width(), source.Height(), settings);
    for (std::int32_t y = 0; y < source.Height() && !encoder.SinkFailed(); ++y) {
        encoder.AppendRow(source, y);
    }
    encoder.Finish();
    return !encoder.SinkFailed();
}

}  // namespace rastelle
