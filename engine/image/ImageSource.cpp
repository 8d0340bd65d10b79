#include "image/ImageSource.h"

#include <fstream>
#include <new>
#include <string>
#include <system_error>

#include "common/Limits.h"
#include "image/stb/StbLibrary.h"

namespace rastelle {

namespace {

DecodeError Unreadable(std::string message) {
    return MakeError(DecodeErrorKind::Unreadable, std::move(message));
}

// Keeps a decoded image in `held` as the one to read, or gives the decoder's refusal.
template <typename Image>
DecodeError Keep(Decoded<Image> decoded, std::unique_ptr<Image>& held, const PixelSource*& image) {
    if (!decoded.ok()) {
        return decoded.error();
    }
    try {
        held = std::make_unique<Image>(std::move(decoded.value()));
    } catch (const std::bad_alloc&) {
        return MakeError(DecodeErrorKind::TooLarge, "not enough memory for the image");
    }
    image = held.get();
    return {};
}

struct Attempt {
    bool missing = false;
    DecodeError error;
};

Attempt Load(ImageSource& source, const std::filesystem::path& path, const FileReader& read) {
    Attempt attempt;
    FileBytes file = read(path);
    if (file.error.kind != DecodeErrorKind::None) {
        attempt.missing = file.missing;
        attempt.error = std::move(file.error);
        return attempt;
    }
    attempt.error = source.OpenBytes(std::move(file.bytes));
    return attempt;
}

}  // namespace

DecodeError HeadError(std::span<const std::uint8_t> head) {
    if (head.size() < kImageHeadBytes || (head[0] == 'B' && head[1] == 'M') || IsJpeg(head) ||
        IsPnm(head)) {
        return {};
    }
    // A format's signature leaves the judging to the whole file; bytes of none are asked of
    // every format, TGA's header last, which is all there is to judge.
    const stb::Info info = stb::ReadInfo(head);
    return info.format == "TGA" ? info.error : DecodeError{};
}

DecodeError ImageSource::OpenBytes(std::vector<std::uint8_t> bytes) {
    Close();
    if (bytes.empty()) {
        return MakeError(DecodeErrorKind::Invalid, "empty file");
    }
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
        return Keep(DecodeBmp(std::move(bytes)), bmp_, image_);
    }
    if (IsPnm(bytes)) {
        return Keep(PnmImage::Decode(bytes), pnm_, image_);
    }
    if (IsJpeg(bytes)) {
        auto decoded = JpegImage::Decode(bytes);
        if (!decoded.ok()) {
            return decoded.error();
        }
        jpeg_ = std::move(decoded.value());
        image_ = jpeg_.get();
        return {};
    }
    auto decoded = StbImage::Decode(std::move(bytes));
    if (!decoded.ok()) {
        return decoded.error();
    }
    stb_ = std::move(decoded.value());
    image_ = stb_.get();
    return {};
}

std::int32_t ImageSource::FrameCount() const {
    if (stb_) {
        return stb_->FrameCount();
    }
    return image_ != nullptr ? 1 : 0;
}

DecodeError ImageSource::SelectFrame(std::int32_t index) {
    if (stb_) {
        return stb_->SelectFrame(index);
    }
    if (image_ != nullptr && index == 0) {
        return {};
    }
    return MakeError(
        DecodeErrorKind::Invalid,
        "no frame " + std::to_string(index) + ": the image has " + std::to_string(FrameCount()));
}

FileBytes MakeRoomForFile(std::uint64_t size) {
    FileBytes result;
    if (size > limits::kMaxFileBytes) {
        result.error =
            MakeError(DecodeErrorKind::TooLarge, "file of " + std::to_string(size) +
                                                     " bytes is larger than the cap of " +
                                                     std::to_string(limits::kMaxFileBytes));
        return result;
    }
    try {
        result.bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        result.error = MakeError(DecodeErrorKind::TooLarge, "not enough memory to read the file");
    }
    return result;
}

FileBytes ReadFileBytes(const std::filesystem::path& path) {
    FileBytes result;
    std::error_code code;
    const auto status = std::filesystem::status(path, code);
    if (status.type() == std::filesystem::file_type::not_found) {
        result.missing = true;
        result.error = Unreadable("no such file");
        return result;
    }
    if (code) {
        result.error = Unreadable("cannot read the file: " + code.message());
        return result;
    }
    if (std::filesystem::is_directory(status)) {
        result.error = Unreadable("it is a folder, not a file");
        return result;
    }
    // Devices and pipes could block or never end.
    if (!std::filesystem::is_regular_file(status)) {
        result.error = Unreadable("not a regular file");
        return result;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, code);
    if (code) {
        result.error = Unreadable("cannot read the file: " + code.message());
        return result;
    }
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        result.error = Unreadable("cannot open the file for reading");
        return result;
    }
    result = MakeRoomForFile(size);
    if (result.error.kind != DecodeErrorKind::None) {
        return result;
    }
    stream.read(reinterpret_cast<char*>(result.bytes.data()),
                static_cast<std::streamsize>(result.bytes.size()));
    // A file that changed size under us is read as far as it goes.
    result.bytes.resize(static_cast<std::size_t>(stream.gcount()));
    if (stream.bad()) {
        result.bytes = {};
        result.error = Unreadable("reading the file failed");
    }
    return result;
}

ImageSource::OpenResult ImageSource::Open(const std::filesystem::path& path,
                                          const FileReader& read) {
    Close();
    OpenResult result;
    Attempt typed = Load(*this, path, read);
    if (IsOpen()) {
        result.opened = true;
        return result;
    }
    auto completed = path;
    completed += ".bmp";
    Attempt second = Load(*this, completed, read);
    if (IsOpen()) {
        result.opened = true;
        result.completedPath = true;
        if (!typed.missing) {
            result.typedError = std::move(typed.error);
        }
        return result;
    }
    // The typed name's reason matters most, unless only the completed name exists.
    result.error = typed.missing && !second.missing ? second.error : typed.error;
    return result;
}

void ImageSource::Close() {
    image_ = nullptr;
    bmp_.reset();
    jpeg_.reset();
    pnm_.reset();
    stb_.reset();
}

Colour ImageSource::ColourAt(std::int32_t x, std::int32_t y) const {
    return image_ ? image_->ColourAt(x, y) : 0;
}

void ImageSource::ReadRow(std::int32_t y, std::span<Colour> row) const {
    if (image_) {
        image_->ReadRow(y, row);
    }
}

void ImageSource::ReadRowWithAlpha(std::int32_t y, std::span<Colour> row) const {
    if (image_) {
        image_->ReadRowWithAlpha(y, row);
    }
}

}  // namespace rastelle
