#pragma once

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>

#include "ImageSource.h"
#include "bmp/BmpLimits.h"

namespace rastelle::cli {

// A file's bytes refused for `message`.
inline FileBytes Refuse(DecodeErrorKind kind, std::string message) {
    FileBytes refused;
    refused.error = MakeError(kind, std::move(message));
    return refused;
}

// Reads a stream of unknown length, such as standard input, to its end under the cap for
// files: the buffer grows as the data comes, and one byte beyond the cap shows there is more.
// `read(data, size, count, reason)` reads at most `size` bytes into `data`, sets `count` (0 at
// the end) and says false, with `reason`, on an error.
template <typename Read>
FileBytes ReadToEnd(Read read) {
    FileBytes result;
    std::size_t done = 0;
    constexpr std::size_t kLimit = limits::kMaxFileBytes + 1;
    bool ended = false;
    while (!ended && done < kLimit) {
        if (done == result.bytes.size()) {
            try {
                result.bytes.resize(std::min(kLimit, std::max<std::size_t>(done * 2, 64 * 1024)));
            } catch (const std::bad_alloc&) {
                return Refuse(DecodeErrorKind::TooLarge, "not enough memory to read it");
            }
        }
        std::size_t count = 0;
        std::string reason;
        if (!read(result.bytes.data() + done, result.bytes.size() - done, count, reason)) {
            return Refuse(DecodeErrorKind::Unreadable, reason);
        }
        ended = count == 0;
        done += count;
    }
    if (done == kLimit) {
        return Refuse(DecodeErrorKind::TooLarge,
                      "more than the cap of " + std::to_string(limits::kMaxFileBytes) + " bytes");
    }
    result.bytes.resize(done);
    return result;
}

}  // namespace rastelle::cli
