#include "TextToPicture.h"

namespace rastelle {

namespace {

const char* const kHeaderExpected =
    "expected a header line of two numbers, the width and the height (or --no-header with "
    "--size WxH)";

}  // namespace

TextToPicture::TextToPicture(const ReverseSettings& settings, PictureTarget& target)
    : settings_(settings), target_(target) {}

void TextToPicture::BeginFile() {
    reader_.emplace(static_cast<TextEvents&>(*this));
}

bool TextToPicture::Fail(std::string error, std::int64_t line) {
    if (error_.empty()) {
        error_ = std::move(error);
        line_ = line;
    }
    return false;
}

bool TextToPicture::Feed(std::string_view text) {
    if (settings_.settings.binary) {
        return error_.empty() && FeedBytes(text);
    }
    return error_.empty() && (reader_->Feed(text) || Fail(reader_->Error(), reader_->Line()));
}

bool TextToPicture::FeedBytes(std::string_view bytes) {
    for (const char byte : bytes) {
        std::string result;
        if (!lineOpen_) {
            result = BeginValues();
            lineOpen_ = true;
        }
        if (result.empty()) {
            result = Value(static_cast<std::uint8_t>(byte));
        }
        // A line ends with the header's two numbers, or with a line of the layout.
        if (result.empty() && count_ == (sized_ ? values_.size() : 2)) {
            result = EndValues();
            lineOpen_ = false;
        }
        if (!result.empty()) {
            return Fail(std::move(result), 1);
        }
    }
    return true;
}

bool TextToPicture::EndFile() {
    if (!error_.empty()) {
        return false;
    }
    if (!reader_->Finish()) {
        return Fail(reader_->Error(), reader_->Line());
    }
    std::string ended = EndImage();
    if (ended.empty() && awaitingMask_) {
        ended = "expected the mask " + pictureLabel_ + "_mask after " + pictureLabel_;
    }
    return ended.empty() || Fail(std::move(ended), reader_->LastLine());
}

bool TextToPicture::Finish() {
    if (!error_.empty()) {
        return false;
    }
    const std::int64_t last = reader_ ? reader_->LastLine() : 1;
    if (!sawImage_) {
        return Fail("expected an image: a line of numbers after a directive such as .db", last);
    }
    if (!settings_.label.empty() && !sawPicked_) {
        return Fail("expected an image labelled " + settings_.label, last);
    }
    return true;
}

std::string TextToPicture::Name() const {
    return label_.empty() ? "the image" : label_;
}

std::string TextToPicture::Label(std::string_view name) {
    if (std::string ended = EndImage(); !ended.empty()) {
        return ended;
    }
    if (!labels_.emplace(name).second) {
        return "expected each label once; " + std::string(name) + " came before";
    }
    if (awaitingMask_) {
        if (name != pictureLabel_ + "_mask") {
            return "expected the mask " + pictureLabel_ + "_mask after " + pictureLabel_ +
                   ", not " + std::string(name);
        }
        return StartImage(std::string(name), true);
    }
    return StartImage(std::string(name), false);
}

std::string TextToPicture::StartImage(std::string label, bool mask) {
    inImage_ = true;
    sawImage_ = true;
    label_ = std::move(label);
    maskImage_ = mask;
    sized_ = false;
    if (settings_.settings.header) {
        return {};
    }
    if (settings_.width <= 0) {
        return kHeaderExpected;
    }
    return BeginPicture(settings_.width, settings_.height);
}

std::string TextToPicture::BeginValues() {
    if (!continued_) {
        count_ = 0;
    }
    if (!inImage_) {
        if (std::string started = StartImage(std::string(), false); !started.empty()) {
            return started;
        }
    }
    if (sized_ && layout_.LinesRead() == layout_.Lines() && !continued_) {
        return "expected a label or the end: " + Name() + " is complete after " +
               std::to_string(layout_.Lines()) + " lines";
    }
    return {};
}

std::string TextToPicture::Value(std::uint32_t value) {
    if (!sized_) {
        if (count_ == 2) {
            return kHeaderExpected;
        }
        header_[count_++] = value;
        return {};
    }
    if (count_ == values_.size()) {
        return "expected " + std::to_string(values_.size()) + " numbers in each line of " + Name() +
               ", not more";
    }
    if (value > 255) {
        return "expected numbers from 0 to 255, not " + std::to_string(value);
    }
    values_[count_++] = static_cast<std::uint8_t>(value);
    return {};
}

std::string TextToPicture::EndValues() {
    if (!sized_) {
        return count_ == 2 ? Header(header_[0], header_[1]) : kHeaderExpected;
    }
    // A line of the layout cut into text lines of perLine numbers goes on.
    const auto perLine = static_cast<std::size_t>(settings_.settings.perLine);
    continued_ = perLine > 0 && count_ < values_.size() && count_ % perLine == 0;
    if (continued_) {
        return {};
    }
    if (std::string added = layout_.AddLine({values_.data(), count_}); !added.empty()) {
        return added;
    }
    if (picture_ != nullptr) {
        for (std::int32_t i = 0; i < layout_.RowCount(); ++i) {
            if (maskImage_) {
                picture_->SetMaskRow(layout_.FirstRow() + i, layout_.Picture(i));
            } else {
                picture_->SetRow(layout_.FirstRow() + i, layout_.Picture(i), layout_.Mask(i));
            }
        }
    }
    return {};
}

std::string TextToPicture::Size(std::uint32_t width, std::uint32_t height) {
    if (!settings_.settings.header || sized_) {
        return {};
    }
    if (settings_.width > 0 && (settings_.width != static_cast<std::int64_t>(width) ||
                                settings_.height != static_cast<std::int64_t>(height))) {
        return "expected the size " + std::to_string(settings_.width) + "x" +
               std::to_string(settings_.height) + " that --size gives, not " +
               std::to_string(width) + "x" + std::to_string(height);
    }
    return BeginPicture(width, height);
}

std::string TextToPicture::Header(std::uint32_t width, std::uint32_t height) {
    const ConversionSettings& settings = settings_.settings;
    if (settings_.width > 0) {
        const auto [headerWidth, headerHeight] =
            Layout::HeaderSize(settings_.width, settings_.height, settings);
        if (headerWidth != width || headerHeight != height) {
            return "expected the header " + std::to_string(headerWidth) + "," +
                   std::to_string(headerHeight) + " that a picture of " +
                   std::to_string(settings_.width) + "x" + std::to_string(settings_.height) +
                   " makes with these options, not " + std::to_string(width) + "," +
                   std::to_string(height);
        }
        return BeginPicture(settings_.width, settings_.height);
    }
    const bool inBytes = settings.layout != ByteLayout::Pages &&
                         settings.widthUnit == WidthUnit::Bytes && settings.fill != FillMode::None;
    return BeginPicture(std::int64_t{width} * (inBytes ? 8 : 1), height);
}

std::string TextToPicture::BeginPicture(std::int64_t width, std::int64_t height) {
    const bool png = settings_.format == PictureFormat::Png;
    if (width < 1 || height < (png ? 1 : 0) || width > limits::kMaxSide ||
        height > limits::kMaxSide) {
        return "expected a width from 1 and a height from " + std::string(png ? "1" : "0") +
               " to " + std::to_string(limits::kMaxSide) + " pixels, not " + std::to_string(width) +
               "x" + std::to_string(height);
    }
    if (png && static_cast<std::uint64_t>(width * height) > settings_.maxPixels) {
        return "expected a picture of at most " + std::to_string(settings_.maxPixels) +
               " pixels, not " + std::to_string(width) + "x" + std::to_string(height);
    }
    const auto w = static_cast<std::int32_t>(width);
    const auto h = static_cast<std::int32_t>(height);
    const ConversionSettings& settings = settings_.settings;
    const bool masked = settings.mask != MaskSource::None;
    const bool block = masked && settings.maskLayout == MaskLayout::Block;
    layout_.Begin(w, h, settings,
                  maskImage_         ? LayoutContent::Mask
                  : masked && !block ? LayoutContent::PictureWithMask
                                     : LayoutContent::Picture);
    values_.assign(layout_.LineValues(), 0);
    sized_ = true;
    if (maskImage_) {
        if (width != pictureWidth_ || height != pictureHeight_) {
            return "expected the mask as big as its picture, " + std::to_string(pictureWidth_) +
                   "x" + std::to_string(pictureHeight_) + ", not " + std::to_string(width) + "x" +
                   std::to_string(height);
        }
        return {};
    }
    pictureLabel_ = label_;
    pictureWidth_ = width;
    pictureHeight_ = height;
    if (!settings_.label.empty() && settings_.label != label_) {
        return {};
    }
    sawPicked_ = true;
    TextSink* sink = nullptr;
    if (!settings_.write) {
        if (target_.Plan(label_)) {
            return {};
        }
    } else {
        sink = target_.Open(label_);
    }
    if (sink == nullptr) {
        writeFailed_ = true;
        return "could not write the picture";
    }
    picture_ = std::make_unique<PictureFile>(settings_.format, w, h, settings, *sink);
    return {};
}

std::string TextToPicture::EndImage() {
    if (!inImage_) {
        return {};
    }
    if (!sized_) {
        return std::string(kHeaderExpected) + " for " + Name();
    }
    if (layout_.LinesRead() < layout_.Lines()) {
        return "expected " + std::to_string(layout_.Lines()) + " lines of numbers for " + Name() +
               ", not " + std::to_string(layout_.LinesRead());
    }
    inImage_ = false;
    const bool block = settings_.settings.mask != MaskSource::None &&
                       settings_.settings.maskLayout == MaskLayout::Block;
    awaitingMask_ = block && !maskImage_;
    if (awaitingMask_ || picture_ == nullptr) {
        return {};
    }
    const bool written = picture_->Finish();
    picture_.reset();
    ++pictures_;
    if (!written) {
        writeFailed_ = true;
        return "could not write the picture";
    }
    return {};
}

}  // namespace rastelle
