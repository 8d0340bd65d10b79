#include "RowEncoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace rastelle {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Each byte's 8 binary digits, bit 7 first; a literal of fewer digits is the end of them.
constexpr auto kDigitText = [] {
    std::array<std::array<char, 8>, 256> table{};
    for (std::size_t value = 0; value < table.size(); ++value) {
        for (std::size_t i = 0; i < 8; ++i) {
            table[value][i] = ((value >> (7 - i)) & 1U) != 0 ? '1' : '0';
        }
    }
    return table;
}();

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
    digits_.Begin(width, settings);
    const bool maskBeside =
        settings.mask != MaskSource::None && settings.maskLayout != MaskLayout::Block;
    layout_.Begin(width, height, settings,
                  maskBeside ? LayoutContent::PictureWithMask : LayoutContent::Picture);
    const std::uint64_t size = TextSize(width, height, settings.fill, syntax_);
    text_.reserve(static_cast<std::size_t>(
                      sink_ != nullptr
                          ? std::min<std::uint64_t>(size, 2 * TextSink::kDefaultBlockBytes)
                          : size) +
                  label.size() + syntax_.labelSuffix.size() + kLineEnd.size());
    const auto [headerWidth, headerHeight] = Layout::HeaderSize(width, height, settings);
    BeginText(headerWidth, headerHeight, settings.header, label);
    usesLayout_ = true;
}

void RowEncoder::BeginText(std::int64_t headerWidth, std::int64_t headerHeight, bool header,
                           std::string_view label) {
    usesLayout_ = false;
    text_.clear();
    sinkFailed_ = false;
    if (!label.empty()) {
        text_ += label;
        text_ += syntax_.labelSuffix;
        if (header) {
            text_ += kLineEnd;
        }
    }
    if (header) {
        text_ += '\t';
        text_ += syntax_.directive;
        text_ += ' ';
        text_ += std::to_string(headerWidth);
        text_ += ',';
        text_ += std::to_string(headerHeight);
    }
    lineEndBeforeNext_ = header || !label.empty();
}

void RowEncoder::AppendRow(const PixelSource& source, std::int32_t y) {
    const std::span<const std::uint8_t> digits = digits_.Row(source, y);
    if (layout_.AddRow(digits, digits_.Mask())) {
        AppendLine(layout_.Line());
    }
}

void RowEncoder::MakeTemplate(std::span<const std::uint8_t> digits) {
    templateDigits_.assign(digits.begin(), digits.end());
    literalAt_.clear();
    lineTemplate_.assign(kLineEnd);
    lineTemplate_ += '\t';
    lineTemplate_ += syntax_.directive;
    lineTemplate_ += ' ';
    lineTemplate_ += syntax_.literalPrefix;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0) {
            lineTemplate_ += syntax_.literalSuffix;
            lineTemplate_ += ',';
            lineTemplate_ += syntax_.literalPrefix;
        }
        literalAt_.push_back(lineTemplate_.size());
        lineTemplate_.append(digits[i], '0');
    }
    lineTemplate_ += syntax_.literalSuffix;
    wholeLiterals_ = static_cast<std::size_t>(
        std::find_if(digits.begin(), digits.end(), [](std::uint8_t n) { return n != 8; }) -
        digits.begin());
}

void RowEncoder::AppendLine(const LiteralLine& line) {
    if (!std::equal(line.digits.begin(), line.digits.end(), templateDigits_.begin(),
                    templateDigits_.end())) {
        MakeTemplate(line.digits);
    }
    const std::size_t start = text_.size();
    text_ += lineTemplate_;
    char* const text = text_.data() + start;
    const std::size_t literals = std::min(line.values.size(), literalAt_.size());
    // Literals of 8 digits before any shorter one, the common case, a fixed stride apart.
    std::size_t i = 0;
    if (literals > 1 && line.digits[0] == 8) {
        const std::size_t stride = literalAt_[1] - literalAt_[0];
        const std::size_t whole = std::min(literals, wholeLiterals_);
        for (char* at = text + literalAt_[0]; i < whole; ++i, at += stride) {
            std::memcpy(at, kDigitText[line.values[i]].data(), 8);
        }
    }
    for (; i < literals; ++i) {
        const std::uint8_t digits = line.digits[i];
        const char* const source = kDigitText[line.values[i]].data() + 8 - digits;
        if (digits == 8) {
            std::memcpy(text + literalAt_[i], source, 8);
        } else {
            std::memcpy(text + literalAt_[i], source, digits);
        }
    }
    if (!lineEndBeforeNext_) {
        text_.erase(start, kLineEnd.size());
        lineEndBeforeNext_ = true;
    }
    if (sink_ != nullptr && text_.size() >= sink_->BlockBytes()) {
        HandOver();
    }
}

void RowEncoder::Finish() {
    if (usesLayout_ && layout_.Finish()) {
        AppendLine(layout_.Line());
    }
    usesLayout_ = false;
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

}  // namespace rastelle
