#include "ConversionWorker.h"

#include <filesystem>
#include <memory>

#include "ConverterDlg.h"
#include "common/TextSize.h"
#include "image/ImageSource.h"
#include "picture/ShapedPicture.h"
#include "text/PictureWriter.h"
#include "text/RowEncoder.h"

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

void Convert(ConversionRun& run) {
    rastelle::ImageSource source;
    const rastelle::ImageSource::OpenResult opened =
        source.Open(std::filesystem::path(run.inputFile));

    // The dialog shows the completed path or the failure, checks the text's size and the
    // cells and reads the width unit. It answers 0 once the run is cancelled, and so does a
    // window that no longer exists.
    const rastelle::ShapedPicture shaped(source, run.geometry, run.trim, run.settings);
    const rastelle::PixelSource& picture = shaped.Picture();
    OpenReport report{opened.opened, opened.completedPath, shaped.Error(), picture.Width(),
                      picture.Height()};
    const LRESULT goOn =
        ::SendMessageW(run.dialog, WM_CONVERSION_OPENED, reinterpret_cast<WPARAM>(&run),
                       reinterpret_cast<LPARAM>(&report));
    if (!opened.opened || !report.shapeError.empty() || goOn == 0 || run.cancelled) {
        return;
    }
    rastelle::ConversionSettings settings = shaped.Settings();
    settings.widthUnit = report.widthUnit;

    // The board's buffer is made for the whole text at once; the encoder hands over each line
    // as soon as it is written, keeping only the line in hand, so the text exists once.
    std::string text;
    text.reserve(static_cast<std::size_t>(run.textBytes));
    run.board.Start(std::move(text));
    ::PostMessageW(run.dialog, WM_CONVERSION_PUBLISHED, 0, 0);
    BoardSink sink(run);
    rastelle::TileSet tiles(run.label);
    const rastelle::PictureReport written = rastelle::WritePicture(
        HookedSource(picture), settings, run.syntax, run.label, sink, false, &tiles);
    if (settings.unique && written.written && written.refusal.empty()) {
        run.tiles = tiles.Count();
        ::PostMessageW(run.dialog, WM_CONVERSION_TILES, 0, 0);
    }
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

std::uint64_t TextBound(std::int64_t width, std::int64_t height,
                        const rastelle::ConversionSettings& settings,
                        const rastelle::AssemblerSyntax& syntax, std::size_t labelBytes) {
    using namespace rastelle;
    const bool cells = settings.cellWidth > 0 && settings.cellHeight > 0;
    const std::int64_t imageWidth = cells ? settings.cellWidth : width;
    const std::int64_t imageHeight = cells ? settings.cellHeight : height;
    const std::int64_t images = cells ? (width / imageWidth) * (height / imageHeight) : 1;
    const bool mask = settings.mask != MaskSource::None;
    const bool pages = settings.layout == ByteLayout::Pages;
    // Pages: a line per 8 rows, a literal per column, the same as rows 8 times as wide.
    std::int64_t lineBits = pages ? 8 * imageWidth : imageWidth;
    const std::int64_t lines = pages ? (imageHeight + 7) / 8 : imageHeight;
    if (mask && settings.maskLayout != MaskLayout::Block) {
        lineBits = 16 * ((lineBits + 7) / 8);  // a mask byte beside each picture byte
    }
    // Labels (with a cell's number and "_mask"), their line ends and the empty lines between.
    const std::uint64_t extra = cells || mask || labelBytes > 0 ? labelBytes + 32 : 0;
    const std::uint64_t one = TextSize(lineBits, lines, settings.fill, syntax, settings) + extra;
    const bool maskBlock = mask && settings.maskLayout == MaskLayout::Block;
    // A tile map and its flips: at most 7 characters an entry, each row of cells a line.
    const std::uint64_t map = settings.unique && cells
                                  ? (static_cast<std::uint64_t>(images) * 8 +
                                     static_cast<std::uint64_t>(height / imageHeight) * 16 + 256) *
                                        (settings.mirror ? 2 : 1)
                                  : 0;
    return static_cast<std::uint64_t>(images) * one * (maskBlock ? 2 : 1) + map;
}

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
