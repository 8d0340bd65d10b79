// The library's implementation is compiled here and only here. Its header comes from the
// system package as a system include, so its own code is exempt from our warnings while
// ours below keeps them.
#include "image/stb/StbLibrary.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "common/Limits.h"

namespace rastelle::stb {
namespace {

// Every block the library allocates carries its size in front, so that what it holds can be
// capped: across the process by limits::kMaxLibraryBytes (a 32-bit address space is small),
// and within one call by what an image of its size needs, so that a small image whose data
// inflates without end is stopped early.
constexpr std::size_t kBlockHeader = alignof(std::max_align_t) > sizeof(std::size_t)
                                         ? alignof(std::max_align_t)
                                         : sizeof(std::size_t);
std::atomic<std::uint64_t> liveBytes{0};
thread_local std::int64_t callBytes = 0;
thread_local std::uint64_t callBudget = 0;
thread_local bool overBudget = false;

bool Reserve(std::uint64_t bytes) {
    if (callBytes + static_cast<std::int64_t>(bytes) > static_cast<std::int64_t>(callBudget)) {
        overBudget = true;
        return false;
    }
    std::uint64_t current = liveBytes.load();
    do {
        if (bytes > limits::kMaxLibraryBytes - current) {
            overBudget = true;
            return false;
        }
    } while (!liveBytes.compare_exchange_weak(current, current + bytes));
    callBytes += static_cast<std::int64_t>(bytes);
    return true;
}

void Unreserve(std::uint64_t bytes) {
    liveBytes -= bytes;
    callBytes -= static_cast<std::int64_t>(bytes);
}

std::size_t SizeOf(unsigned char* block) {
    std::size_t size = 0;
    std::memcpy(&size, block, sizeof size);
    return size;
}

void* Allocate(std::size_t size) {
    if (!Reserve(size)) {
        return nullptr;
    }
    auto* block = static_cast<unsigned char*>(std::malloc(size + kBlockHeader));
    if (block == nullptr) {
        Unreserve(size);
        return nullptr;
    }
    std::memcpy(block, &size, sizeof size);
    return block + kBlockHeader;
}

void Release(void* pointer) {
    if (pointer != nullptr) {
        unsigned char* block = static_cast<unsigned char*>(pointer) - kBlockHeader;
        Unreserve(SizeOf(block));
        std::free(block);
    }
}

void* Reallocate(void* pointer, std::size_t size) {
    if (pointer == nullptr) {
        return Allocate(size);
    }
    unsigned char* block = static_cast<unsigned char*>(pointer) - kBlockHeader;
    const std::size_t old = SizeOf(block);
    if (size > old && !Reserve(size - old)) {
        return nullptr;
    }
    auto* grown = static_cast<unsigned char*>(std::realloc(block, size + kBlockHeader));
    if (grown == nullptr) {
        if (size > old) {
            Unreserve(size - old);
        }
        return nullptr;
    }
    if (size < old) {
        Unreserve(old - size);
    }
    std::memcpy(grown, &size, sizeof size);
    return grown + kBlockHeader;
}

}  // namespace
}  // namespace rastelle::stb

#define STBI_MALLOC(size) ::rastelle::stb::Allocate(size)
#define STBI_REALLOC(pointer, size) ::rastelle::stb::Reallocate(pointer, size)
#define STBI_FREE(pointer) ::rastelle::stb::Release(pointer)
// Memory only; not the formats whose colour rules are ours to keep (BMP is our own decoder;
// HDR and PIC would bring gamma and floats), nor JPEG (see Hazard below).
#define STBI_NO_STDIO
#define STBI_NO_JPEG
#define STBI_NO_BMP
#define STBI_NO_HDR
#define STBI_NO_PIC
#define STBI_NO_LINEAR
#define STB_IMAGE_IMPLEMENTATION
// The library casts what our allocation macros return; the compiler places those casts here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
#include <stb_image.h>
#pragma GCC diagnostic pop

namespace rastelle::stb {
namespace {

// What a call may hold: the compressed data, every decoding stage of the worst format (a
// 16-bit RGBA PNG needs 20 bytes a pixel) and some room for small images' tables.
void StartCall(std::uint64_t pixels, std::size_t fileSize) {
    constexpr std::uint64_t kBytesPerPixel = 24;
    constexpr std::uint64_t kSlack = 1024 * 1024;
    overBudget = false;
    callBytes = 0;
    callBudget = kBytesPerPixel * pixels + fileSize + kSlack;
    stbi__g_failure_reason = nullptr;
}

// A start-of-image marker, after any number of 0xFF fill bytes.
bool IsJpeg(std::span<const std::uint8_t> file) {
    std::size_t at = 0;
    while (at < file.size() && file[at] == 0xFF) {
        ++at;
    }
    return at > 0 && at < file.size() && file[at] == 0xD8;
}

struct Format {
    std::string_view name;
    int (*info)(stbi__context*, int*, int*, int*);  // null: no signature, ask every format
};

Format FormatOf(std::span<const std::uint8_t> file) {
    const auto startsWith = [&file](std::string_view signature) {
        return file.size() >= signature.size() &&
               std::memcmp(file.data(), signature.data(), signature.size()) == 0;
    };
    if (startsWith("\x89PNG")) {
        return {"PNG", stbi__png_info};
    }
    if (startsWith("GIF8")) {
        return {"GIF", stbi__gif_info};
    }
    if (IsJpeg(file)) {
        return {"JPEG", nullptr};
    }
    if (startsWith("8BPS")) {
        return {"PSD", stbi__psd_info};
    }
    if (startsWith("P5") || startsWith("P6")) {
        return {"PNM", stbi__pnm_info};
    }
    return {"TGA", nullptr};
}

// Files on which the library would read or write out of bounds, refused before it sees them.
// Its JPEG decoder writes past a Huffman table of more than 256 codes and reads far outside
// one whose codes contradict each other: JPEG is left out.
DecodeError Hazard(std::span<const std::uint8_t> file) {
    const std::string_view format = FormatOf(file).name;
    if (format == "PNM") {  // our own decoder reads them; the library's int would overflow
        return MakeError(DecodeErrorKind::Unsupported, "PNM files go to the PNM decoder");
    }
    if (format == "JPEG") {
        return MakeError(DecodeErrorKind::Unsupported,
                         "JPEG files are not read (this decoder is unsafe on damaged ones)");
    }
    return {};
}

DecodeError LibraryError(std::span<const std::uint8_t> file) {
    if (overBudget) {
        constexpr std::uint64_t kMiB = 1024 * 1024;
        const std::uint64_t cap = std::min(callBudget, limits::kMaxLibraryBytes);
        // Cut, not rounded up: it needs more than what is said.
        const std::uint64_t tenths = cap * 10 / kMiB;
        return MakeError(DecodeErrorKind::TooLarge,
                         "decoding needs more than " + std::to_string(tenths / 10) + "." +
                             std::to_string(tenths % 10) + " MiB, the cap for this image");
    }
    const char* reason = stbi_failure_reason();
    const std::string_view why = reason != nullptr && *reason != '\0' ? reason : "corrupt data";
    const DecodeErrorKind kind = why == "too large"   ? DecodeErrorKind::TooLarge
                                 : why == "outofdata" ? DecodeErrorKind::Truncated
                                                      : DecodeErrorKind::Invalid;
    // An unknown chunk's reason holds its type, four bytes of the file.
    return MakeError(kind,
                     "bad " + std::string(FormatOf(file).name) + " file (" + Printable(why) + ")");
}

int Length(std::span<const std::uint8_t> file) {
    return file.size() > INT_MAX ? INT_MAX : static_cast<int>(file.size());
}

}  // namespace

std::uint64_t PngDecodingBytes(std::span<const std::uint8_t> file) {
    constexpr std::size_t kIhdrEnd = 8 + 8 + 13;
    if (FormatOf(file).name != "PNG" || file.size() < kIhdrEnd) {
        return 0;
    }
    const auto number = [&file](std::size_t at) {
        return std::uint64_t{file[at]} << 24 | std::uint64_t{file[at + 1]} << 16 |
               std::uint64_t{file[at + 2]} << 8 | file[at + 3];
    };
    const std::uint64_t pixels = number(16) * number(20);
    const std::uint64_t depth = file[24];
    constexpr std::array<std::uint64_t, 7> kSamples{1, 0, 3, 1, 2, 0, 4};  // by colour type
    const std::uint64_t samples = file[25] < kSamples.size() ? kSamples[file[25]] : 0;
    // Rows of packed samples, each after a filter byte.
    const std::uint64_t inflated = number(20) * ((number(16) * samples * depth + 7) / 8 + 1);
    const std::uint64_t image = pixels * samples * (depth == 16 ? 2 : 1);
    const std::uint64_t palette = file[25] == 3 ? pixels * 4 : 0;  // indices to colours
    const std::uint64_t narrowed = depth == 16 ? image + pixels * samples : 0;  // 8-bit copy
    return std::max({file.size() + inflated, inflated + image, narrowed, image + palette});
}

Samples::~Samples() {
    Release(pixels_);
}

Info ReadInfo(std::span<const std::uint8_t> file) {
    StartCall(0, file.size());
    Info info;
    int width = 0;
    int height = 0;
    int components = 0;
    // A signature names the format, whose own reason is the one to give.
    const Format format = FormatOf(file);
    info.format = format.name;
    info.error = Hazard(file);
    if (info.error.kind != DecodeErrorKind::None) {
        return info;
    }
    // The library reads zeros past the end, and blames what it makes of them.
    constexpr std::size_t kPngHeaderEnd = 8 + 8 + 13 + 4;  // signature, IHDR chunk
    if (format.name == "PNG" && file.size() < kPngHeaderEnd) {
        info.error = MakeError(DecodeErrorKind::Truncated, "bad PNG file (truncated)");
        return info;
    }
    if (format.info != nullptr) {
        stbi__context context;
        stbi__start_mem(&context, file.data(), Length(file));
        if (format.info(&context, &width, &height, &components) == 0) {
            info.error = LibraryError(file);
            return info;
        }
    } else if (stbi_info_from_memory(file.data(), Length(file), &width, &height, &components) ==
               0) {
        info.error =
            MakeError(DecodeErrorKind::Invalid, "not a BMP, PNG, GIF, TGA, PNM or PSD file");
        return info;
    }
    info.width = width;
    info.height = height;
    return info;
}

Still DecodeStill(std::span<const std::uint8_t> file, std::uint64_t pixels) {
    Still still;
    still.error = Hazard(file);
    if (still.error.kind != DecodeErrorKind::None) {
        return still;
    }
    StartCall(pixels, file.size());
    int width = 0;
    int height = 0;
    int components = 0;
    still.pixels =
        Samples(stbi_load_from_memory(file.data(), Length(file), &width, &height, &components, 0));
    if (still.pixels.Data() == nullptr) {
        still.error = LibraryError(file);
        return still;
    }
    still.components = components;
    still.width = width;
    still.height = height;
    return still;
}

struct GifFrames::State {
    stbi__context context{};
    stbi__gif gif{};
    std::vector<std::uint8_t> before;  // the canvas before the latest frame was drawn
};

GifFrames::GifFrames(std::vector<std::uint8_t> file, std::uint64_t pixels)
    : file_(std::move(file)), pixels_(pixels) {
    // The library paints what the first frame leaves uncovered in the background colour;
    // browsers leave it transparent, and so do we: index 0 turns that off.
    constexpr std::size_t kBackgroundIndex = 11;
    if (file_.size() > kBackgroundIndex) {
        file_[kBackgroundIndex] = 0;
    }
    Restart();
}

GifFrames::~GifFrames() {
    Restart();
}

void GifFrames::Restart() {
    if (state_) {
        Release(state_->gif.out);
        Release(state_->gif.background);
        Release(state_->gif.history);
    }
    state_ = std::make_unique<State>();
    stbi__start_mem(&state_->context, file_.data(), Length(file_));
}

DecodeError GifFrames::Next() {
    StartCall(pixels_, file_.size());
    stbi__gif& gif = state_->gif;
    std::vector<std::uint8_t>& before = state_->before;
    if (gif.out != nullptr) {
        // Disposal is done here: the library's restores the wrong canvas for both kinds.
        const std::size_t pixels =
            static_cast<std::size_t>(gif.w) * static_cast<std::size_t>(gif.h);
        const int disposal = (gif.eflags >> 2) & 7;
        for (std::size_t pixel = 0; pixel < pixels; ++pixel) {
            if (gif.history[pixel] == 0) {
                continue;
            }
            if (disposal == 2) {
                std::memset(gif.out + pixel * 4, 0, 4);
            } else if (disposal == 3) {
                std::memcpy(gif.out + pixel * 4, before.data() + pixel * 4, 4);
            }
        }
        gif.eflags &= ~0x1C;
        before.assign(gif.out, gif.out + pixels * 4);
    }
    int components = 0;
    const stbi_uc* drawn = stbi__gif_load_next(&state_->context, &gif, &components, 4, nullptr);
    if (drawn == reinterpret_cast<const stbi_uc*>(&state_->context)) {
        return MakeError(DecodeErrorKind::Invalid, "the GIF has no more frames");
    }
    if (drawn == nullptr) {
        return LibraryError(file_);
    }
    if (before.empty()) {
        before.assign(static_cast<std::size_t>(gif.w) * static_cast<std::size_t>(gif.h) * 4, 0);
    }
    return {};
}

const std::uint8_t* GifFrames::Canvas() const {
    return state_->gif.out;
}

std::int64_t GifFrames::Width() const {
    return state_->gif.w;
}

std::int64_t GifFrames::Height() const {
    return state_->gif.h;
}

}  // namespace rastelle::stb
