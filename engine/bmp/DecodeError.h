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

// Bytes below 0x20 and 0x7F as \xHH: a file's bytes in a message can then neither steer the
// terminal nor split the line.
inline std::string Printable(std::string_view text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            constexpr char kHex[] = "0123456789abcdef";
            shown += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
        } else {
            shown += c;
        }
    }
    return shown;
}

inline DecodeError MakeError(DecodeErrorKind kind, std::string message) {
    return DecodeError{kind, std::move(message)};
}

}  // namespace rastelle
