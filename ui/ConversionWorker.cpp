#include "ConversionWorker.h"

#include <filesystem>
#include <memory>
#include <optional>

#include "ConverterDlg.h"
#include "common/AssemblerSyntax.h"
#include "conversion/Conversion.h"

namespace {

// Hands the text to the board line by line, as the encoder makes it; refuses it once the run
// is cancelled, which ends the encoder's work.
class BoardSink : public rastelle::TextSink {
  public:
    explicit BoardSink(ConversionRun& run) : run_(run) {}
    bool Write(std::string_view text) override {
        if (run_.cancelled) {
            return false;
        }
        if (run_.board.Append(text)) {
            ::PostMessageW(run_.dialog, WM_CONVERSION_PUBLISHED, 0, 0);
        }
        return true;
    }
    std::size_t BlockBytes() const override { return 1; }

  private:
    ConversionRun& run_;
};

// The image, with the tests' hook run before each row is read.
class HookedSource : public rastelle::PixelSource {
  public:
    explicit HookedSource(const rastelle::PixelSource& source) : source_(source) {}
    std::int32_t Width() const override { return source_.Width(); }
    std::int32_t Height() const override { return source_.Height(); }
    rastelle::Colour ColourAt(std::int32_t x, std::int32_t y) const override {
        return source_.ColourAt(x, y);
    }
    void ReadRow(std::int32_t y, std::span<rastelle::Colour> row) const override {
        source_.ReadRow(y, row);
    }
    void ReadRowWithAlpha(std::int32_t y, std::span<rastelle::Colour> row) const override {
        if (const auto hook = OutputLimits::beforeEachRow.load()) {
            hook(y);
        }
        source_.ReadRowWithAlpha(y, row);
    }

  private:
    const rastelle::PixelSource& source_;
};

// The window's side of a conversion: the dialog hears of the image once it is open and
// checked, and words what stops it there; the text goes to the board.
class Events final : public rastelle::ConversionEvents {
  public:
    explicit Events(ConversionRun& run) : run_(run) {}

    bool Open(std::size_t, rastelle::ImageSource& source) override {
        const rastelle::ImageSource::OpenResult opened =
            source.Open(std::filesystem::path(run_.inputFile));
        report_.opened = opened.opened;
        report_.completedPath = opened.completedPath;
        if (!opened.opened) {
            Send();
        }
        return opened.opened;
    }

    void Report(const rastelle::ConversionIssue& issue) override {
        using Kind = rastelle::ConversionIssue::Kind;
        if (issue.kind == Kind::TileCount) {
            run_.tiles = issue.numbers[0];
            ::PostMessageW(run_.dialog, WM_CONVERSION_TILES, 0, 0);
        } else if (issue.stops && issue.kind != Kind::Refusal && issue.kind != Kind::SinkRefused) {
            // Said before any text, as the dialog's answer to the opening.
            report_.issue = issue;
            Send();
        }
    }

    // The dialog shows the completed path, keeps the text's size and reads the width unit.
    // It answers 0 once the run is cancelled, and so does a window that no longer exists.
    bool Ready(const rastelle::PixelSource&, std::uint64_t textBound,
               rastelle::ConversionSettings& settings) override {
        report_.textBytes = textBound;
        if (Send() == 0 || run_.cancelled) {
            return false;
        }
        settings.widthUnit = report_.widthUnit;
        // The board's buffer is made for the whole text at once; the encoder hands over each
        // line as soon as it is written, keeping only the line in hand, so the text exists once.
        std::string text;
        text.reserve(static_cast<std::size_t>(run_.textBytes));
        run_.board.Start(std::move(text));
        ::PostMessageW(run_.dialog, WM_CONVERSION_PUBLISHED, 0, 0);
        return true;
    }

    const rastelle::PixelSource& Watched(const rastelle::PixelSource& picture) override {
        return hooked_.emplace(picture);
    }

  private:
    LRESULT Send() {
        return ::SendMessageW(run_.dialog, WM_CONVERSION_OPENED, reinterpret_cast<WPARAM>(&run_),
                              reinterpret_cast<LPARAM>(&report_));
    }

    ConversionRun& run_;
    OpenReport report_;
    std::optional<HookedSource> hooked_;
};

void Convert(ConversionRun& run) {
    rastelle::ConversionRequest request;
    request.labels = {run.label};
    request.geometry = run.geometry;
    request.trim = run.trim;
    request.settings = run.settings;
    request.syntax = run.syntax;
    request.textLimit = OutputLimits::textBytes;
    Events events(run);
    BoardSink sink(run);
    rastelle::Convert(request, events, sink);
}

// Waits for `thread` to end. A worker may be blocked sending to this thread, so sent
// messages are served meanwhile; posted ones stay queued for the modal loop.
void WaitServingSentMessages(HANDLE thread) {
    while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) ==
           WAIT_OBJECT_0 + 1) {
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

std::string PictureName(std::string typed, const rastelle::ConversionSettings& settings,
                        const std::wstring& inputFile) {
    if (!typed.empty() ||
        (settings.cellWidth <= 0 && (settings.mask == rastelle::MaskSource::None ||
                                     settings.maskLayout != rastelle::MaskLayout::Block))) {
        return typed;
    }
    const std::u8string stem = std::filesystem::path(inputFile).stem().u8string();
    return rastelle::LabelFromStem(std::string(stem.begin(), stem.end()));
}

DWORD WINAPI ConvertThreadProc(LPVOID parameter) noexcept {
    const std::unique_ptr<std::shared_ptr<ConversionRun>> run(
        static_cast<std::shared_ptr<ConversionRun>*>(parameter));
    ConversionRun& current = **run;
    try {
        Convert(current);
    } catch (...) {
        // Out of memory (the engine reports everything else as values). The board keeps
        // whole rows only; the dialog says why the text stops there.
        current.outOfMemory = true;
        ::PostMessageW(current.dialog, WM_CONVERSION_FAILED, 0, 0);
    }
    return 0;
}

void StopWorker(CConverterDlg& dialog) {
    if (dialog.m_run) {
        dialog.m_run->cancelled = true;
    }
    if (dialog.m_hWorker) {
        WaitServingSentMessages(dialog.m_hWorker.Get());
    }
    dialog.m_hWorker.Reset();
    dialog.m_dwWorkerId = 0;
    dialog.m_run.reset();
}
