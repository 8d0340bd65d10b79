#include "OptionPanel.h"

#include <cstdint>
#include <string_view>

#include "resource.h"
#include "win32/DataExchange.h"

namespace {

// "8x8": whole numbers from 1 to the largest image side; with `oneSide`, either may be left
// out (as 0), not both.
bool ParseCells(const std::wstring& text, std::int32_t& width, std::int32_t& height,
                bool oneSide = false) {
    const std::size_t times = text.find_first_of(L"xX");
    const auto side = [oneSide](std::wstring_view digits, std::int32_t& value) {
        if (oneSide && digits.empty()) {
            value = 0;
            return true;
        }
        if (digits.empty() || digits.size() > 8) {
            return false;
        }
        value = 0;
        for (const wchar_t c : digits) {
            if (c < L'0' || c > L'9') {
                return false;
            }
            value = value * 10 + (c - L'0');
        }
        return value >= 1 && value <= 16777216;
    };
    const std::wstring_view all(text);
    return times != std::wstring::npos && side(all.substr(0, times), width) &&
           side(all.substr(times + 1), height) && (width > 0 || height > 0);
}

}  // namespace

void OptionPanel::Bind(const Binder& bind) {
    // Everything that changes the picture redraws the preview.
    const auto changed = [this] { RequestPreview(); };
    bind.command(IDC_INPUT_FILE, EN_CHANGE, changed);
    bind.command(IDC_CENTER_IMAGE, BN_CLICKED, changed);
    bind.command(IDC_INVERT, BN_CLICKED, changed);
    bind.command(IDC_UNIQUE, BN_CLICKED, [this] { OnTilesChange(); });
    bind.command(IDC_MIRROR, BN_CLICKED, changed);
    bind.command(IDC_CELLS, EN_CHANGE, [this] { OnTilesChange(); });
    bind.command(IDC_RESIZE, EN_CHANGE, changed);
    bind.command(IDC_TRIM, BN_CLICKED, changed);
    for (const int list : {IDC_DITHER, IDC_BYTES, IDC_MASK, IDC_FIT, IDC_ROTATE, IDC_FLIP}) {
        bind.command(list, CBN_SELCHANGE, changed);
    }
    bind.command(IDC_TARGET, CBN_SELCHANGE, [this] { OnTargetChange(); });
    const auto message = [&](UINT id,
                             win32::MessageResult (OptionPanel::*handler)(WPARAM, LPARAM)) {
        bind.message(id, [this, handler](WPARAM wParam, LPARAM lParam) {
            return (this->*handler)(wParam, lParam);
        });
    };
    message(WM_HSCROLL, &OptionPanel::OnHScroll);
    message(WM_SIZE, &OptionPanel::OnSize);
    message(WM_GETMINMAXINFO, &OptionPanel::OnGetMinMaxInfo);
    message(WM_PREVIEW_READY, &OptionPanel::OnPreviewReady);
    message(WM_DESTROY, &OptionPanel::OnDestroy);
}

void OptionPanel::Init() {
    FillOptionLists();
    m_nSyntax = 0;
    m_nDither = 0;
    m_nBytes = 0;
    m_nMask = 0;
    m_bHeader = 1;
    m_nFit = 0;
    m_nRotate = 0;
    m_nFlip = 0;
    m_bTrim = 0;
    m_nRadix = 0;
    m_bComment = 0;
    m_bUnique = 0;
    m_bMirror = 0;
    m_nTarget = 0;
    LayOutForResizing();
    m_preview = std::make_unique<PreviewWorker>(m_dialog.Window());
}

void OptionPanel::DoDataExchange(win32::DataExchange& exchange) {
    exchange.ComboIndex(IDC_SYNTAX, m_nSyntax);
    exchange.Text(IDC_LABEL, m_strLabel);
    exchange.Check(IDC_INVERT, m_bInvert);
    exchange.ComboIndex(IDC_DITHER, m_nDither);
    exchange.ComboIndex(IDC_BYTES, m_nBytes);
    exchange.Text(IDC_CELLS, m_strCells);
    exchange.ComboIndex(IDC_MASK, m_nMask);
    exchange.Check(IDC_HEADER, m_bHeader);
    exchange.Text(IDC_RESIZE, m_strResize);
    exchange.ComboIndex(IDC_FIT, m_nFit);
    exchange.ComboIndex(IDC_ROTATE, m_nRotate);
    exchange.ComboIndex(IDC_FLIP, m_nFlip);
    exchange.Check(IDC_TRIM, m_bTrim);
    exchange.ComboIndex(IDC_RADIX, m_nRadix);
    exchange.Check(IDC_COMMENT, m_bComment);
    exchange.Check(IDC_UNIQUE, m_bUnique);
    exchange.Check(IDC_MIRROR, m_bMirror);
    exchange.ComboIndex(IDC_TARGET, m_nTarget);
}

void OptionPanel::FillOptionLists() const {
    const auto add = [&](int id, const std::wstring& text) {
        ::SendDlgItemMessageW(m_dialog.Window(), id, CB_ADDSTRING, 0,
                              reinterpret_cast<LPARAM>(text.c_str()));
    };
    const auto wide = [](std::string_view text) { return std::wstring(text.begin(), text.end()); };
    for (const rastelle::SyntaxPreset& preset : rastelle::SyntaxPresets()) {
        const rastelle::AssemblerSyntax& syntax = preset.syntax;
        add(IDC_SYNTAX, wide(preset.name) + L":  " +
                            (syntax.kind != rastelle::TextKind::Assembler
                                 ? std::wstring(L"0x3C, 0xC3,")
                                 : wide(syntax.directive) + L" " + wide(syntax.literalPrefix) +
                                       L"00111100" + wide(syntax.literalSuffix)));
    }
    for (const wchar_t* text : {L"Binary", L"Hexadecimal", L"Decimal"}) {
        add(IDC_RADIX, text);
    }
    add(IDC_TARGET, L"None");
    for (const rastelle::DisplayTarget& target : rastelle::DisplayTargets()) {
        add(IDC_TARGET, wide(target.name));
    }
    for (const wchar_t* text : {L"None", L"Ordered", L"Floyd\x2013Steinberg", L"Atkinson"}) {
        add(IDC_DITHER, text);
    }
    for (const wchar_t* text :
         {L"Rows, left pixel in bit 7", L"Rows, left pixel in bit 0", L"Pages of 8 rows"}) {
        add(IDC_BYTES, text);
    }
    for (const wchar_t* text : {L"None", L"From transparency, before", L"From transparency, after",
                                L"From transparency, as a block"}) {
        add(IDC_MASK, text);
    }
    for (const wchar_t* text : {L"Contain, padded", L"Cover, cut", L"Stretch"}) {
        add(IDC_FIT, text);
    }
    for (const wchar_t* text :
         {L"None", L"90\x00b0 clockwise", L"180\x00b0", L"270\x00b0 clockwise"}) {
        add(IDC_ROTATE, text);
    }
    for (const wchar_t* text : {L"None", L"Left to right", L"Top to bottom", L"Both"}) {
        add(IDC_FLIP, text);
    }
}

void OptionPanel::LayOutForResizing() {
    const HWND window = m_dialog.Window();
    RECT bounds{};
    ::GetWindowRect(window, &bounds);
    m_minimumSize = {bounds.right - bounds.left, bounds.bottom - bounds.top};
    m_anchors.Begin(window);
    RECT panel{};
    ::GetWindowRect(m_dialog.Item(IDC_SYNTAX), &panel);
    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT rect{};
        ::GetWindowRect(child, &rect);
        if (child == m_dialog.Item(IDC_OUTPUT)) {
            m_anchors.Add(child, 0, 0, 50, 100);
        } else if (child == m_dialog.Item(IDC_PREVIEW)) {
            m_anchors.Add(child, 50, 0, 50, 100);
        } else if (rect.left >= panel.left) {
            m_anchors.Add(child, 50, 0, 0, 0);
        }
    }
}

void OptionPanel::Read(ChosenOptions& options) const {
    using namespace rastelle;
    ConversionSettings& settings = options.settings;
    settings.invert = m_bInvert != 0;
    constexpr Dither kDithers[] = {Dither::None, Dither::Ordered, Dither::FloydSteinberg,
                                   Dither::Atkinson};
    settings.dither = kDithers[m_nDither >= 0 && m_nDither < 4 ? m_nDither : 0];
    settings.layout = m_nBytes == 2 ? ByteLayout::Pages : ByteLayout::Rows;
    settings.bitOrder = m_nBytes == 1 ? BitOrder::Bit0First : BitOrder::Default;
    settings.mask = m_nMask > 0 ? MaskSource::Alpha : MaskSource::None;
    constexpr MaskLayout kMaskLayouts[] = {MaskLayout::Before, MaskLayout::Before,
                                           MaskLayout::After, MaskLayout::Block};
    settings.maskLayout = kMaskLayouts[m_nMask > 0 && m_nMask < 4 ? m_nMask : 0];
    settings.header = m_bHeader != 0;
    const auto presets = SyntaxPresets();
    options.syntax = presets[m_nSyntax > 0 && static_cast<std::size_t>(m_nSyntax) < presets.size()
                                 ? static_cast<std::size_t>(m_nSyntax)
                                 : 0]
                         .syntax;
    // Binary is each syntax's own default: hexadecimal in C.
    constexpr Radix kRadixes[] = {Radix::Default, Radix::Hex, Radix::Decimal};
    settings.radix = kRadixes[m_nRadix > 0 && m_nRadix < 3 ? m_nRadix : 0];
    settings.comment = m_bComment != 0;
    if (options.syntax.kind == TextKind::Xbm) {
        // An X BitMap is whole bytes of rows, the left pixel in bit 0, after its size; its
        // readers take no comment among the bytes.
        settings.layout = ByteLayout::Rows;
        settings.bitOrder = BitOrder::Bit0First;
        settings.fill = settings.fill == FillMode::None ? FillMode::Zeros : settings.fill;
        settings.centre = false;
        settings.header = true;
        settings.comment = false;
        settings.mask = settings.maskLayout == MaskLayout::Block ? settings.mask : MaskSource::None;
    }

    if (!m_strCells.empty() && !ParseCells(m_strCells, settings.cellWidth, settings.cellHeight)) {
        settings.cellWidth = settings.cellHeight = 0;
        options.error =
            L"Cells must be a width and a height in pixels, as 8x8, or empty for "
            L"the whole picture.";
    }
    GeometrySettings& geometry = options.geometry;
    if (!m_strResize.empty() &&
        !ParseCells(m_strResize, geometry.resizeWidth, geometry.resizeHeight, true)) {
        geometry.resizeWidth = geometry.resizeHeight = 0;
        options.error =
            L"Resize must be a width and a height in pixels, as 128x64, one of them (128x or "
            L"x64) to keep the proportions, or empty for the size as it is.";
    }
    constexpr Fit kFits[] = {Fit::Contain, Fit::Cover, Fit::Stretch};
    geometry.fit = kFits[m_nFit > 0 && m_nFit < 3 ? m_nFit : 0];
    geometry.rotate = m_nRotate > 0 && m_nRotate < 4 ? 90 * m_nRotate : 0;
    constexpr Flip kFlips[] = {Flip::None, Flip::Horizontal, Flip::Vertical, Flip::Both};
    geometry.flip = kFlips[m_nFlip > 0 && m_nFlip < 4 ? m_nFlip : 0];
    options.trim = m_bTrim != 0;
    // Tiles are cells: without cells the boxes, greyed, change nothing.
    settings.unique = m_bUnique != 0 && settings.cellWidth > 0;
    settings.mirror = settings.unique && m_bMirror != 0;
    for (const wchar_t c : m_strLabel) {
        options.label += c < 0x80 ? static_cast<char>(c) : '?';
    }
    if (!options.label.empty() && !IsValidLabel(options.label)) {
        options.error =
            L"The label must be letters, digits and _, not starting with a digit, "
            L"or empty for none.";
    }
}

void OptionPanel::EnableTileBoxes() {
    m_dialog.UpdateData(true);
    std::int32_t width = 0;
    std::int32_t height = 0;
    const bool cells = ParseCells(m_strCells, width, height);
    ::EnableWindow(m_dialog.Item(IDC_UNIQUE), cells ? TRUE : FALSE);
    ::EnableWindow(m_dialog.Item(IDC_MIRROR), cells && m_bUnique != 0 ? TRUE : FALSE);
}

void OptionPanel::OnTilesChange() {
    RequestPreview();
    EnableTileBoxes();
}

// A target sets the controls it settles; they can be changed again afterwards.
void OptionPanel::OnTargetChange() {
    m_dialog.UpdateData(true);
    const auto targets = rastelle::DisplayTargets();
    if (m_nTarget > 0 && static_cast<std::size_t>(m_nTarget) <= targets.size()) {
        const rastelle::DisplayTarget& target = targets[static_cast<std::size_t>(m_nTarget) - 1];
        m_nBytes = target.layout == rastelle::ByteLayout::Pages       ? 2
                   : target.bitOrder == rastelle::BitOrder::Bit0First ? 1
                                                                      : 0;
        m_nRadix = target.radix == rastelle::Radix::Hex ? 1 : 0;
        m_bInvert = target.invert ? 1 : 0;
        const auto presets = rastelle::SyntaxPresets();
        for (std::size_t i = 0; i < presets.size() && !target.syntax.empty(); ++i) {
            m_nSyntax = presets[i].name == target.syntax ? static_cast<int>(i) : m_nSyntax;
        }
        m_dialog.UpdateData(false);
    }
    RequestPreview();
}

void OptionPanel::RequestPreview() {
    if (!m_preview) {
        return;
    }
    PreviewRequest request = m_subject();
    RECT room{};
    ::GetClientRect(m_dialog.Item(IDC_PREVIEW), &room);
    request.maxWidth = room.right;
    request.maxHeight = room.bottom;
    m_preview->Request(std::move(request));
}

// The threshold's trackbar.
win32::MessageResult OptionPanel::OnHScroll(WPARAM, LPARAM control) {
    if (reinterpret_cast<HWND>(control) == m_dialog.Item(IDC_THRESHOLD_SLIDER)) {
        RequestPreview();
    }
    return std::nullopt;
}

win32::MessageResult OptionPanel::OnPreviewReady(WPARAM, LPARAM) {
    if (m_preview) {
        if (auto image = m_preview->Take()) {
            win32::SetPixelImage(m_dialog.Item(IDC_PREVIEW), std::move(*image));
        }
    }
    return 0;
}

win32::MessageResult OptionPanel::OnSize(WPARAM type, LPARAM) {
    if (m_preview && type != SIZE_MINIMIZED) {
        m_anchors.Apply();
        RequestPreview();
    }
    return std::nullopt;
}

win32::MessageResult OptionPanel::OnGetMinMaxInfo(WPARAM, LPARAM info) {
    if (m_minimumSize.cx == 0) {
        return std::nullopt;
    }
    reinterpret_cast<MINMAXINFO*>(info)->ptMinTrackSize = {m_minimumSize.cx, m_minimumSize.cy};
    return 0;
}

win32::MessageResult OptionPanel::OnDestroy(WPARAM, LPARAM) {
    m_preview.reset();
    return std::nullopt;
}
