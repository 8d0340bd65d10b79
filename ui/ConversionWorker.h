#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "PublicationBoard.h"
#include "common/AssemblerSyntax.h"
#include "common/ConversionSettings.h"
#include "conversion/Conversion.h"
#include "picture/GeometryStage.h"

class CConverterDlg;

// What a run sends to the dialog's thread. The worker never touches the dialog itself.
//
// Sent once the image is open or could not be opened; wParam is the ConversionRun,
// lParam its OpenReport. A result of 0 ends the run.
constexpr UINT WM_CONVERSION_OPENED = WM_APP + 1;
// Posted when the run has published text that the dialog has not taken yet.
constexpr UINT WM_CONVERSION_PUBLISHED = WM_APP + 2;
// Posted when the run has stopped for want of memory.
constexpr UINT WM_CONVERSION_FAILED = WM_APP + 3;
// Posted when a run of unique tiles has counted them (ConversionRun::tiles).
constexpr UINT WM_CONVERSION_TILES = WM_APP + 5;  // after the preview's WM_APP + 4

// How much the window takes on. Changed only by tests.
struct OutputLimits {
    // Characters appended to the output field in one step, and the dialog answers nothing
    // meanwhile. Under Wine an append to the hidden field costs about 2 ms plus 1 to 2
    // microseconds per character: 16 K keeps a step near 30 ms at almost no cost in the whole.
    static inline std::size_t pieceChars = 16 * 1024;
    // The longest text the window converts; above it the user is sent to rastelle-cli. Under
    // Wine the field shows about 0.5 MB a second at best, and a row of 10,000 characters alone
    // costs it about a second (the cost grows with the square of the row's length).
    static inline std::uint64_t textBytes = std::uint64_t{64} << 20;
    // Run by the worker before each row, to hold it there or make it fail (tests only).
    static inline std::atomic<void (*)(std::int32_t y)> beforeEachRow{nullptr};
};

// One conversion: the options the dialog captured when it started, and the text handed back.
struct ConversionRun {
    HWND dialog = nullptr;
    std::wstring inputFile;
    rastelle::ConversionSettings settings;  // the width unit is read once the image is open
    rastelle::GeometrySettings geometry;
    bool trim = false;
    rastelle::AssemblerSyntax syntax;
    std::string label;  // the one the text takes (PictureName); empty for none
    std::atomic<bool> cancelled{false};
    std::atomic<bool> outOfMemory{false};
    PublicationBoard board;
    std::uint64_t textBytes = 0;          // the whole text's size, once the image is open
    std::atomic<std::int64_t> tiles{-1};  // with unique tiles, how many, once written
};

// The label the text takes: the one typed, or for cells and a mask of its own, which are
// labelled after the picture, one made from the file's name.
std::string PictureName(std::string typed, const rastelle::ConversionSettings& settings,
                        const std::wstring& inputFile);

struct OpenReport {
    bool opened = false;
    bool completedPath = false;
    std::optional<rastelle::ConversionIssue> issue;  // what stops the run before its text
    std::uint64_t textBytes = 0;                     // the text's bound, once checked
    rastelle::WidthUnit widthUnit = rastelle::WidthUnit::Bits;  // filled in by the dialog
};

// The worker thread of one run. `parameter` is a std::shared_ptr<ConversionRun> allocated
// with new, which the thread deletes.
DWORD WINAPI ConvertThreadProc(LPVOID parameter) noexcept;

// Cancels the run in the dialog's worker slot, waits for its thread while serving what it
// sends to the dialog's thread, releases the handle and clears the slot. Runs on the
// dialog's thread: from Convert, and once the modal loop has ended.
void StopWorker(CConverterDlg& dialog);
