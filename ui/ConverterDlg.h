#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "common/AssemblerSyntax.h"
#include "common/ConversionSettings.h"
#include "picture/GeometryStage.h"
#include "win32/ControlAnchors.h"
#include "win32/ControlText.h"
#include "win32/Dialog.h"
#include "win32/Handles.h"
#include "win32/TrackbarControl.h"

struct ConversionRun;
class PreviewWorker;

// The options shown, as the engine takes them.
struct ChosenOptions {
    rastelle::ConversionSettings settings;
    rastelle::GeometrySettings geometry;
    bool trim = false;
    rastelle::AssemblerSyntax syntax;
    std::string label;
    std::wstring error;  // why they can't convert; empty when they can
};

// The main window: input path, options, threshold and output text.
class CConverterDlg : public win32::Dialog {
  public:
    explicit CConverterDlg(HWND parent = nullptr);
    ~CConverterDlg() override;

    // The last worker started; empty while none runs.
    win32::ThreadHandle m_hWorker;
    DWORD m_dwWorkerId = 0;

    // Exchanged with the controls, in this order.
    win32::TrackbarControl m_sliderThreshold;
    std::wstring m_strInputFile;
    win32::ControlText m_strOutput;
    int m_nWidthUnit = -1;
    int m_bUseAutoComplete = 0;
    int m_bCenterImage = 0;
    int m_nFillZeros = -1;
    int m_nFillOnes = -1;
    std::uint8_t m_nThreshold = 0;
    // The option panel.
    int m_nSyntax = 0;
    std::wstring m_strLabel;
    int m_bInvert = 0;
    int m_nDither = 0;
    int m_nBytes = 0;
    std::wstring m_strCells;
    int m_nMask = 0;
    int m_bHeader = 1;
    std::wstring m_strResize;
    int m_nFit = 0;
    int m_nRotate = 0;
    int m_nFlip = 0;
    int m_bTrim = 0;
    int m_nRadix = 0;  // binary, hexadecimal, decimal
    int m_bComment = 0;
    int m_bUnique = 0;  // with cells: each distinct cell once, and a map
    int m_bMirror = 0;
    int m_nTarget = 0;  // none, then rastelle::DisplayTargets()

    win32::IconHandle m_hIcon;

    // The run in the worker slot, and how much of its text the output field shows.
    std::shared_ptr<ConversionRun> m_run;
    std::size_t m_nOutputShown = 0;
    bool m_bOutputOutOfSpace = false;
    DWORD m_dwOutputPainted = 0;

    std::unique_ptr<PreviewWorker> m_preview;
    win32::ControlAnchors m_anchors;
    SIZE m_minimumSize{};

    // From the members, as the last UpdateData(true) took them.
    ChosenOptions Options() const;

  protected:
    void DoDataExchange(win32::DataExchange& exchange) override;
    bool OnInitDialog() override;

    win32::MessageResult OnSysCommand(WPARAM command, LPARAM lParam);
    win32::MessageResult OnPaint(WPARAM, LPARAM);
    win32::MessageResult OnQueryDragIcon(WPARAM, LPARAM);
    void OnConvert();
    void OnBrowse();
    void OnUseAutoComplete();
    void OnFillZeros();
    void OnFillOnes();
    void OnThresholdChange();
    void OnThresholdSetFocus();
    void OnClear();
    void OnCopy();
    void OnOptionChange();
    // Unique and Mirror greyed while they would change nothing: without cells, and Mirror
    // without Unique.
    void OnTilesChange();
    void EnableTileBoxes();
    void OnTargetChange();

    win32::MessageResult OnSize(WPARAM, LPARAM);
    win32::MessageResult OnGetMinMaxInfo(WPARAM, LPARAM info);
    win32::MessageResult OnHScroll(WPARAM, LPARAM control);
    win32::MessageResult OnPreviewReady(WPARAM, LPARAM);
    win32::MessageResult OnDestroy(WPARAM, LPARAM);

    win32::MessageResult OnConversionOpened(WPARAM run, LPARAM report);
    win32::MessageResult OnConversionPublished(WPARAM paintFirst, LPARAM);
    win32::MessageResult OnConversionFailed(WPARAM, LPARAM);
    win32::MessageResult OnConversionTiles(WPARAM, LPARAM);
    win32::MessageResult OnTimer(WPARAM timer, LPARAM);
    win32::MessageResult OnDropFiles(WPARAM drop, LPARAM);
    void OnOutputErrSpace();

  private:
    void AddAboutItem() const;
    void FillOptionLists() const;
    void LayOutForResizing();
    void RequestPreview();
    void TakeNextPieceLater(bool paintFirst = false);
    void ReserveOutput(std::uint64_t chars) const;
    void SayTooBig(std::uint64_t textBytes) const;
    void SayOutOfMemory() const;
};
