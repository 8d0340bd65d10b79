#pragma once

#include <string>

namespace rastelle {

// Assemblers, labels and file extensions compare letters without case only in ASCII: the
// locale's idea of case plays no part in the text.
constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string AsciiLower(std::string text) {
    for (char& c : text) {
        c = AsciiLower(c);
    }
    return text;
}

}  // namespace rastelle
