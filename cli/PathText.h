#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "common/DecodeError.h"

namespace rastelle::cli {

// A path from the command line's UTF-8 text, and back for messages and labels. On Windows
// the plain std::string forms would take each byte for a character of its own.
inline std::filesystem::path PathFromText(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

// How messages name a file: a name may hold any byte but '/' and NUL.
inline std::string PrintablePath(const std::filesystem::path& path) {
    return Printable(PathText(path));
}

// How messages name an input, a file or standard input ("-").
inline std::string Shown(const std::filesystem::path& input) {
    return input == "-" ? "standard input" : PrintablePath(input);
}

}  // namespace rastelle::cli
