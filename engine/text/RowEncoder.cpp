#include "text/RowEncoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "common/TextSize.h"

namespace rastelle {

namespace {

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

}  // namespace

void RowEncoder::Begin(std::int32_t width, std::int32_t height, const ConversionSettings& settings,
                       std::string_view label) {
    digits_.Begin(width, settings);
    const bool maskBeside =
        settings.mask != MaskSource::None && settings.maskLayout != MaskLayout::Block;
    layout_.Begin(width, height, settings,
                  maskBeside ? LayoutContent::PictureWithMask : LayoutContent::Picture);
    const std::uint64_t size = TextSize(width, height, settings.fill, syntax_, settings);
    text_.reserve(static_cast<std::size_t>(
                      sink_ != nullptr
                          ? std::min<std::uint64_t>(size, 2 * TextSink::kDefaultBlockBytes)
                          : size) +
                  3 * label.size() + syntax_.labelSuffix.size() + kLineEnd.size());
    BeginText(width, height, settings, label);
    usesLayout_ = true;
}

void RowEncoder::BeginText(std::int64_t width, std::int64_t height,
                           const ConversionSettings& settings, std::string_view label) {
    usesLayout_ = false;
    text_.clear();
    sinkFailed_ = false;
    comments_.clear();
    const bool c = IsC(syntax_);
    radix_ = TextRadix(settings.radix, syntax_);
    perLine_ = settings.perLine;
    comment_ = settings.comment;
    pages_ = settings.layout == ByteLayout::Pages;
    lineLead_.assign(kLineEnd);
    lineLead_ += '\t';
    if (!c) {
        lineLead_ += syntax_.directive;
        lineLead_ += ' ';
    }
    separator_ = c ? ", " : ",";
    lineTail_ = c ? "," : "";
    templateDigits_.clear();
    lineTemplate_.clear();
    if (radix_ != Radix::Binary) {
        SpellLiterals();
    }
    const auto [headerWidth, headerHeight] = Layout::HeaderSize(width, height, settings);
    binary_ = settings.binary;
    if (binary_) {
        // A number above 255 is cut to its low byte, as the directive's byte holds it.
        if (settings.header) {
            text_ += static_cast<char>(headerWidth & 0xFF);
            text_ += static_cast<char>(headerHeight & 0xFF);
        }
        return;
    }
    if (settings.symbols && !label.empty()) {
        for (const auto& [side, value] :
             {std::pair{"_width", width}, std::pair{"_height", height}}) {
            AppendEquate(label, side, value);
            text_ += kLineEnd;
        }
        if (settings.keptLeft >= 0) {
            for (const auto& [side, value] : {std::pair{"_trim_x", settings.keptLeft},
                                              std::pair{"_trim_y", settings.keptTop}}) {
                AppendEquate(label, side, value);
                text_ += kLineEnd;
            }
        }
    }
    if (c) {
        // The array needs a name.
        const std::string name(label.empty() ? std::string_view("image") : label);
        const bool xbm = syntax_.kind == TextKind::Xbm;
        if (settings.header || xbm) {
            for (const auto& [side, value] : {std::pair{xbm ? "_width " : "_WIDTH ", width},
                                              std::pair{xbm ? "_height " : "_HEIGHT ", height}}) {
                text_ += "#define ";
                text_ += name;
                text_ += side;
                text_ += std::to_string(value);
                text_ += kLineEnd;
            }
        }
        text_ += xbm ? "static unsigned char " : "static const unsigned char ";
        text_ += name;
        text_ += xbm ? "_bits[] = {" : "[] = {";
        lineEndBeforeNext_ = true;
        return;
    }
    if (!label.empty()) {
        text_ += label;
        text_ += syntax_.labelSuffix;
        if (settings.header) {
            text_ += kLineEnd;
        }
    }
    if (settings.header) {
        text_ += '\t';
        text_ += syntax_.directive;
        text_ += ' ';
        text_ += std::to_string(headerWidth);
        text_ += ',';
        text_ += std::to_string(headerHeight);
    }
    lineEndBeforeNext_ = settings.header || !label.empty();
}

void RowEncoder::AppendEquate(std::string_view name, std::string_view suffix, std::int64_t value) {
    text_ += syntax_.equatePrefix;
    text_ += name;
    text_ += suffix;
    text_ += syntax_.equateInfix;
    text_ += std::to_string(value);
}

std::string RowEncoder::SymbolTable(const AssemblerSyntax& syntax, std::string_view name,
                                    std::span<const std::string> labels) {
    RowEncoder encoder(syntax);
    std::string& text = encoder.text_;
    text += kLineEnd;
    encoder.AppendEquate(name, "_count", static_cast<std::int64_t>(labels.size()));
    text += kLineEnd;
    if (labels.empty()) {
        return text;  // nothing to point at; C takes no empty array
    }
    const bool c = IsC(syntax);
    text += c ? "static const unsigned char *const " : "";
    text += name;
    text += c ? "_table[] = {" : "_table:";
    text += kLineEnd;
    text += '\t';
    if (!c) {
        text += syntax.wordDirective;
        text += ' ';
    }
    for (std::size_t i = 0; i < labels.size(); ++i) {
        text += i == 0 ? "" : c ? ", " : ",";
        text += labels[i];
    }
    text += c ? ",\r\n};\r\n" : "\r\n";
    return text;
}

void RowEncoder::SpellLiterals() {
    constexpr std::string_view kHex = "0123456789ABCDEF";
    for (std::size_t value = 0; value < spelled_.size(); ++value) {
        std::string literal;
        if (radix_ == Radix::Decimal) {
            literal = std::to_string(value);
        } else {
            literal = syntax_.hexPrefix;
            if (syntax_.hexLeadingDigit && value >= 0xA0) {
                literal += '0';
            }
            literal += kHex[value >> 4];
            literal += kHex[value & 15];
            literal += syntax_.hexSuffix;
        }
        literal.insert(0, separator_);
        Spelled& spelled = spelled_[value];
        spelled.size = static_cast<std::uint8_t>(std::min(literal.size(), spelled.text.size()));
        std::copy_n(literal.begin(), spelled.size, spelled.text.begin());
    }
}

void RowEncoder::NoteRow(std::span<const std::uint8_t> pixels) {
    if (!comment_) {
        return;
    }
    // Pages draw each row on a comment line before the page; rows after the row's line.
    if (!pages_) {
        comments_.clear();
    }
    comments_.append(pages_ ? "\r\n\t" : " ");
    comments_.append(syntax_.commentStart);
    const std::size_t at = comments_.size();
    comments_.resize(at + pixels.size());
    char* const drawn = comments_.data() + at;
    // Without a branch: pixel patterns are as good as random to a branch predictor.
    for (std::size_t x = 0; x < pixels.size(); ++x) {
        drawn[x] = static_cast<char>('.' - ('.' - '#') * (pixels[x] & 1));
    }
    comments_ += syntax_.commentEnd;
}

void RowEncoder::AppendRow(const PixelSource& source, std::int32_t y) {
    const std::span<const std::uint8_t> digits = digits_.Row(source, y);
    NoteRow(digits);
    if (layout_.AddRow(digits, digits_.Mask())) {
        AppendLine(layout_.Line());
    }
}

void RowEncoder::MakeTemplate(std::span<const std::uint8_t> digits) {
    templateDigits_.assign(digits.begin(), digits.end());
    literalAt_.clear();
    lineTemplate_.assign(lineLead_);
    lineTemplate_ += syntax_.literalPrefix;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0) {
            lineTemplate_ += syntax_.literalSuffix;
            if (perLine_ > 0 && i % static_cast<std::size_t>(perLine_) == 0) {
                lineTemplate_ += lineTail_;
                lineTemplate_ += lineLead_;
            } else {
                lineTemplate_ += separator_;
            }
            lineTemplate_ += syntax_.literalPrefix;
        }
        literalAt_.push_back(lineTemplate_.size());
        lineTemplate_.append(digits[i], '0');
    }
    lineTemplate_ += syntax_.literalSuffix;
    lineTemplate_ += lineTail_;
    wholeLiterals_ = static_cast<std::size_t>(
        std::find_if(digits.begin(), digits.end(), [](std::uint8_t n) { return n != 8; }) -
        digits.begin());
    // The literals a fixed stride apart end with the first line.
    if (perLine_ > 0) {
        wholeLiterals_ = std::min(wholeLiterals_, static_cast<std::size_t>(perLine_));
    }
}

void RowEncoder::AppendSpelled(const LiteralLine& line) {
    // Written through a pointer into room made for the longest spelling, then cut to size.
    const std::size_t literals = line.values.size();
    const auto perLine = static_cast<std::size_t>(perLine_);
    const std::size_t breaks = perLine > 0 && literals > 0 ? (literals - 1) / perLine : 0;
    const std::size_t start = text_.size();
    text_.resize(start + (breaks + 1) * (lineLead_.size() + lineTail_.size()) +
                 literals * spelled_[0].text.size());
    char* at = text_.data() + start;
    const auto put = [&at](std::string_view piece) {
        std::memcpy(at, piece.data(), piece.size());
        at += piece.size();
    };
    // Each spelling starts with the separator, which a line's first literal leaves out.
    const std::size_t separator = separator_.size();
    put(lineLead_);
    for (std::size_t i = 0; i < literals; ++i) {
        const Spelled& spelled = spelled_[line.values[i]];
        std::size_t from = 0;
        if (i == 0 || (perLine > 0 && i % perLine == 0)) {
            if (i != 0) {
                put(lineTail_);
                put(lineLead_);
            }
            from = separator;
        }
        std::memcpy(at, spelled.text.data() + from, 8);
        at += spelled.size - from;
    }
    put(lineTail_);
    text_.resize(static_cast<std::size_t>(at - text_.data()));
}

void RowEncoder::AppendLine(const LiteralLine& line) {
    if (binary_) {
        text_.append(reinterpret_cast<const char*>(line.values.data()), line.values.size());
        if (sink_ != nullptr && text_.size() >= sink_->BlockBytes()) {
            HandOver();
        }
        return;
    }
    const std::size_t start = text_.size();
    if (pages_) {
        text_ += comments_;
    }
    if (radix_ != Radix::Binary) {
        AppendSpelled(line);
    } else {
        if (!std::equal(line.digits.begin(), line.digits.end(), templateDigits_.begin(),
                        templateDigits_.end()) ||
            lineTemplate_.empty()) {
            MakeTemplate(line.digits);
        }
        const std::size_t lineStart = text_.size();
        text_ += lineTemplate_;
        char* const text = text_.data() + lineStart;
        const std::size_t literals = std::min(line.values.size(), literalAt_.size());
        // Literals of 8 digits before any shorter one, the common case, a fixed stride apart.
        std::size_t i = 0;
        if (literals > 1 && line.digits[0] == 8 && wholeLiterals_ > 1) {
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
    }
    if (!pages_) {
        text_ += comments_;
    }
    comments_.clear();
    if (!lineEndBeforeNext_) {
        text_.erase(start, kLineEnd.size());
        lineEndBeforeNext_ = true;
    }
    if (sink_ != nullptr && text_.size() >= sink_->BlockBytes()) {
        HandOver();
    }
}

void RowEncoder::Finish() {
    while (usesLayout_ && layout_.Finish()) {
        AppendLine(layout_.Line());
    }
    usesLayout_ = false;
    if (IsC(syntax_) && !binary_) {
        text_ += kLineEnd;
        text_ += "};";
    }
    if (!binary_) {
        text_ += kLineEnd;
    }
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
