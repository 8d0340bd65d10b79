#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text/LabelSet.h"

namespace rastelle {

// What a line of assembler text says, handed on as it is read. Each returns an empty string
// to go on, or what was expected instead, which stops the reading at this line.
class TextEvents {
  public:
    virtual ~TextEvents() = default;
    virtual std::string Label(std::string_view name) = 0;
    virtual std::string BeginValues() = 0;  // a directive line begins
    virtual std::string Value(std::uint32_t value) = 0;
    virtual std::string EndValues() = 0;
    // A C array's size in pixels from its #defines, after its Label.
    virtual std::string Size(std::uint32_t width, std::uint32_t height) = 0;
    // Whether a table of words (.dw, .word...) holds numbers to read rather than symbols:
    // `label` is the label it follows, or empty for the image being read.
    virtual bool TakesWords(std::string_view /*label*/) { return false; }
};

// Reads assembler text a piece at a time, never holding more than one word of it:
//   - a label: a name at column 1, with or without ':' (without, it must not be a directive);
//   - a directive (db, .db, defb, .byte, byte, !byte, !by, dc.b, fcb; any case) and numbers
//     separated by commas, with any spacing;
//   - numbers: binary (%101, 0b101, 101b), hexadecimal ($FF, 0xFF, 0FFh), decimal, each
//     with an optional '#' in front;
//   - comments from ';' or '//' to the end of the line, from '/*' to '*/', and lines
//     starting with '*';
//   - equates (NAME = 5, NAME: equ 5, .equ NAME, 5), which are skipped, and tables of words
//     (.word, dw, .2byte...), skipped unless the events take them (a tile map's words);
//   - C arrays and X BitMaps: "#define NAME_WIDTH 16" and "_HEIGHT" (or _width, _height)
//     give the size; "static const unsigned char NAME[] = {" (NAME_bits[] read as NAME) opens
//     the numbers, a line of them each text line, up to "};"; an array of pointers is
//     skipped;
//   - blank lines; lines end with LF, CR LF or CR (old Mac texts);
//   - a UTF-8 byte order mark at the start is skipped; a UTF-16 one is refused.
class TextReader {
  public:
    static constexpr std::size_t kMaxWord = kMaxLabel;  // a label is the longest word

    explicit TextReader(TextEvents& events) : events_(events) {}

    // False once something could not be read; Error() says what and Line() where.
    bool Feed(std::string_view text);
    // Ends the last line.
    bool Finish();
    const std::string& Error() const { return error_; }
    // The line being read (from 1), or the one the error is on.
    std::int64_t Line() const { return line_; }
    // The last line that holds anything read so far (at least 1), for what the end lacks.
    std::int64_t LastLine() const { return lastWordLine_; }

  private:
    enum class Phase { Start, AfterLabel, AfterDirective, Value, AfterValue, Done };

    bool Fail(std::string expected);
    bool TakeStart();  // the bytes held while they might be a byte order mark
    bool Take(char c);
    // `colon`: the word ended with ':'.
    bool EndWord(bool colon = false);
    bool Word(std::string_view word, bool colon);
    bool EndLine();
    bool EmitLabel();
    bool CWord(std::string_view word);

    TextEvents& events_;
    std::string error_;
    std::int64_t line_ = 1;
    std::int64_t lastWordLine_ = 1;
    Phase phase_ = Phase::Start;
    std::string word_;
    std::string pendingLabel_;  // read, not yet handed on
    std::int64_t labelLine_ = 1;
    // C: where in a #define or an array declaration the reader is.
    enum class CPart { None, DefineName, DefineValue, Declaration, Values, Pointers };
    CPart c_ = CPart::None;
    std::string cName_;     // the #define's, then the array's
    std::string sizeName_;  // the array the last _WIDTH or _HEIGHT belongs to
    std::uint32_t size_[2] = {0, 0};
    bool sized_[2] = {false, false};
    bool cLine_ = false;  // a line of the array's numbers has begun
    bool wordAtColumn1_ = false;
    bool atColumn1_ = true;
    bool comment_ = false;
    bool slash_ = false;  // a '/' that must be followed by another or by '*'
    bool block_ = false;  // inside /* */
    bool star_ = false;   // inside /* */, just after a star
    bool afterCr_ = false;
    bool started_ = false;  // past a byte order mark, or sure there is none
    std::string start_;     // the first bytes, while they might be one
};

}  // namespace rastelle
