#include "ConverterDlg.h"

#include <new>

#include "ConversionWorker.h"
#include "PreviewWorker.h"
#include "text/RowEncoder.h"

#include "resource.h"
#include "win32/Application.h"
#include "win32/Clipboard.h"
#include "win32/DataExchange.h"
#include "win32/FileOpenDialog.h"
#include "win32/MessageBox.h"
#include "win32/Resources.h"

CConverterDlg::CConverterDlg(HWND parent)
    : Dialog(IDD_CONVERTER, parent),
      m_hIcon(win32::LoadIconResource(IDR_MAINFRAME, ::GetSystemMetrics(SM_CXICON),
                                      ::GetSystemMetrics(SM_CYICON))) {
    BindMessage(WM_SYSCOMMAND, &CConverterDlg::OnSysCommand);
    BindMessage(WM_PAINT, &CConverterDlg::OnPaint);
    BindMessage(WM_QUERYDRAGICON, &CConverterDlg::OnQueryDragIcon);
    BindClick(IDC_CONVERT, &CConverterDlg::OnConvert);
    BindClick(IDC_BROWSE, &CConverterDlg::OnBrowse);
    BindClick(IDC_USE_AUTOCOMPLETE, &CConverterDlg::OnUseAutoComplete);
    BindClick(IDC_FILL_ZEROS, &CConverterDlg::OnFillZeros);
    BindClick(IDC_FILL_ONES, &CConverterDlg::OnFillOnes);
    BindEditChange(IDC_THRESHOLD, &CConverterDlg::OnThresholdChange);
    BindEditSetFocus(IDC_THRESHOLD, &CConverterDlg::OnThresholdSetFocus);
    BindClick(IDC_CLEAR, &CConverterDlg::OnClear);
    BindMessage(WM_CONVERSION_OPENED, &CConverterDlg::OnConversionOpened);
    BindMessage(WM_CONVERSION_PUBLISHED, &CConverterDlg::OnConversionPublished);
    BindMessage(WM_CONVERSION_FAILED, &CConverterDlg::OnConversionFailed);
    BindMessage(WM_CONVERSION_TILES, &CConverterDlg::OnConversionTiles);
    BindMessage(WM_TIMER, &CConverterDlg::OnTimer);
    BindMessage(WM_DROPFILES, &CConverterDlg::OnDropFiles);
    BindCommand(IDC_OUTPUT, EN_ERRSPACE, &CConverterDlg::OnOutputErrSpace);
    BindClick(IDC_COPY, &CConverterDlg::OnCopy);
    // The panel's controls and messages, and the original controls that change the picture: the
    // panel redraws the preview.
    m_panel.Bind({[this](int control, WORD notification, CommandHandler handler) {
                      BindCommand(control, notification, std::move(handler));
                  },
                  [this](UINT message, MessageHandler handler) {
                      BindMessage(message, std::move(handler));
                  }});
}

namespace {

// Takes the next piece of the output once the input waiting in the queue has been handled.
constexpr UINT_PTR kNextPieceTimer = 1;

// "263 bytes", "80.0 MiB".
std::wstring SizeText(std::uint64_t bytes) {
    constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
    if (bytes < kMiB) {
        return std::to_wstring(bytes) + L" bytes";
    }
    const std::uint64_t tenths = bytes * 10 / kMiB;
    return std::to_wstring(tenths / 10) + L"." + std::to_wstring(tenths % 10) + L" MiB";
}

}  // namespace

CConverterDlg::~CConverterDlg() = default;

void CConverterDlg::DoDataExchange(win32::DataExchange& exchange) {
    exchange.Control(IDC_THRESHOLD_SLIDER, m_sliderThreshold);
    exchange.Text(IDC_INPUT_FILE, m_strInputFile);
    exchange.Text(IDC_OUTPUT, m_strOutput);
    exchange.Radio(IDC_WIDTH_BITS, m_nWidthUnit);
    exchange.Check(IDC_USE_AUTOCOMPLETE, m_bUseAutoComplete);
    exchange.Check(IDC_CENTER_IMAGE, m_bCenterImage);
    exchange.Radio(IDC_FILL_ZEROS, m_nFillZeros);
    exchange.Radio(IDC_FILL_ONES, m_nFillOnes);
    exchange.Text(IDC_THRESHOLD, m_nThreshold);
    m_panel.DoDataExchange(exchange);
}

bool CConverterDlg::OnInitDialog() {
    Dialog::OnInitDialog();

    AddAboutItem();
    ::SendMessageW(Window(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon.Get()));
    ::SendMessageW(Window(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon.Get()));

    m_hWorker.Reset();
    m_dwWorkerId = 0;
    m_nWidthUnit = 0;
    m_nFillZeros = 0;
    m_nFillOnes = -1;
    m_bCenterImage = 0;
    m_bUseAutoComplete = 1;

    m_sliderThreshold.SetRange(0, 255, false);
    m_sliderThreshold.SetPosition(128, true);
    m_nThreshold = 128;

    // A whole conversion's text must fit, far beyond the edit control's default 30,000.
    ::SendDlgItemMessageW(Window(), IDC_OUTPUT, EM_SETLIMITTEXT, 0, 0);
    ::DragAcceptFiles(Window(), TRUE);

    m_panel.Init();

    UpdateData(false);
    m_panel.EnableTileBoxes();
    return true;
}

ChosenOptions CConverterDlg::Options() const {
    using namespace rastelle;
    ChosenOptions options;
    ConversionSettings& settings = options.settings;
    settings.fill = m_bUseAutoComplete == 0 ? FillMode::None
                    : m_nFillOnes == 0      ? FillMode::Ones
                                            : FillMode::Zeros;
    settings.centre = m_bCenterImage != 0;
    settings.threshold = static_cast<std::uint8_t>(m_sliderThreshold.Position() & 0xFF);
    m_panel.Read(options);
    return options;
}

PreviewRequest CConverterDlg::PreviewSubject() {
    UpdateData(true);
    const ChosenOptions options = Options();
    return {m_strInputFile, options.settings, options.geometry, options.trim, 0, 0};  // no room yet
}

// The run's own text, whatever the field shows of it, in one step.
void CConverterDlg::OnCopy() {
    const std::string text = m_run ? m_run->board.Text() : std::string();
    if (!text.empty() && !win32::CopyToClipboard(Window(), text)) {
        win32::ShowMessageBox(Window(), L"Could not copy the text to the clipboard.",
                              MB_OK | MB_ICONEXCLAMATION);
    }
}

void CConverterDlg::AddAboutItem() const {
    HMENU menu = ::GetSystemMenu(Window(), FALSE);
    if (menu == nullptr) {
        return;
    }
    const std::wstring text = win32::LoadStringResource(IDS_ABOUTBOX);
    if (!text.empty()) {
        ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, text.c_str());
    }
}

win32::MessageResult CConverterDlg::OnSysCommand(WPARAM command, LPARAM) {
    if ((command & 0xFFF0) != IDM_ABOUTBOX) {
        return std::nullopt;
    }
    if (win32::Application* application = win32::Application::Current()) {
        application->ShowAboutBox(Window());
    }
    return 0;
}

win32::MessageResult CConverterDlg::OnPaint(WPARAM, LPARAM) {
    if (!::IsIconic(Window())) {
        return std::nullopt;
    }
    win32::PaintDc dc(Window());
    ::SendMessageW(Window(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.Get()), 0);
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT client{};
    ::GetClientRect(Window(), &client);
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    ::DrawIcon(dc.Get(), x, y, m_hIcon.Get());
    return 0;
}

win32::MessageResult CConverterDlg::OnQueryDragIcon(WPARAM, LPARAM) {
    return reinterpret_cast<LRESULT>(m_hIcon.Get());
}

// A run still going is cancelled: two runs never write the output field.
void CConverterDlg::OnConvert() {
    StopWorker(*this);

    // The trackbar is the authority when a run starts.
    UpdateData(true);
    m_nThreshold = static_cast<std::uint8_t>(m_sliderThreshold.Position() & 0xFF);
    UpdateData(false);

    ChosenOptions options = Options();
    if (!options.error.empty()) {
        win32::ShowMessageBox(Window(), options.error, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    auto run = std::make_shared<ConversionRun>();
    run->dialog = Window();
    run->inputFile = m_strInputFile;
    run->settings = options.settings;  // the threshold as the trackbar shows it
    run->geometry = options.geometry;
    run->trim = options.trim;
    run->syntax = options.syntax;
    run->label = PictureName(std::move(options.label), run->settings, run->inputFile);

    auto* parameter = new std::shared_ptr<ConversionRun>(run);
    DWORD threadId = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, ConvertThreadProc, parameter, 0, &threadId);
    if (thread == nullptr) {
        delete parameter;
        return;
    }
    m_run = std::move(run);
    m_nOutputShown = 0;
    ::SetWindowTextW(Item(IDC_TILE_COUNT), L"");
    ::KillTimer(Window(), kNextPieceTimer);
    m_hWorker.Reset(thread);
    m_dwWorkerId = threadId;
}

win32::MessageResult CConverterDlg::OnConversionOpened(WPARAM runParameter,
                                                       LPARAM reportParameter) {
    const auto* run = reinterpret_cast<const ConversionRun*>(runParameter);
    auto* report = reinterpret_cast<OpenReport*>(reportParameter);
    if (run != m_run.get() || run->cancelled) {
        return 0;
    }
    if (!report->opened) {
        win32::ShowMessageBox(Window(), L"Could not open file", MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    using Kind = rastelle::ConversionIssue::Kind;
    if (const std::optional<rastelle::ConversionIssue>& issue = report->issue) {
        const auto number = [&](std::size_t i) { return std::to_wstring(issue->numbers[i]); };
        if (issue->kind == Kind::TextTooBig) {
            SayTooBig(static_cast<std::uint64_t>(issue->numbers[0]));
        } else {
            const std::wstring text = issue->kind == Kind::CellRemainder
                                          ? number(0) + L" x " + number(1) +
                                                L" pixels are no whole number of " + number(2) +
                                                L" x " + number(3) + L" cells: " + number(4) +
                                                L" columns and " + number(5) + L" rows left over"
                                          : std::wstring(issue->text.begin(), issue->text.end());
            win32::ShowMessageBox(Window(), text + L".", MB_OK | MB_ICONEXCLAMATION);
        }
        return 0;
    }
    m_run->textBytes = report->textBytes;
    UpdateData(true);
    if (report->completedPath) {
        // The field shows the file being converted, whatever was typed since.
        m_strInputFile = run->inputFile + L".bmp";
    }
    if (run->settings.fill == rastelle::FillMode::None) {
        m_nWidthUnit = 0;  // a width in bytes needs whole bytes
    }
    UpdateData(false);
    report->widthUnit = m_nWidthUnit == 1 ? rastelle::WidthUnit::Bytes : rastelle::WidthUnit::Bits;
    return 1;
}

// Shows the newest publication of the current run, one bounded piece per message, so the
// dialog answers between pieces; the field always shows the header and whole rows. Once the
// user has edited or cleared the field it is emptied and filled again from the start: one
// WM_SETTEXT of megabytes would block the window for a minute under Wine.
win32::MessageResult CConverterDlg::OnConversionPublished(WPARAM paintFirst, LPARAM) {
    if (!m_run || m_run->cancelled) {
        return 0;
    }
    HWND output = Item(IDC_OUTPUT);
    if (paintFirst != 0) {
        ::UpdateWindow(output);
        m_dwOutputPainted = ::GetTickCount();
        TakeNextPieceLater();
        return 0;
    }
    const bool showsPrevious =
        m_nOutputShown != 0 && ::SendMessageW(output, EM_GETMODIFY, 0, 0) == 0 &&
        static_cast<std::size_t>(::GetWindowTextLengthW(output)) == m_nOutputShown;
    if (!showsPrevious) {
        m_nOutputShown = 0;
        if (::GetWindowTextLengthW(output) != 0) {
            // Emptying a field of megabytes is a step of its own.
            ::SetWindowTextW(output, L"");
            TakeNextPieceLater();
            return 0;
        }
    }
    PublicationBoard::Piece piece;
    try {
        piece = m_run->board.Take(m_nOutputShown, OutputLimits::pieceChars);
    } catch (const std::bad_alloc&) {
        m_run->cancelled = true;
        SayOutOfMemory();
        return 0;
    }
    if (piece.text.empty()) {
        return 0;
    }
    if (m_nOutputShown == 0) {
        ReserveOutput(m_run->textBytes);
    }
    m_bOutputOutOfSpace = false;
    const auto end = static_cast<WPARAM>(m_nOutputShown);
    {
        // Hidden, the field neither draws its scroll bars nor scrolls on screen for each append,
        // which under Wine cost about 20 ms per append; the piece shows with the next paint.
        // This is what WM_SETREDRAW does, but Wine's edit control ignores that message.
        const LONG style = ::GetWindowLongW(output, GWL_STYLE);
        ::SetWindowLongW(output, GWL_STYLE, style & ~LONG{WS_VISIBLE});
        ::SendMessageW(output, EM_SETSEL, end, static_cast<LPARAM>(end));
        ::SendMessageW(output, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.text.c_str()));
        ::SetWindowLongW(output, GWL_STYLE, style);
        ::RedrawWindow(output, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    }
    if (m_bOutputOutOfSpace) {
        m_run->cancelled = true;  // the field kept what it had: whole rows
        SayOutOfMemory();
        return 0;
    }
    ::SendMessageW(output, EM_SETMODIFY, FALSE, 0);
    m_nOutputShown += piece.text.size();
    // A posted follow-up would come before the paint message: every 100 ms the next one
    // paints the field first, so it grows visibly and the paint is a message of its own.
    if (piece.more) {
        TakeNextPieceLater(::GetTickCount() - m_dwOutputPainted >= 100);
    }
    return 0;
}

// Gives the empty output field a buffer for the whole text. The edit control grows its buffer
// to just the size needed on every append, copying the text so far each time: under Wine that
// made the last appends of a 6.5 MB text a third to a half slower than the first. Without memory
// for it, the field grows as before.
void CConverterDlg::ReserveOutput(std::uint64_t chars) const {
    HWND output = Item(IDC_OUTPUT);
    if (::GetWindowTextLengthW(output) != 0) {
        return;
    }
    const std::uint64_t bytes = (chars + 1) * sizeof(wchar_t);
    if (bytes > SIZE_MAX) {
        return;
    }
    HLOCAL buffer = ::LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, static_cast<SIZE_T>(bytes));
    if (buffer == nullptr) {
        return;
    }
    // The field owns the new buffer from here on; the old one is ours to free.
    auto* previous = reinterpret_cast<HLOCAL>(::SendMessageW(output, EM_GETHANDLE, 0, 0));
    ::SendMessageW(output, EM_SETHANDLE, reinterpret_cast<WPARAM>(buffer), 0);
    if (previous != nullptr && previous != buffer) {
        ::LocalFree(previous);
    }
}

// A posted follow-up is taken before input waiting in the queue, a timer's after it.
void CConverterDlg::TakeNextPieceLater(bool paintFirst) {
    if (HIWORD(::GetQueueStatus(QS_INPUT)) != 0) {
        ::SetTimer(Window(), kNextPieceTimer, USER_TIMER_MINIMUM, nullptr);
    } else {
        ::PostMessageW(Window(), WM_CONVERSION_PUBLISHED, paintFirst ? 1 : 0, 0);
    }
}

win32::MessageResult CConverterDlg::OnTimer(WPARAM timer, LPARAM) {
    if (timer != kNextPieceTimer) {
        return std::nullopt;
    }
    ::KillTimer(Window(), kNextPieceTimer);
    return OnConversionPublished(0, 0);
}

// Sent by the output field, from inside an append, when it cannot grow.
void CConverterDlg::OnOutputErrSpace() {
    m_bOutputOutOfSpace = true;
}

win32::MessageResult CConverterDlg::OnConversionTiles(WPARAM, LPARAM) {
    // A run that has ended since counts for nothing: the count is read from the current one.
    const std::int64_t tiles = m_run && !m_run->cancelled ? m_run->tiles.load() : -1;
    if (tiles >= 0) {
        const std::wstring text = std::to_wstring(tiles) + (tiles == 1 ? L" tile" : L" tiles");
        ::SetWindowTextW(Item(IDC_TILE_COUNT), text.c_str());
    }
    return 0;
}

win32::MessageResult CConverterDlg::OnConversionFailed(WPARAM, LPARAM) {
    if (m_run && m_run->outOfMemory.exchange(false)) {
        SayOutOfMemory();
    }
    return 0;
}

void CConverterDlg::SayTooBig(std::uint64_t textBytes) const {
    const std::wstring text =
        L"The text of this image is " + SizeText(textBytes) + L", more than the " +
        SizeText(OutputLimits::textBytes) +
        L" this window can show.\n\nThe command-line tool rastelle-cli.exe, beside Rastelle.exe, "
        L"converts it to a file.";
    ::MessageBoxW(Window(), text.c_str(), L"Rastelle", MB_OK | MB_ICONEXCLAMATION);
}

void CConverterDlg::SayOutOfMemory() const {
    ::MessageBoxW(
        Window(),
        L"Out of memory: the conversion stopped. The output shows the rows converted "
        L"so far.\n\nThe command-line tool rastelle-cli.exe converts big images to a file.",
        L"Rastelle", MB_OK | MB_ICONEXCLAMATION);
}

// A file dropped from a file manager is converted as Browse then Convert would; of several,
// the first.
win32::MessageResult CConverterDlg::OnDropFiles(WPARAM dropParameter, LPARAM) {
    const win32::DropHandle drop(reinterpret_cast<HDROP>(dropParameter));
    const UINT length = ::DragQueryFileW(drop.Get(), 0, nullptr, 0);
    if (length == 0) {
        return 0;
    }
    std::wstring path(length + 1, L'\0');
    path.resize(::DragQueryFileW(drop.Get(), 0, path.data(), length + 1));
    UpdateData(true);
    m_strInputFile = std::move(path);
    UpdateData(false);
    RequestPreview();
    OnConvert();
    return 0;
}

void CConverterDlg::OnBrowse() {
    UpdateData(true);
    if (auto path = win32::FileOpenDialog().Show(Window())) {
        m_strInputFile = std::move(*path);
        UpdateData(false);
        RequestPreview();
    }
}

void CConverterDlg::OnUseAutoComplete() {
    UpdateData(true);
    const BOOL enable = m_bUseAutoComplete != 0 ? TRUE : FALSE;
    ::EnableWindow(Item(IDC_FILL_ZEROS), enable);
    ::EnableWindow(Item(IDC_FILL_ONES), enable);
    ::EnableWindow(Item(IDC_CENTER_IMAGE), enable);
    RequestPreview();
}

void CConverterDlg::OnFillZeros() {
    UpdateData(true);
    m_nFillOnes = -1;
    UpdateData(false);
    RequestPreview();
}

void CConverterDlg::OnFillOnes() {
    UpdateData(true);
    m_nFillZeros = -1;
    UpdateData(false);
    RequestPreview();
}

void CConverterDlg::OnThresholdChange() {
    UpdateData(true);
    m_sliderThreshold.SetPosition(m_nThreshold, true);
    UpdateData(false);
    RequestPreview();
}

void CConverterDlg::OnThresholdSetFocus() {
    UpdateData(true);
    m_nThreshold = static_cast<std::uint8_t>(m_sliderThreshold.Position() & 0xFF);
    UpdateData(false);
}

void CConverterDlg::OnClear() {
    UpdateData(true);
    m_strOutput.clear();
    UpdateData(false);
}
