#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "PreviewWorker.h"
#include "common/AssemblerSyntax.h"
#include "common/ConversionSettings.h"
#include "picture/GeometryStage.h"
#include "win32/ControlAnchors.h"
#include "win32/Dialog.h"

// The options shown, as the engine takes them.
struct ChosenOptions {
    rastelle::ConversionSettings settings;
    rastelle::GeometrySettings geometry;
    bool trim = false;
    rastelle::AssemblerSyntax syntax;
    std::string label;
    std::wstring error;  // why they can't convert; empty when they can
};

// The main window's right half: the options panel and, under it, the preview of the picture.
// It knows its controls by id through the dialog's window: fills the lists, exchanges them with
// its members in the dialog's exchange, greys what would change nothing, reads itself into the
// options and redraws the preview whenever the picture changes. The output field and the preview
// share the room the window gains; the panel moves with the preview's left edge.
class OptionPanel {
  public:
    // The file and the options as the dialog has them now, for a preview.
    using Subject = std::function<PreviewRequest()>;
    // The dialog's handler tables, which the panel adds its controls and messages to.
    struct Binder {
        std::function<void(int control, WORD notification, std::function<void()>)> command;
        std::function<void(UINT message, std::function<win32::MessageResult(WPARAM, LPARAM)>)>
            message;
    };

    OptionPanel(win32::Dialog& dialog, Subject subject) noexcept
        : m_dialog(dialog), m_subject(std::move(subject)) {}

    void Bind(const Binder& bind);
    // On WM_INITDIALOG, before the dialog shows its members: the lists' items, the first
    // choices, the layout and the preview's worker.
    void Init();
    void DoDataExchange(win32::DataExchange& exchange);
    // Everything but the fill, the centring and the threshold, which the dialog has set in
    // `options` (an X BitMap overrides the first two).
    void Read(ChosenOptions& options) const;

    // Unique and Mirror greyed while they would change nothing: without cells, and Mirror
    // without Unique.
    void EnableTileBoxes();
    // From the subject, in the room the preview has; nothing before Init or after the window's
    // destruction.
    void RequestPreview();

  private:
    void FillOptionLists() const;
    void LayOutForResizing();
    void OnTilesChange();
    void OnTargetChange();
    win32::MessageResult OnHScroll(WPARAM, LPARAM control);
    win32::MessageResult OnSize(WPARAM type, LPARAM);
    win32::MessageResult OnGetMinMaxInfo(WPARAM, LPARAM info);
    win32::MessageResult OnPreviewReady(WPARAM, LPARAM);
    win32::MessageResult OnDestroy(WPARAM, LPARAM);

    win32::Dialog& m_dialog;
    Subject m_subject;

    // Exchanged with the controls, in this order.
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

    std::unique_ptr<PreviewWorker> m_preview;
    win32::ControlAnchors m_anchors;
    SIZE m_minimumSize{};
};
