#include "ConversionWorker.h"

#include <filesystem>
#include <memory>

#include "ConverterDlg.h"
#include "ImageSource.h"
#include "RowEncoder.h"

namespace {

void Convert(ConversionRun& run) {
    rastelle::ImageSource source;
    const rastelle::ImageSource::OpenResult opened =
        source.Open(std::filesystem::path(run.inputFile));

    // The dialog shows the completed path or the failure, checks the text's size and reads
    // the width unit. It answers 0 once the run is cancelled, and so does a window that no
    // longer exists.
    OpenReport report{opened.opened, opened.completedPath, source.Width(), source.Height()};
    const LRESULT goOn =
        ::SendMessageW(run.dialog, WM_CONVERSION_OPENED, reinterpret_cast<WPARAM>(&run),
                       reinterpret_cast<LPARAM>(&report));
    if (!opened.opened || goOn == 0 || run.cancelled) {
        return;
    }
    run.settings.widthUnit = report.widthUnit;

    // The encoder's buffer, reserved for the whole text, becomes the board's; each row is
    // then copied to the board as soon as it is written, the encoder keeping only the row in
    // hand (and its buffer for the next), so the text exists once.
    rastelle::RowEncoder encoder;
    encoder.Begin(source.Width(), source.Height(), run.settings);
    run.board.Start(encoder.TakeText());
    ::PostMessageW(run.dialog, WM_CONVERSION_PUBLISHED, 0, 0);
    for (std::int32_t y = 0; y < source.Height(); ++y) {
        if (const auto hook = OutputLimits::beforeEachRow.load()) {
            hook(y);
        }
        if (run.cancelled) {
            return;
        }
        encoder.AppendRow(source, y);
        const bool notify = run.board.Append(encoder.Text());
        encoder.ClearText();
        if (notify) {
            ::PostMessageW(run.dialog, WM_CONVERSION_PUBLISHED, 0, 0);
        }
    }
    encoder.Finish();
    if (!run.cancelled && run.board.Append(encoder.Text())) {
        ::PostMessageW(run.dialog, WM_CONVERSION_PUBLISHED, 0, 0);
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
