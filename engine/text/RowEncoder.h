#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/AssemblerSyntax.h"
#include "common/ConversionSettings.h"
#include "image/PixelSource.h"
#include "layout/Layout.h"
#include "picture/DigitStage.h"

namespace rastelle {

// Takes the text piece by piece as the encoder makes it.
class TextSink {
  public:
    virtual ~TextSink() = default;
    // False when the text can't be taken; the encoder then stops handing it more.
    virtual bool Write(std::string_view text) = 0;
    // The encoder hands text over once it holds at least this many bytes, and at the end; a
    // sink that wants every line as soon as it is made asks for 1.
    virtual std::size_t BlockBytes() const { return kDefaultBlockBytes; }
    static constexpr std::size_t kDefaultBlockBytes = 64 * 1024;
};

// Builds the assembler text of one image: a header line "\t.db W,H", then one
// "\t.db %bbbbbbbb,%..." line per line of the layout (a pixel row by default), then a final
// line end, spelt as the syntax says (directive, literal prefix and suffix; optionally a label
// line). The text grows in
// place and can be read between any two calls; with a sink it is handed over in blocks of
// about the sink's BlockBytes() instead, so memory stays small whatever the image.
class RowEncoder {
  public:
    RowEncoder() = default;
    explicit RowEncoder(const AssemblerSyntax& syntax, TextSink* sink = nullptr)
        : syntax_(syntax), sink_(sink) {}

    // Empties the text and writes the header line, after a label line when `label` is not
    // empty. A width in bytes needs whole bytes, so without fill the width is always given
    // in bits.
    void Begin(std::int32_t width, std::int32_t height, const ConversionSettings& settings,
               std::string_view label = {});
    // Appends row y of `source`, its digits decided by the digit stage and laid out as the
    // settings say; rows are expected top to bottom.
    void AppendRow(const PixelSource& source, std::int32_t y);
    // Appends the last page, if any, and the final line end and, with a sink, hands over the
    // rest of the text.
    void Finish();
    // The digit stage of Begin's image, to ask whether it met transparent pixels.
    const DigitStage& Digits() const { return digits_; }

    // For lines laid out elsewhere: empties the text and writes the label line (when `label`
    // is not empty) and the header (when the settings ask for it) of an image `width` x
    // `height` pixels big; the settings also give the text's radix, literals a line and
    // comments.
    void BeginText(std::int64_t width, std::int64_t height, const ConversionSettings& settings,
                   std::string_view label);
    // With comments: the pixels of the next row of the line in hand, to be drawn.
    void NoteRow(std::span<const std::uint8_t> pixels);
    void AppendLine(const LiteralLine& line);
    // The sink refused some text; what follows is dropped.
    bool SinkFailed() const { return sinkFailed_; }

    // With a sink: what has not been handed over yet.
    const std::string& Text() const { return text_; }
    // Hands the finished text over, leaving the encoder empty.
    std::string TakeText() { return std::move(text_); }

    // The count of `labels` as NAME_count and a table of their addresses, NAME_table, after
    // an empty line; as C, a #define and an array of pointers.
    static std::string SymbolTable(const AssemblerSyntax& syntax, std::string_view name,
                                   std::span<const std::string> labels);

  private:
    void HandOver();
    void MakeTemplate(std::span<const std::uint8_t> digits);
    void SpellLiterals();
    void AppendEquate(std::string_view name, std::string_view suffix, std::int64_t value);
    void AppendSpelled(const LiteralLine& line);

    AssemblerSyntax syntax_;
    TextSink* sink_ = nullptr;
    bool sinkFailed_ = false;
    std::string text_;
    DigitStage digits_;
    Layout layout_;
    bool usesLayout_ = false;         // Begin's image: rows go through layout_
    bool lineEndBeforeNext_ = false;  // false only before the first line without a header
    // A line of literals whose digits are written over a copy; made again when the number of
    // literals or their lengths change. Literal i's digits start at literalAt_[i].
    std::string lineTemplate_;
    std::vector<std::uint8_t> templateDigits_;
    std::vector<std::size_t> literalAt_;
    std::size_t wholeLiterals_ = 0;  // literals of 8 digits before the first shorter one

    // The form of BeginText's image.
    Radix radix_ = Radix::Binary;
    std::int32_t perLine_ = 0;
    bool comment_ = false;
    bool pages_ = false;
    bool binary_ = false;
    std::string lineLead_;  // a line end, a tab and the directive with its space
    std::string_view separator_;
    std::string_view lineTail_;
    std::string comments_;  // drawn rows of the line in hand
    // Each byte's literal in hexadecimal or decimal after the separator (at most 2 + 6
    // characters), with room to copy 8 bytes from the separator's end.
    struct Spelled {
        std::array<char, 16> text;
        std::uint8_t size;
    };
    std::array<Spelled, 256> spelled_{};
};

// The whole text of an image in one call.
std::string EncodeImage(const PixelSource& source, const ConversionSettings& settings,
                        const AssemblerSyntax& syntax = {});

}  // namespace rastelle
