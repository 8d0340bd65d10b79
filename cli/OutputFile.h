#pragma once

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/types.h>
#endif

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#ifndef _WIN32
#include "Descriptor.h"
#endif
#include "InputFile.h"
#include "text/RowEncoder.h"

namespace rastelle::cli {

// How many columns the terminal that `stream` writes to shows; 0 when it is no terminal.
int TerminalColumns(std::FILE* stream);

// Where the text goes. A regular file (or a new name) is replaced whole: the text goes to a
// temporary file beside it (unnamed where the system can, so that nothing is left whatever
// ends the program), which takes the old file's permissions and is renamed over it only once
// every byte is safely written. A name of an open descriptor (/dev/stdout, /dev/fd/N) is
// written through that descriptor, as a shell's > would. A symbolic link is followed to its target.
// Anything else that exists (a device, a FIFO) is written directly, as a shell redirection
// would. Reasons of failures are the system's (strerror), never naming the temporary file.
class OutputFile final : public TextSink {
  public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() override { Discard(); }

    void OpenStandardOutput(std::FILE* stream) { stream_ = stream; }
    bool Open(const std::filesystem::path& target);

    bool Write(std::string_view text) override;
    // Flushes and, for a replaced file, syncs, closes and renames; checks every step.
    bool Commit();
    // Removes the temporary file: whatever was there stays as it was.
    void Discard();

    // The file that would be replaced is `file`.
    bool Replaces(const FileIdentity& file) const;
    bool IsStandardOutput() const { return stream_ != nullptr; }
    // Whether what is written reaches OUT only on Commit, not through a descriptor, into a
    // device or a FIFO as it comes.
    bool ReplacesWhole() const {
#ifdef _WIN32
        return !temporary_.empty();
#else
        return !temporary_.empty() || !directory_.empty();
#endif
    }
    // Standard output is a terminal, which bytes that are no text would garble.
    bool IsTerminal() const;
    bool WroteAnything() const {
        return wroteAnything_;
    }
    const std::string& Reason() const {
        return reason_;
    }

  private:
#ifdef _WIN32
    // OutputFileWindows.cpp
    bool Fail(unsigned long error);
    bool PrepareReplacement(const std::filesystem::path& target);

    std::FILE* stream_ = nullptr;
    void* handle_ = nullptr;  // HANDLE; null when closed
    std::filesystem::path target_;
    std::filesystem::path temporary_;  // empty when writing directly
    FileIdentity replaced_;
    unsigned long attributes_ = 0;  // of the replaced file
    bool wroteAnything_ = false;
    std::string reason_;
#else
    bool Fail(int error);
    bool OpenDescriptor(int descriptor);
    bool LinkUnnamedFile();
    bool PrepareReplacement(const std::filesystem::path& target, const struct stat* existing);

    std::FILE* stream_ = nullptr;
    Descriptor descriptor_;
    std::filesystem::path target_;     // after following links
    std::filesystem::path temporary_;  // empty when writing directly
    std::filesystem::path directory_;  // of an unnamed file (O_TMPFILE), linked in at the end
    FileIdentity replaced_;
    mode_t mode_ = 0;
    uid_t owner_ = 0;
    gid_t group_ = 0;
    bool wroteAnything_ = false;
    std::string reason_;
#endif
};

}  // namespace rastelle::cli
