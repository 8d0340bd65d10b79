#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "ConversionSettings.h"
#include "PublicationBoard.h"

class CConverterDlg;

// What a run sends to the dialog's thread. The worker never touches the dialog itself.
//
// Sent once the image is open or could not be opened; wParam is the ConversionRun,
// lParam its OpenReport. A result of 0 ends the run.
constexpr UINT WM_CONVERSION_OPENED = WM_APP + 1;
// Posted when the run has published text that the dialog has not taken yet.
constexpr UINT WM_CONVERSION_PUBLISHED = WM_APP + 2;

// One conversion: the options the dialog captured when it started, and the text handed back.
struct ConversionRun {
    HWND dialog = nullptr;
    std::wstring inputFile;
    rastelle::ConversionSettings settings;  // the width unit is read once the image is open
    std::atomic<bool> cancelled{false};
    PublicationBoard board;
};

struct OpenReport {
    bool opened = false;
    bool completedPath = false;
    rastelle::WidthUnit widthUnit = rastelle::WidthUnit::Bits;  // filled in by the dialog
};

// The worker thread of one run. `parameter` is a std::shared_ptr<ConversionRun> allocated
// with new, which the thread deletes.
DWORD WINAPI ConvertThreadProc(LPVOID parameter) noexcept;

// Cancels the run in the dialog's worker slot, waits for its thread while serving what it
// sends to the dialog's thread, releases the handle and clears the slot. Runs on the
// dialog's thread: from Convert, and once the modal loop has ended.
void StopWorker(CConverterDlg& dialog);
