#pragma once

#include <cstdio>
#include <string>

#include "CommandLine.h"
#include "InputFile.h"
#include "OutputFile.h"
#include "conversion/Conversion.h"

namespace rastelle::cli {

// The command line's side of a conversion: it opens the inputs and words on the error stream
// what the conversion finds.
class Messages final : public ConversionEvents {
  public:
    Messages(const CommandLine& commandLine, OutputFile& output, std::FILE* err)
        : commandLine_(commandLine), output_(output), err_(err) {}

    bool Open(std::size_t input, ImageSource& source) override;
    void Report(const ConversionIssue& issue) override;

    // "Could not write OUTPUT: REASON"; the failure's exit code.
    int WriteFailed(const std::string& reason) const;

  private:
    int InputFailed(const std::string& message) const;

    const CommandLine& commandLine_;
    OutputFile& output_;
    std::FILE* err_;
    InputFileReader reader_;
};

}  // namespace rastelle::cli
