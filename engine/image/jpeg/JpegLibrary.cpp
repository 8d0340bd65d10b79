#include "image/jpeg/JpegLibrary.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

// clang-format off: jpeglib.h needs FILE and size_t first
#include <jerror.h>
#include <jpeglib.h>
// clang-format on

namespace rastelle::jpeg {
namespace {

// Each scan of a progressive image is a pass over all of its coefficients: a small file of
// thousands of scans would keep the decoder busy for hours. The limit TurboJPEG sets.
constexpr int kMaxScans = 500;
constexpr int kApp1 = JPEG_APP0 + 1;
constexpr std::size_t kExifSignature = 6;  // "Exif\0\0"

struct ErrorManager {
    jpeg_error_mgr library;  // first: the library's pointer to it is also a pointer to us
    std::jmp_buf jump;
    int code;
    char message[JMSG_LENGTH_MAX];
};

ErrorManager& ErrorsOf(j_common_ptr info) {
    return *reinterpret_cast<ErrorManager*>(info->err);
}

[[noreturn]] void Fail(j_common_ptr info) {
    ErrorManager& errors = ErrorsOf(info);
    errors.code = info->err->msg_code;
    info->err->format_message(info, errors.message);
    std::longjmp(errors.jump, 1);
}

// A warning is corrupt data the library would paint over (grey rows after a truncation,
// blocks after a bad code): such a file is refused as a broken one is. Traces are dropped.
void Message(j_common_ptr info, int level) {
    if (level < 0) {
        Fail(info);
    }
}

void CountScans(j_common_ptr info) {
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans) {
        ErrorManager& errors = ErrorsOf(info);
        errors.code = -1;
        std::snprintf(errors.message, sizeof errors.message, "more than %d scans", kMaxScans);
        std::longjmp(errors.jump, 1);
    }
}

// The library leaves a failing call by longjmp to here. The only frames it skips are the
// step's and the library's own: neither holds an object with a destructor.
using Step = void (*)(j_decompress_ptr, void*);
bool Guarded(j_decompress_ptr info, Step step, void* context) {
    if (setjmp(ErrorsOf(reinterpret_cast<j_common_ptr>(info)).jump) != 0) {
        return false;
    }
    step(info, context);
    return true;
}

}  // namespace

struct Decompressor::State {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    jpeg_progress_mgr progress{};
    std::span<const std::uint8_t> file;
    std::uint64_t memoryLimit = 0;
    int samplesPerPixel = 0;
    DecodeError error;  // once failed, the library's state is only good for destroying
    std::vector<JSAMPROW> rows;

    bool Run(Step step, void* context = nullptr) {
        if (error.kind != DecodeErrorKind::None) {
            return false;
        }
        if (Guarded(&info, step, context)) {
            return true;
        }
        error = Describe();
        return false;
    }

    DecodeError Describe() const {
        switch (errors.code) {
            case JWRN_JPEG_EOF:
            case JERR_INPUT_EOF:
            case JERR_INPUT_EMPTY:
                return MakeError(DecodeErrorKind::Truncated,
                                 "bad JPEG file (" + std::string(errors.message) + ")");
            case JERR_OUT_OF_MEMORY:
            case JERR_NO_BACKING_STORE: {
                constexpr std::uint64_t kMiB = 1024 * 1024;
                return MakeError(DecodeErrorKind::TooLarge,
                                 "decoding needs more than " +
                                     std::to_string((memoryLimit + kMiB - 1) / kMiB) +
                                     " MiB, the cap for this image");
            }
            default:
                return MakeError(DecodeErrorKind::Invalid,
                                 "bad JPEG file (" + std::string(errors.message) + ")");
        }
    }
};

Decompressor::Decompressor(std::span<const std::uint8_t> file) : state_(std::make_unique<State>()) {
    state_->file = file;
    state_->info.err = jpeg_std_error(&state_->errors.library);
    state_->errors.library.error_exit = Fail;
    state_->errors.library.emit_message = Message;
    state_->Run([](j_decompress_ptr info, void*) { jpeg_create_decompress(info); });
    // Creating clears everything but the error manager.
    state_->progress.progress_monitor = CountScans;
    state_->info.progress = &state_->progress;
}

Decompressor::~Decompressor() {
    jpeg_destroy_decompress(&state_->info);
}

Decoded<Header> Decompressor::ReadHeader() {
    const bool read = state_->Run(
        [](j_decompress_ptr info, void* context) {
            const auto file = *static_cast<std::span<const std::uint8_t>*>(context);
            jpeg_mem_src(info, file.data(), static_cast<unsigned long>(file.size()));
            jpeg_save_markers(info, kApp1, 0xFFFF);
            jpeg_read_header(info, TRUE);
        },
        &state_->file);
    if (!read) {
        return state_->error;
    }
    jpeg_decompress_struct& info = state_->info;
    Header header;
    header.width = info.image_width;
    header.height = info.image_height;
    switch (info.jpeg_color_space) {
        case JCS_GRAYSCALE:
            info.out_color_space = JCS_GRAYSCALE;
            header.model = ColourModel::Grey;
            header.samplesPerPixel = 1;
            break;
        case JCS_YCbCr:
        case JCS_RGB:
            info.out_color_space = JCS_RGB;
            break;
        case JCS_CMYK:
        case JCS_YCCK:  // the library turns it into CMYK
            info.out_color_space = JCS_CMYK;
            header.model = info.saw_Adobe_marker ? ColourModel::InvertedCmyk : ColourModel::Cmyk;
            header.samplesPerPixel = 4;
            break;
        default:
            return MakeError(DecodeErrorKind::Unsupported,
                             "JPEG with " + std::to_string(info.num_components) +
                                 " colour components of no known colour space");
    }
    state_->samplesPerPixel = header.samplesPerPixel;
    return header;
}

std::span<const std::uint8_t> Decompressor::Exif() const {
    for (jpeg_saved_marker_ptr marker = state_->info.marker_list; marker != nullptr;
         marker = marker->next) {
        if (marker->marker == kApp1 && marker->data_length >= kExifSignature &&
            std::memcmp(marker->data, "Exif\0\0", kExifSignature) == 0) {
            return {marker->data + kExifSignature, marker->data_length - kExifSignature};
        }
    }
    return {};
}

Decoded<int> Decompressor::Start(std::uint64_t memoryLimit) {
    state_->memoryLimit = memoryLimit;
    state_->info.mem->max_memory_to_use = static_cast<long>(memoryLimit);
    if (!state_->Run([](j_decompress_ptr info, void*) { jpeg_start_decompress(info); })) {
        return state_->error;
    }
    // Our row buffers are sized from the header: never let the library write beyond them.
    const jpeg_decompress_struct& info = state_->info;
    if (info.output_width != info.image_width || info.output_height != info.image_height ||
        info.output_components != state_->samplesPerPixel) {
        return MakeError(DecodeErrorKind::Invalid, "the decoder's image differs from the header");
    }
    const int rows = info.rec_outbuf_height;
    state_->rows.resize(static_cast<std::size_t>(rows));
    return rows;
}

Decoded<int> Decompressor::ReadRows(std::span<std::uint8_t> samples) {
    jpeg_decompress_struct& info = state_->info;
    const std::size_t rowBytes =
        std::size_t{info.output_width} * static_cast<std::size_t>(info.output_components);
    for (std::size_t row = 0; row < state_->rows.size(); ++row) {
        state_->rows[row] = samples.data() + row * rowBytes;
    }
    struct Reading {
        JSAMPARRAY rows;
        JDIMENSION count;
        JDIMENSION read;
    } reading{state_->rows.data(), static_cast<JDIMENSION>(state_->rows.size()), 0};
    const bool read = state_->Run(
        [](j_decompress_ptr decompress, void* context) {
            auto& rows = *static_cast<Reading*>(context);
            rows.read = jpeg_read_scanlines(decompress, rows.rows, rows.count);
        },
        &reading);
    if (!read) {
        return state_->error;
    }
    return static_cast<int>(reading.read);
}

}  // namespace rastelle::jpeg
