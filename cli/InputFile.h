#pragma once

#include <cstdint>
#include <filesystem>

#include "ImageSource.h"

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
    // Standard input to its end, under the same cap as a file.
    FileBytes ReadStandardInput();

    // The file whose bytes were read last.
    const FileIdentity& LastRead() const { return lastRead_; }

  private:
    FileIdentity lastRead_;
};

}  // namespace rastelle::cli
