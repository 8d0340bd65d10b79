// The engine's one entry for the web page: the command-line tool run in memory, and the
// picture laid out with its fill for the page's preview, as the window's preview shows it.
// web/entry/rastelle-api.js wraps these exports into the module's run(), help(), version() and
// preview(); it lays out the files, this side only runs.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <string_view>
#include <vector>

#include "CommandLine.h"
#include "InputFile.h"
#include "Run.h"
#include "conversion/Conversion.h"
#include "image/ImageSource.h"

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
    rastelle::PicturePreview preview;
    std::int32_t frames = 0;

    void Reset() {
        out.Reset();
        err.Reset();
        preview = {};
        frames = 0;
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

// The room of the preview: a picture laid out wider or taller than this is sampled, every
// step-th pixel, as the window samples one bigger than its box; the page scales the rest.
constexpr std::int32_t kMostPreview = 4096;

// The first input's first frame as it would be converted, laid out with its fill; false when
// the command line or the picture can't be converted, which the tool itself then reports.
bool MakePreview(const std::vector<std::string_view>& arguments, Result& result) {
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
    // Pictures the conversion refuses (cells that don't divide them, say) get no preview: the
    // tool's own run then words why.
    bool convertible = false;
    result.frames = source.FrameCount();
    return rastelle::PreviewPicture(source, commandLine.geometry, commandLine.trim,
                                    commandLine.settings, kMostPreview, kMostPreview, {},
                                    result.preview, &convertible) &&
           convertible;
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

// The preview of the same command line; where there are none, the tool's own run
// gives the status and the words.
int rastelle_preview(int count, char** values, const char* input) {
    Result& result = Last();
    result.Reset();
    bool made = false;
    try {
        made = TakeStandardInput(input) && MakePreview(Arguments(count, values), result);
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
// The preview's numbers: width, height, step, cell width, cell height (with fill), frames.
std::int32_t rastelle_preview_number(int which) {
    const Result& result = Last();
    const rastelle::PicturePreview& preview = result.preview;
    const std::int32_t numbers[] = {preview.width,     preview.height,     preview.step,
                                    preview.cellWidth, preview.cellHeight, result.frames};
    return which >= 0 && which < 6 ? numbers[which] : 0;
}
// width x height tones, rows top first, numbered as the engine's PreviewTone.
const std::uint8_t* rastelle_preview_tones() {
    static_assert(sizeof(rastelle::PreviewTone) == 1);
    return reinterpret_cast<const std::uint8_t*>(Last().preview.tones.data());
}

}  // extern "C"
