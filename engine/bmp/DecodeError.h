#pragma once

#include <optional>
#include <string>
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

inline DecodeError MakeError(DecodeErrorKind kind, std::string message) {
    return DecodeError{kind, std::move(message)};
}

}  // namespace rastelle
