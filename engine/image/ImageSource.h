#pragma once

// Image, the first stage: takes a file's bytes (BMP, PNG, GIF, JPEG, PNM and the others) and
// gives its pixels as rows of colours, a PixelSource per frame, within the caps of common/Limits.h.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "common/DecodeError.h"
#include "image/PixelSource.h"
#include "image/bmp/BmpImage.h"
#include "image/jpeg/JpegImage.h"
#include "image/pnm/PnmImage.h"
#include "image/stb/StbImage.h"

namespace rastelle {

// Reads a whole file, refusing one larger than limits::kMaxFileBytes.
// Missing files give DecodeErrorKind::Unreadable with `missing` set.
struct FileBytes {
    std::vector<std::uint8_t> bytes;
    bool missing = false;
    DecodeError error;
};
FileBytes ReadFileBytes(const std::filesystem::path& path);
// Room for the bytes of a file of `size` bytes, or why there is none (over the cap, or no
// memory for it); for readers of their own.
FileBytes MakeRoomForFile(std::uint64_t size);

// What opening a file that starts with `head` would say when those bytes start none of the
// formats, or no error: checked once there are kImageHeadBytes of them (a TGA header), so
// that a stream of anything else is refused without reading it all.
constexpr std::size_t kImageHeadBytes = 18;
DecodeError HeadError(std::span<const std::uint8_t> head);
// How the image source gets a file's bytes; a program may bring its own, e.g. one that
// refuses what is not a regular file on the open descriptor.
using FileReader = std::function<FileBytes(const std::filesystem::path&)>;

// The image a conversion reads, loaded by name and closed again on destruction. The file's
// first bytes choose the decoder: "BM" our own BMP decoder, "P1" to "P6" our own PNM decoder,
// a JPEG's start-of-image marker libjpeg-turbo, anything else stb_image.
class ImageSource final : public PixelSource {
  public:
    struct OpenResult {
        bool opened = false;
        bool completedPath = false;  // loaded from the name with ".bmp" added
        DecodeError error;           // why not, when !opened
        // With completedPath: why the name as typed, which exists, was not read.
        std::optional<DecodeError> typedError;
    };

    ImageSource() = default;
    ImageSource(const ImageSource&) = delete;
    ImageSource& operator=(const ImageSource&) = delete;
    ~ImageSource() override = default;

    // Loads `path` as typed, else `path` + ".bmp". Whatever was open before is closed first;
    // on failure the source stays closed.
    OpenResult Open(const std::filesystem::path& path, const FileReader& read = ReadFileBytes);
    // The same for a file already in memory (no name to complete).
    DecodeError OpenBytes(std::vector<std::uint8_t> bytes);
    void Close();
    bool IsOpen() const { return image_ != nullptr; }

    // An empty image while closed.
    std::int32_t Width() const override { return image_ ? image_->Width() : 0; }
    std::int32_t Height() const override { return image_ ? image_->Height() : 0; }
    Colour ColourAt(std::int32_t x, std::int32_t y) const override;
    void ReadRow(std::int32_t y, std::span<Colour> row) const override;
    void ReadRowWithAlpha(std::int32_t y, std::span<Colour> row) const override;

    // An animated GIF holds several frames, each composed as a viewer shows it; the colours
    // are the selected frame's, the first after opening. Other images have one frame (none
    // while closed). Selecting in ascending order decodes each frame once, and only one
    // frame is held at a time.
    std::int32_t FrameCount() const;
    std::int32_t SelectedFrame() const { return stb_ ? stb_->SelectedFrame() : 0; }
    // On failure the selected frame stays as it was.
    DecodeError SelectFrame(std::int32_t index);

  private:
    std::unique_ptr<BmpImage> bmp_;
    std::unique_ptr<JpegImage> jpeg_;
    std::unique_ptr<PnmImage> pnm_;
    std::unique_ptr<StbImage> stb_;
    const PixelSource* image_ = nullptr;  // whichever of them is open
};

}  // namespace rastelle
