#include "back/TextReader.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "common/Ascii.h"
#include "common/AssemblerSyntax.h"
#include "common/DecodeError.h"

namespace rastelle {

namespace {

bool IsOneOf(std::string_view word, std::initializer_list<std::string_view> words) {
    for (const std::string_view known : words) {
        if (word.size() == known.size() &&
            std::equal(word.begin(), word.end(), known.begin(),
                       [](char a, char b) { return AsciiLower(a) == b; })) {
            return true;
        }
    }
    return false;
}

// A table of bytes, the text's own and other assemblers' spellings.
bool IsDirective(std::string_view word) {
    return IsOneOf(word, {"db", ".db", "defb", ".defb", "byte", ".byte", "!byte", "!by", "dc.b",
                          ".dc.b", "fcb", ".fcb"});
}

// What follows a name in an equate (NAME = 5, NAME: equ 5), or starts one (.equ NAME, 5).
bool IsEquate(std::string_view word) {
    return IsOneOf(word, {"=", "equ", ".equ", "set", ".set"});
}

// A table of words, such as a table of addresses: no image's bytes.
bool IsWordDirective(std::string_view word) {
    return IsOneOf(word, {".word", "word", "dw", ".dw", "!word", "!wo", "defw", ".defw", ".2byte"});
}

int DigitValue(char c) {
    c = AsciiLower(c);
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : 99;
}

// A number in any of the forms assemblers spell bytes in; false when `word` is none.
bool ParseNumber(std::string_view word, std::uint64_t& value) {
    if (word.starts_with('#')) {
        word.remove_prefix(1);
    }
    const auto startsWith = [&word](std::string_view prefix) {
        return word.size() > prefix.size() && AsciiLower(word[0]) == prefix[0] &&
               (prefix.size() == 1 || AsciiLower(word[1]) == prefix[1]);
    };
    const char last = word.empty() ? '\0' : AsciiLower(word.back());
    int base = 10;
    // A suffix 'h' wins over a prefix "0b": 0bh is eleven.
    if (startsWith("%") || startsWith("$") || startsWith("0x") ||
        (startsWith("0b") && last != 'h')) {
        base = word[0] == '%' || (word[0] == '0' && AsciiLower(word[1]) == 'b') ? 2 : 16;
        word.remove_prefix(word[0] == '0' ? 2 : 1);
    } else if (last == 'h' || last == 'b') {
        base = last == 'h' ? 16 : 2;
        word.remove_suffix(1);
    }
    if (word.empty()) {
        return false;
    }
    value = 0;
    for (const char c : word) {
        const int digit = DigitValue(c);
        if (digit >= base) {
            return false;
        }
        // Anything past 32 bits is refused by the reader's caller; keep it from wrapping.
        value = value > 0xFFFFFFFFU
                    ? value
                    : value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    }
    return true;
}

}  // namespace

bool TextReader::Fail(std::string expected) {
    if (error_.empty()) {
        error_ = std::move(expected);
    }
    phase_ = Phase::Done;
    return false;
}

bool TextReader::Feed(std::string_view text) {
    for (const char c : text) {
        if (phase_ == Phase::Done) {
            return false;
        }
        // A byte order mark is held back until it is whole, or given on as text.
        if (!started_) {
            start_ += c;
            if (start_ == "\xFF\xFE" || start_ == "\xFE\xFF") {
                return Fail("UTF-16 text: save it as UTF-8");
            }
            const bool partial = std::string_view("\xEF\xBB\xBF").starts_with(start_) ||
                                 start_ == "\xFF" || start_ == "\xFE";
            if (partial && start_.size() < 3) {
                continue;
            }
            if (!TakeStart()) {
                return false;
            }
            continue;
        }
        if (!Take(c)) {
            return false;
        }
    }
    return phase_ != Phase::Done;
}

bool TextReader::TakeStart() {
    started_ = true;
    if (start_ == "\xEF\xBB\xBF") {
        start_.clear();
        return true;  // a UTF-8 byte order mark says nothing
    }
    for (const char held : std::exchange(start_, {})) {
        if (!Take(held)) {
            return false;
        }
    }
    return true;
}

bool TextReader::Take(char c) {
    // CR, LF and CR LF each end a line.
    if (std::exchange(afterCr_, c == '\r') && c == '\n') {
        return true;
    }
    if (block_) {
        block_ = !(star_ && c == '/');
        star_ = c == '*';
        if (c != '\n' && c != '\r') {
            return true;
        }
    }
    if (slash_) {
        slash_ = false;
        if (c != '/' && c != '*') {
            return Fail("expected '//' or '/*' to start a comment, or no '/'");
        }
        (c == '/' ? comment_ : block_) = true;
        return true;
    }
    if (comment_ && c != '\n' && c != '\r') {
        return true;
    }
    switch (c) {
        case '\n':
        case '\r':
            if (!EndWord() || !EndLine()) {
                return false;
            }
            ++line_;
            atColumn1_ = true;
            return true;
        case ';':
            comment_ = true;
            if (!EndWord()) {
                return false;
            }
            break;
        case '*':
            if (atColumn1_) {
                comment_ = true;
            } else {
                word_ += c;
            }
            break;
        case '/':
            slash_ = true;
            if (!EndWord()) {
                return false;
            }
            break;
        case ' ':
        case '\t':
        case '\f':
        case '\v':
            if (!EndWord()) {
                return false;
            }
            break;
        case ',':
            if (!EndWord()) {
                return false;
            }
            if (c_ != CPart::None) {
                break;  // C's commas end numbers; one may end a line
            }
            if (phase_ != Phase::AfterValue) {
                return Fail("expected a number before ','");
            }
            phase_ = Phase::Value;
            break;
        case ':':
            if (word_.empty() || !wordAtColumn1_) {
                return Fail("expected ':' only after a label at column 1");
            }
            if (!EndWord(true)) {
                return false;
            }
            break;
        default:
            if (word_.empty()) {
                wordAtColumn1_ = atColumn1_;
            }
            if (word_.size() == kMaxWord) {
                return Fail("expected words of at most " + std::to_string(kMaxWord) +
                            " characters");
            }
            word_ += c;
            break;
    }
    atColumn1_ = false;
    return true;
}

bool TextReader::Finish() {
    if (phase_ == Phase::Done) {
        return false;
    }
    // A text of fewer bytes than a byte order mark.
    if (!started_ && !TakeStart()) {
        return false;
    }
    if (slash_ || block_) {
        return Fail(slash_ ? "expected '//' or '/*' to start a comment, or no '/'"
                           : "expected '*/' to end the comment");
    }
    return EndWord() && EndLine() && EmitLabel();
}

bool TextReader::EndWord(bool colon) {
    if (word_.empty()) {
        return phase_ != Phase::Done;
    }
    const bool ok = Word(word_, colon);
    word_.clear();
    return ok;
}

bool TextReader::Word(std::string_view word, bool colon) {
    lastWordLine_ = line_;
    const auto call = [this](std::string result) {
        return result.empty() || Fail(std::move(result));
    };
    // A label is handed on with its first line of bytes: a name that an equate or a table
    // of words follows is a symbol, not an image.
    const auto skipLine = [this] {
        pendingLabel_.clear();
        comment_ = true;
        return true;
    };
    if (c_ != CPart::None) {
        return CWord(word);
    }
    if (phase_ == Phase::Start && wordAtColumn1_ && (word == "#define" || word == "static")) {
        c_ = word == "static" ? CPart::Declaration : CPart::DefineName;
        cName_.clear();
        return EmitLabel();
    }
    switch (phase_) {
        case Phase::Start:
            if (wordAtColumn1_ && (colon || !IsDirective(word)) && !IsEquate(word)) {
                if (!IsValidLabel(word)) {
                    return Fail(
                        "expected a label of letters, digits and _ (not starting with a "
                        "digit) at column 1, or a directive, not '" +
                        Printable(word) + "'");
                }
                phase_ = Phase::AfterLabel;
                const bool handed = EmitLabel();
                pendingLabel_ = word;
                labelLine_ = line_;
                return handed;
            }
            [[fallthrough]];
        case Phase::AfterLabel:
            if (IsEquate(word) || (IsWordDirective(word) && !events_.TakesWords(pendingLabel_))) {
                return skipLine();
            }
            if (!EmitLabel()) {
                return false;
            }
            if (!IsDirective(word) && !IsWordDirective(word)) {
                return Fail("expected a directive (.db, db, .byte, !byte, defb, dc.b, fcb), not '" +
                            Printable(word) + "'");
            }
            phase_ = Phase::AfterDirective;
            return call(events_.BeginValues());
        case Phase::AfterDirective:
        case Phase::Value: {
            std::uint64_t value = 0;
            if (!ParseNumber(word, value)) {
                return Fail("expected a number (%101, 0b101, 101b, $FF, 0xFF, 0FFh or 255), not '" +
                            Printable(word) + "'");
            }
            if (value > 0xFFFFFFFFU) {
                return Fail("expected a number below 2^32, not '" + Printable(word) + "'");
            }
            phase_ = Phase::AfterValue;
            return call(events_.Value(static_cast<std::uint32_t>(value)));
        }
        case Phase::AfterValue:
            return Fail("expected ',' between numbers, not '" + Printable(word) + "'");
        case Phase::Done:
            break;
    }
    return false;
}

bool TextReader::CWord(std::string_view word) {
    const auto call = [this](std::string result) {
        return result.empty() || Fail(std::move(result));
    };
    switch (c_) {
        case CPart::DefineName:
            cName_ = word;
            c_ = CPart::DefineValue;
            return true;
        case CPart::DefineValue: {
            // NAME_WIDTH and NAME_HEIGHT (NAME_width, NAME_height) size the array NAME.
            std::uint64_t value = 0;
            const std::size_t side = cName_.rfind('_');
            const std::string_view suffix =
                side == std::string::npos ? "" : std::string_view(cName_).substr(side + 1);
            const int which = IsOneOf(suffix, {"width"}) ? 0 : IsOneOf(suffix, {"height"}) ? 1 : -1;
            if (which >= 0 && ParseNumber(word, value) && value <= 0xFFFFFFFFU) {
                if (sizeName_ != cName_.substr(0, side)) {
                    sized_[0] = sized_[1] = false;
                    sizeName_ = cName_.substr(0, side);
                }
                size_[which] = static_cast<std::uint32_t>(value);
                sized_[which] = true;
            }
            c_ = CPart::None;
            comment_ = true;  // the rest of the line is the definition's
            return true;
        }
        case CPart::Declaration:
            if (word.find('*') != std::string_view::npos) {
                c_ = CPart::Pointers;
            } else if (const std::size_t bracket = word.find('[');
                       bracket != std::string_view::npos) {
                cName_ = word.substr(0, bracket);
            } else if (word == "{") {
                // An X BitMap's NAME_bits is the image NAME.
                std::string name = cName_;
                if (name.size() > 5 && name.ends_with("_bits")) {
                    name.resize(name.size() - 5);
                }
                if (!IsValidLabel(name)) {
                    return Fail("expected an array's name before '{'");
                }
                c_ = CPart::Values;
                labelLine_ = line_;
                if (!call(events_.Label(name))) {
                    return false;
                }
                return !(sized_[0] && sized_[1] && sizeName_ == name) ||
                       call(events_.Size(size_[0], size_[1]));
            }
            return true;
        case CPart::Values: {
            if (word == "}") {
                c_ = CPart::None;
                const bool open = cLine_;
                cLine_ = false;
                return !open || call(events_.EndValues());
            }
            std::uint64_t value = 0;
            if (!ParseNumber(word, value) || value > 0xFFFFFFFFU) {
                return Fail("expected a number (0xFF or 255) or '}', not '" + std::string(word) +
                            "'");
            }
            if (!cLine_) {
                cLine_ = true;
                if (!call(events_.BeginValues())) {
                    return false;
                }
            }
            return call(events_.Value(static_cast<std::uint32_t>(value)));
        }
        case CPart::Pointers:
            c_ = word == "}" ? CPart::None : c_;
            return true;
        case CPart::None:
            break;
    }
    return true;
}

bool TextReader::EmitLabel() {
    if (pendingLabel_.empty()) {
        return true;
    }
    std::string result = events_.Label(pendingLabel_);
    pendingLabel_.clear();
    if (result.empty()) {
        return true;
    }
    line_ = labelLine_;  // what the label ends or begins is said at its line
    return Fail(std::move(result));
}

bool TextReader::EndLine() {
    comment_ = false;
    if (c_ == CPart::Values || c_ == CPart::Declaration || c_ == CPart::Pointers) {
        // An array goes on over lines: each line of numbers is a line of the layout.
        const bool open = c_ == CPart::Values && cLine_;
        cLine_ = false;
        std::string result = open ? events_.EndValues() : std::string();
        return result.empty() || Fail(std::move(result));
    }
    c_ = CPart::None;  // a #define ends with its line
    const Phase phase = phase_;
    phase_ = Phase::Start;
    switch (phase) {
        case Phase::AfterDirective:
            return Fail("expected numbers after the directive");
        case Phase::Value:
            return Fail("expected a number after ','");
        case Phase::AfterValue: {
            std::string result = events_.EndValues();
            return result.empty() || Fail(std::move(result));
        }
        case Phase::Done:
            phase_ = Phase::Done;
            return false;
        default:
            return true;
    }
}

}  // namespace rastelle
