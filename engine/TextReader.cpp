#include "TextReader.h"

#include <array>
#include <utility>

#include "AssemblerSyntax.h"
#include "bmp/DecodeError.h"

namespace rastelle {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsDirective(std::string_view word) {
    constexpr std::array<std::string_view, 12> kDirectives{"db",   ".db",   "defb",  ".defb",
                                                           "byte", ".byte", "!byte", "!by",
                                                           "dc.b", ".dc.b", "fcb",   ".fcb"};
    if (word.size() > 5) {
        return false;
    }
    std::string lower;
    for (const char c : word) {
        lower += Lower(c);
    }
    for (const std::string_view directive : kDirectives) {
        if (lower == directive) {
            return true;
        }
    }
    return false;
}

int DigitValue(char c) {
    c = Lower(c);
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
        return word.size() > prefix.size() && Lower(word[0]) == prefix[0] &&
               (prefix.size() == 1 || Lower(word[1]) == prefix[1]);
    };
    const char last = word.empty() ? '\0' : Lower(word.back());
    int base = 10;
    // A suffix 'h' wins over a prefix "0b": 0bh is eleven.
    if (startsWith("%") || startsWith("$") || startsWith("0x") ||
        (startsWith("0b") && last != 'h')) {
        base = word[0] == '%' || Lower(word[1]) == 'b' ? 2 : 16;
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
    if (slash_) {
        slash_ = false;
        if (c != '/') {
            return Fail("expected '//' to start a comment, or no '/'");
        }
        comment_ = true;
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
    if (slash_) {
        return Fail("expected '//' to start a comment, or no '/'");
    }
    return EndWord() && EndLine();
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
    switch (phase_) {
        case Phase::Start:
            if (wordAtColumn1_ && (colon || !IsDirective(word))) {
                if (!IsValidLabel(word)) {
                    return Fail(
                        "expected a label of letters, digits and _ (not starting with a "
                        "digit) at column 1, or a directive, not '" +
                        Printable(word) + "'");
                }
                phase_ = Phase::AfterLabel;
                return call(events_.Label(word));
            }
            [[fallthrough]];
        case Phase::AfterLabel:
            if (!IsDirective(word)) {
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

bool TextReader::EndLine() {
    comment_ = false;
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
