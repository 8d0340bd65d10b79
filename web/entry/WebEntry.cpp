// The engine's one entry for the web page: the command-line tool run in memory, and the
// digits of a picture for the page's preview. web/entry/rastelle-api.js wraps these exports
// into the module's run(), help(), version() and preview(); it lays out the files, this side
// only runs.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "CommandLine.h"
#include "InputFile.h"
#include "Run.h"
#include "image/ImageSource.h"
#include "picture/DigitStage.h"
#include "picture/ShapedPicture.h"

namespace {

using rastelle::cli::CommandLine;

// A stream collected in memory; each call starts with an empty one.
class MemoryStream {
  public:
    MemoryStream() : stream_(open_memstream(&data_, &size_)) {}
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;
    ~MemoryStream() { Close(); }

    std::FILE* Get() const { return stream_; }
    // Ends the stream: its bytes stay readable until Reset.
    void Close() {
        if (stream_ != nullptr) {
            std::fclose(stream_);
            stream_ = nullptr;
        }
    }
    void Reset() {
        Close();
        std::free(data_);
        data_ = nullptr;
        size_ = 0;
        stream_ = open_memstream(&data_, &size_);
    }
    const char* Data() const { return data_; }
    std::size_t Size() const { return size_; }

  private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* stream_ = nullptr;
};

// What the last call made, read by the page through the getters below.
struct Result {
    MemoryStream out;
    MemoryStream err;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t cellWidth = 0;
    std::int32_t cellHeight = 0;
    std::int32_t frames = 0;
    bool masked = false;
    std::vector<std::uint8_t> digits;
    std::vector<std::uint8_t> mask;

    void Reset() {
        out.Reset();
        err.Reset();
        width = height = cellWidth = cellHeight = frames = 0;
        masked = false;
        digits = {};
        mask = {};
    }
};

Result& Last() {
    static Result result;
    return result;
}

std::vector<std::string_view> Arguments(int count, char** values) {
    return std::vector<std::string_view>(values, values + count);
}

// Standard input is the file `path` (made by the caller, empty when none was given), so that
// '-' reads what the page handed over, as a shell's < would.
bool TakeStandardInput(const char* path) {
    // The files the tool makes get a shell's usual permissions (the runtime starts with none).
    ::umask(022);
    const int file = ::open(path, O_RDONLY);
    if (file < 0) {
        return false;
    }
    const bool moved = ::dup2(file, STDIN_FILENO) == STDIN_FILENO;
    ::close(file);
    return moved;
}

// The digits of the first input's first frame as it would be converted; false when the
// command line or the picture can't be converted, which the tool itself then reports.
bool MakeDigits(const std::vector<std::string_view>& arguments, Result& result) {
    const rastelle::cli::ParseResult parsed = rastelle::cli::ParseCommandLine(arguments);
    if (!parsed.commandLine || parsed.commandLine->action != CommandLine::Action::Convert ||
        parsed.commandLine->reverse || parsed.commandLine->inputs.empty()) {
        return false;
    }
    const CommandLine& commandLine = *parsed.commandLine;
    rastelle::cli::InputFileReader reader;
    rastelle::ImageSource source;
    if (!source.Open(commandLine.inputs.front(), std::ref(reader)).opened) {
        return false;
    }
    const rastelle::ShapedPicture shaped(source, commandLine.geometry, commandLine.trim,
                                         commandLine.settings);
    if (!shaped.Error().empty()) {
        return false;
    }
    const rastelle::PixelSource& picture = shaped.Picture();
    const rastelle::ConversionSettings& settings = shaped.Settings();
    const std::int32_t width = picture.Width();
    const std::int32_t height = picture.Height();
    if (settings.cellWidth > 0 &&
        (width % settings.cellWidth != 0 || height % settings.cellHeight != 0)) {
        return false;
    }
    result.width = width;
    result.height = height;
    result.cellWidth = settings.cellWidth > 0 ? settings.cellWidth : 0;
    result.cellHeight = settings.cellWidth > 0 ? settings.cellHeight : 0;
    result.frames = source.FrameCount();
    result.masked = settings.mask != rastelle::MaskSource::None;
    const auto pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    result.digits.assign(pixels, 0);
    result.mask.assign(result.masked ? pixels : 0, 0);
    // The mask stage sets the mask bit of either the transparent or the opaque pixels.
    const auto transparent =
        static_cast<std::uint8_t>(settings.maskBit == rastelle::MaskBit::Transparent ? 1 : 0);
    rastelle::DigitStage stage;
    stage.Begin(width, settings);
    for (std::int32_t y = 0; y < height; ++y) {
        const std::span<const std::uint8_t> row = stage.Row(picture, y);
        const std::span<const std::uint8_t> mask = stage.Mask();
        const std::size_t start = static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (std::size_t x = 0; x < row.size(); ++x) {
            result.digits[start + x] = row[x] != 0 ? 1 : 0;
            if (result.masked && !mask.empty()) {
                result.mask[start + x] = mask[x] == transparent ? 1 : 0;
            }
        }
    }
    return true;
}

}  // namespace

extern "C" {

// rastelle-cli with `count` arguments, standard input read from the file `input`.
int rastelle_run(int count, char** values, const char* input) {
    Result& result = Last();
    result.Reset();
    if (!TakeStandardInput(input)) {
        rastelle::cli::Print(result.err.Get(), "rastelle-cli: Could not read standard input\n");
        result.err.Close();
        return rastelle::cli::kFailure;
    }
    const int status =
        rastelle::cli::Run(Arguments(count, values), result.out.Get(), result.err.Get());
    result.out.Close();
    result.err.Close();
    return status;
}

// The preview's digits of the same command line; where there are none, the tool's own run
// gives the status and the words.
int rastelle_preview(int count, char** values, const char* input) {
    Result& result = Last();
    result.Reset();
    bool made = false;
    try {
        made = TakeStandardInput(input) && MakeDigits(Arguments(count, values), result);
    } catch (const std::exception&) {
        made = false;  // out of memory, say: the tool's own run reports it
    }
    if (!made) {
        return rastelle_run(count, values, input);
    }
    result.out.Close();
    result.err.Close();
    return rastelle::cli::kSuccess;
}

const char* rastelle_stdout() {
    return Last().out.Data();
}
std::size_t rastelle_stdout_size() {
    return Last().out.Size();
}
const char* rastelle_stderr() {
    return Last().err.Data();
}
std::size_t rastelle_stderr_size() {
    return Last().err.Size();
}
// The preview's numbers: width, height, cell width, cell height, frames, 1 with a mask.
std::int32_t rastelle_preview_number(int which) {
    const Result& result = Last();
    const std::int32_t numbers[] = {result.width,      result.height, result.cellWidth,
                                    result.cellHeight, result.frames, result.masked ? 1 : 0};
    return which >= 0 && which < 6 ? numbers[which] : 0;
}
const std::uint8_t* rastelle_preview_digits() {
    return Last().digits.data();
}
const std::uint8_t* rastelle_preview_mask() {
    return Last().mask.data();
}

}  // extern "C"
