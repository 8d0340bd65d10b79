#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "AssemblerSyntax.h"
#include "ConversionSettings.h"
#include "DigitStage.h"
#include "PixelSource.h"

namespace rastelle {

// Takes the text piece by piece as the encoder makes it.
class TextSink {
  public:
    virtual ~TextSink() = default;
    // False when the text can't be taken; the encoder then stops handing it more.
    virtual bool Write(std::string_view text) = 0;
};

// Builds the assembler text of one image: a header line "\t.db W,H", then one
// "\t.db %bbbbbbbb,%..." line per pixel row, then a final line end, spelt as the syntax
// says (directive, literal prefix and suffix; optionally a label line). The text grows in
// place and can be read between any two calls; with a sink it is handed over in blocks of
// about kSinkBlock bytes instead, so memory stays small whatever the image.
class RowEncoder {
  public:
    static constexpr std::size_t kSinkBlock = 64 * 1024;

    RowEncoder() = default;
    explicit RowEncoder(const AssemblerSyntax& syntax, TextSink* sink = nullptr)
        : syntax_(syntax), sink_(sink) {}

    // Empties the text and writes the header line, after a label line when `label` is not
    // empty. A width in bytes needs whole bytes, so without fill the width is always given
    // in bits.
    void Begin(std::int32_t width, std::int32_t height, const ConversionSettings& settings,
               std::string_view label = {});
    // Appends row y of `source`, its digits decided by the digit stage; rows are expected
    // top to bottom.
    void AppendRow(const PixelSource& source, std::int32_t y);
    // Appends a row of digits decided elsewhere (one per pixel, 0 or 1, the image's width).
    void AppendDigits(std::span<const std::uint8_t> digits);
    // Appends the final line end and, with a sink, hands over the rest of the text.
    void Finish();
    // The sink refused some text; what follows is dropped.
    bool SinkFailed() const { return sinkFailed_; }

    // With a sink: what has not been handed over yet.
    const std::string& Text() const { return text_; }
    // Hands the finished text over, leaving the encoder empty.
    std::string TakeText() { return std::move(text_); }
    // Empties the text but keeps its buffer, for a caller that takes the text row by row.
    void ClearText() { text_.clear(); }

    // Length of the complete text for an image, without building it (exact with the width
    // in bits, at most a few bytes over with bytes); used to refuse images whose text would
    // not fit in memory before any work is done.
    // The label line is not counted.
    static std::uint64_t TextSize(std::int64_t width, std::int64_t height, FillMode fill,
                                  const AssemblerSyntax& syntax = {});
    // The header's first number: digits per row, or bytes per row.
    static std::int64_t HeaderWidth(std::int64_t width, const ConversionSettings& settings);

  private:
    void HandOver();

    AssemblerSyntax syntax_;
    TextSink* sink_ = nullptr;
    bool sinkFailed_ = false;
    std::string text_;
    DigitStage digits_;
    std::int32_t width_ = 0;
    // A whole row with its fill digits in place; each row's pixel digits are written over
    // a copy. Groups of 8 digits start groupStride_ apart.
    std::string rowTemplate_;
    std::size_t firstDigit_ = 0;
    std::size_t groupStride_ = 0;
    std::int32_t lead_ = 0;
};

// The whole text of an image in one call.
std::string EncodeImage(const PixelSource& source, const ConversionSettings& settings,
                        const AssemblerSyntax& syntax = {});

// The text of one image, after a label line when `label` is not empty, handed to `sink` as
// it is made; false when the sink refused it.
bool WriteImage(const PixelSource& source, const ConversionSettings& settings,
                const AssemblerSyntax& syntax, std::string_view label, TextSink& sink);

}  // namespace rastelle
