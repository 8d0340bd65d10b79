#pragma once

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "common/Limits.h"
#include "image/ImageSource.h"

namespace rastelle::cli {

// A file's bytes refused for `message`.
inline FileBytes Refuse(DecodeErrorKind kind, std::string message) {
    FileBytes refused;
    refused.error = MakeError(kind, std::move(message));
    return refused;
}

// Reads a stream of unknown length, such as standard input, to its end under the cap for
// files; one byte beyond the cap shows there is more. An `image` is refused as soon as its
// first bytes start no format. `read(data, size, count, reason)` reads at most `size` bytes
// into `data`, sets `count` (0 at the end) and says false, with `reason`, on an error.
template <typename Read>
FileBytes ReadToEnd(Read read, bool image) {
    constexpr std::size_t kLimit = limits::kMaxFileBytes + 1;
    constexpr std::size_t kPiece = 64 * 1024;
    // The bytes are gathered in chunks and joined at the end, each chunk freed once copied:
    // a buffer that grew by doubling held its old and new copies at once, near twice the cap.
    constexpr std::size_t kChunk = std::size_t{64} << 20;
    try {
        std::vector<std::vector<std::uint8_t>> chunks;
        std::vector<std::uint8_t> piece(kPiece);
        std::size_t done = 0;
        bool checked = !image;
        for (;;) {
            std::size_t count = 0;
            std::string reason;
            if (!read(piece.data(), std::min(kPiece, kLimit - done), count, reason)) {
                return Refuse(DecodeErrorKind::Unreadable, reason);
            }
            if (count == 0) {
                break;
            }
            for (std::size_t taken = 0; taken < count;) {
                if (chunks.empty() || chunks.back().size() == kChunk) {
                    chunks.emplace_back().reserve(kChunk);
                }
                std::vector<std::uint8_t>& chunk = chunks.back();
                const std::size_t part = std::min(count - taken, kChunk - chunk.size());
                chunk.insert(chunk.end(), piece.begin() + static_cast<std::ptrdiff_t>(taken),
                             piece.begin() + static_cast<std::ptrdiff_t>(taken + part));
                taken += part;
            }
            done += count;
            if (!checked && done >= kImageHeadBytes) {
                checked = true;
                if (DecodeError error = HeadError(chunks.front());
                    error.kind != DecodeErrorKind::None) {
                    FileBytes refused;
                    refused.error = std::move(error);
                    return refused;
                }
            }
            if (done == kLimit) {
                return Refuse(
                    DecodeErrorKind::TooLarge,
                    "more than the cap of " + std::to_string(limits::kMaxFileBytes) + " bytes");
            }
        }
        FileBytes result;
        if (chunks.size() == 1) {
            result.bytes = std::move(chunks.front());  // its room beyond is never touched
        } else {
            result.bytes.reserve(done);
            for (std::vector<std::uint8_t>& chunk : chunks) {
                result.bytes.insert(result.bytes.end(), chunk.begin(), chunk.end());
                std::vector<std::uint8_t>().swap(chunk);
            }
        }
        return result;
    } catch (const std::bad_alloc&) {
        return Refuse(DecodeErrorKind::TooLarge, "not enough memory to read it");
    }
}

}  // namespace rastelle::cli
