#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "OptionPanel.h"
#include "win32/ControlText.h"
#include "win32/Dialog.h"
#include "win32/Handles.h"
#include "win32/TrackbarControl.h"

struct ConversionRun;

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
    // Exchanged after those; its preview shows PreviewSubject().
    OptionPanel m_panel{*this, [this] { return PreviewSubject(); }};

    win32::IconHandle m_hIcon;

    // The run in the worker slot, and how much of its text the output field shows.
    std::shared_ptr<ConversionRun> m_run;
    std::size_t m_nOutputShown = 0;
    bool m_bOutputOutOfSpace = false;
    DWORD m_dwOutputPainted = 0;

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

    win32::MessageResult OnConversionOpened(WPARAM run, LPARAM report);
    win32::MessageResult OnConversionPublished(WPARAM paintFirst, LPARAM);
    win32::MessageResult OnConversionFailed(WPARAM, LPARAM);
    win32::MessageResult OnConversionTiles(WPARAM, LPARAM);
    win32::MessageResult OnTimer(WPARAM timer, LPARAM);
    win32::MessageResult OnDropFiles(WPARAM drop, LPARAM);
    void OnOutputErrSpace();

  private:
    void AddAboutItem() const;
    PreviewRequest PreviewSubject();
    void RequestPreview() { m_panel.RequestPreview(); }
    void TakeNextPieceLater(bool paintFirst = false);
    void ReserveOutput(std::uint64_t chars) const;
    void SayTooBig(std::uint64_t textBytes) const;
    void SayOutOfMemory() const;
};
