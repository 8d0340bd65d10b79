#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

#include "image/ImageSource.h"

namespace rastelle::cli {

// Which file a descriptor or name stands for: device and inode, or on Windows the volume's
// serial number and the file's index.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool known = false;
};

// Reads input files for the image source: each is opened first, without blocking, and
// checked on the open descriptor, so a name swapped for a FIFO or a device after a check
// can neither block the program nor be read.
class InputFileReader {
  public:
    FileBytes operator()(const std::filesystem::path& path);
    // Standard input to its end, under the same cap as a file; an `image` is refused as soon
    // as its first bytes start no format.
    FileBytes ReadStandardInput(bool image = true);

    // Hands a text file's bytes to `take` in pieces, until the end or until `take` says it
    // wants no more; a FIFO or a device is refused, as for images. False with `reason` when
    // the file can't be read.
    static bool ReadPieces(const std::filesystem::path& path,
                           const std::function<bool(std::span<const char>)>& take,
                           std::string& reason);
    // Which file `path` names, unknown when it can't be looked at.
    static FileIdentity IdentityOf(const std::filesystem::path& path);

    // The file whose bytes were read last.
    const FileIdentity& LastRead() const { return lastRead_; }

  private:
    FileIdentity lastRead_;
};

}  // namespace rastelle::cli
