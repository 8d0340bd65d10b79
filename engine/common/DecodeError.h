#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace rastelle {

enum class DecodeErrorKind {
    None,         // no error
    Invalid,      // the file contradicts itself or the format
    Unsupported,  // a valid BMP variant this program does not convert
    Truncated,    // the file ends before the data it announces
    TooLarge,     // beyond one of the caps in BmpLimits.h
    Unreadable,   // the file could not be found or read
};

struct DecodeError {
    DecodeErrorKind kind = DecodeErrorKind::None;
    std::string message;
};

// Either a value or the reason there is none.
template <typename T>
class Decoded {
  public:
    Decoded(T value) : value_(std::move(value)) {}
    Decoded(DecodeError error) : error_(std::move(error)) {}

    bool ok() const { return value_.has_value(); }
    T& value() { return *value_; }
    const T& value() const { return *value_; }
    const DecodeError& error() const { return error_; }

  private:
    std::optional<T> value_;
    DecodeError error_;
};

// The length of the UTF-8 sequence that `text` starts with, 0 when it starts with none.
inline std::size_t Utf8Length(std::string_view text) {
    const auto at = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = at(0);
    const std::size_t length = lead < 0x80   ? 1
                               : lead < 0xC2 ? 0
                               : lead < 0xE0 ? 2
                               : lead < 0xF0 ? 3
                               : lead < 0xF5 ? 4
                                             : 0;
    if (length == 0 || length > text.size()) {
        return 0;
    }
    // The second byte's range rules out overlong forms, surrogates and code points past U+10FFFF.
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    for (std::size_t i = 1; i < length; ++i) {
        if (at(i) < (i == 1 ? low : 0x80) || at(i) > (i == 1 ? high : 0xBF)) {
            return 0;
        }
    }
    return length;
}

// Bytes below 0x20, 0x7F and bytes that are no UTF-8 as \xHH: a file's bytes in a message can
// then neither steer the terminal nor split the line, and the message stays UTF-8.
inline std::string Printable(std::string_view text) {
    std::string shown;
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text[0]);
        const std::size_t length = Utf8Length(text);
        if (length == 0 || byte < 0x20 || byte == 0x7F) {
            constexpr char kHex[] = "0123456789abcdef";
            shown += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
            text.remove_prefix(1);
        } else {
            shown += text.substr(0, length);
            text.remove_prefix(length);
        }
    }
    return shown;
}

inline DecodeError MakeError(DecodeErrorKind kind, std::string message) {
    return DecodeError{kind, std::move(message)};
}

}  // namespace rastelle
