#include "RowEncoder.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace rastelle {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::int64_t RowBits(std::int64_t width, FillMode fill) {
    return fill == FillMode::None ? width : (width + 7) / 8 * 8;
}

// Line end, tab, directive, space, then the literals: prefix, up to 8 digits, suffix,
// separated by commas (an empty row still has one literal's prefix and suffix).
std::uint64_t RowLength(std::int64_t rowBits, const AssemblerSyntax& syntax) {
    const std::int64_t literals = rowBits > 0 ? (rowBits + 7) / 8 : 1;
    const auto perLiteral =
        static_cast<std::int64_t>(syntax.literalPrefix.size() + syntax.literalSuffix.size() + 1);
    return static_cast<std::uint64_t>(
        static_cast<std::int64_t>(kLineEnd.size() + 2 + syntax.directive.size()) +
        literals * perLiteral - 1 + rowBits);
}

}  // namespace

std::int64_t RowEncoder::HeaderWidth(std::int64_t width, const ConversionSettings& settings) {
    const std::int64_t rowBits = RowBits(width, settings.fill);
    const bool inBytes = settings.widthUnit == WidthUnit::Bytes && settings.fill != FillMode::None;
    return inBytes ? rowBits / 8 : rowBits;
}

std::uint64_t RowEncoder::TextSize(std::int64_t width, std::int64_t height, FillMode fill,
                                   const AssemblerSyntax& syntax) {
    const std::int64_t rowBits = RowBits(width, fill);
    // Header: tab, directive, space, width number, comma, height; the bits form is never
    // shorter.
    const auto header =
        static_cast<std::uint64_t>(2 + syntax.directive.size() + std::to_string(rowBits).size() +
                                   1 + std::to_string(height).size());
    const auto rows = height > 0 ? static_cast<std::uint64_t>(height) : 0U;
    return header + rows * RowLength(rowBits, syntax) + kLineEnd.size();
}

void RowEncoder::Begin(std::int32_t width, std::int32_t height, const ConversionSettings& settings,
                       std::string_view label) {
    const auto rowBits = static_cast<std::int32_t>(RowBits(width, settings.fill));
    const std::int32_t spare = rowBits - width;
    lead_ = settings.centre ? spare / 2 : 0;
    width_ = width > 0 ? width : 0;
    digits_.Begin(width, settings);

    const char fillDigit = static_cast<char>('0' + static_cast<std::int32_t>(settings.fill));
    rowTemplate_.assign(kLineEnd);
    rowTemplate_ += '\t';
    rowTemplate_ += syntax_.directive;
    rowTemplate_ += ' ';
    rowTemplate_ += syntax_.literalPrefix;
    firstDigit_ = rowTemplate_.size();
    for (std::int32_t position = 0; position < rowBits; ++position) {
        if (position != 0 && position % 8 == 0) {
            rowTemplate_ += syntax_.literalSuffix;
            rowTemplate_ += ',';
            rowTemplate_ += syntax_.literalPrefix;
        }
        const bool fill = position < lead_ || position >= lead_ + width;
        rowTemplate_ += fill ? fillDigit : '0';
    }
    rowTemplate_ += syntax_.literalSuffix;
    groupStride_ = 8 + syntax_.literalSuffix.size() + 1 + syntax_.literalPrefix.size();

    text_.clear();
    sinkFailed_ = false;
    const std::uint64_t size = TextSize(width, height, settings.fill, syntax_);
    text_.reserve(static_cast<std::size_t>(
                      sink_ != nullptr
                          ? std::min<std::uint64_t>(size, kSinkBlock + rowTemplate_.size())
                          : size) +
                  label.size() + syntax_.labelSuffix.size() + kLineEnd.size());
    if (!label.empty()) {
        text_ += label;
        text_ += syntax_.labelSuffix;
        text_ += kLineEnd;
    }
    text_ += '\t';
    text_ += syntax_.directive;
    text_ += ' ';
    text_ += std::to_string(HeaderWidth(width, settings));
    text_ += ',';
    text_ += std::to_string(height);
}

void RowEncoder::AppendRow(const PixelSource& source, std::int32_t y) {
    AppendDigits(digits_.Row(source, y));
}

void RowEncoder::AppendDigits(std::span<const std::uint8_t> digits) {
    const std::size_t start = text_.size();
    text_ += rowTemplate_;
    char* const text = text_.data();
    std::size_t group = start + firstDigit_;  // the current group's first digit

    const std::uint8_t* pixel = digits.data();
    const std::uint8_t* const end =
        pixel + std::min(digits.size(), static_cast<std::size_t>(width_));
    // The first group may begin with fill digits; after it, whole groups of 8 pixels.
    if (lead_ > 0) {
        for (std::size_t i = static_cast<std::size_t>(lead_); i < 8 && pixel != end; ++i) {
            text[group + i] = static_cast<char>('0' + *pixel++);
        }
        group += groupStride_;
    }
    for (; end - pixel >= 8; pixel += 8, group += groupStride_) {
        char characters[8];
        for (std::size_t i = 0; i < 8; ++i) {
            characters[i] = static_cast<char>('0' + pixel[i]);
        }
        std::memcpy(text + group, characters, sizeof characters);
    }
    for (std::size_t i = 0; pixel != end; ++i) {
        text[group + i] = static_cast<char>('0' + *pixel++);
    }

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

std::string EncodeImage(const PixelSource& source, const ConversionSettings& settings,
                        const AssemblerSyntax& syntax) {
    RowEncoder encoder(syntax);
    encoder.Begin(source.Width(), source.Height(), settings);
    for (std::int32_t y = 0; y < source.Height(); ++y) {
        encoder.AppendRow(source, y);
    }
    encoder.Finish();
    return encoder.TakeText();
}

bool WriteImage(const PixelSource& source, const ConversionSettings& settings,
                const AssemblerSyntax& syntax, std::string_view label, TextSink& sink) {
    RowEncoder encoder(syntax, &sink);
    encoder.Begin(source.Width(), source.Height(), settings, label);
    for (std::int32_t y = 0; y < source.Height() && !encoder.SinkFailed(); ++y) {
        encoder.AppendRow(source, y);
    }
    encoder.Finish();
    return !encoder.SinkFailed();
}

}  // namespace rastelle
