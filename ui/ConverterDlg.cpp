#include "ConverterDlg.h"

#include "ConversionWorker.h"

#include "resource.h"
#include "win32/Application.h"
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
}

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

    UpdateData(false);
    return true;
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

    auto run = std::make_shared<ConversionRun>();
    run->dialog = Window();
    run->inputFile = m_strInputFile;
    using rastelle::FillMode;
    run->settings.fill = m_bUseAutoComplete == 0 ? FillMode::None
                         : m_nFillOnes == 0      ? FillMode::Ones
                                                 : FillMode::Zeros;
    run->settings.centre = m_bCenterImage != 0;
    run->settings.threshold = m_nThreshold;

    auto* parameter = new std::shared_ptr<ConversionRun>(run);
    DWORD threadId = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, ConvertThreadProc, parameter, 0, &threadId);
    if (thread == nullptr) {
        delete parameter;
        return;
    }
    m_run = std::move(run);
    m_nOutputShown = 0;
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

// Shows the newest publication of the current run. Each update of a multi-line edit costs
// far more than a row of text, so only what is new is appended while the field still shows
// the previous publication; after the user has edited or cleared it, the text is replaced.
win32::MessageResult CConverterDlg::OnConversionPublished(WPARAM, LPARAM) {
    if (!m_run) {
        return 0;
    }
    HWND output = Item(IDC_OUTPUT);
    const bool showsPrevious =
        m_nOutputShown != 0 && m_strOutput.size() == m_nOutputShown &&
        ::SendMessageW(output, EM_GETMODIFY, 0, 0) == 0 &&
        static_cast<std::size_t>(::GetWindowTextLengthW(output)) == m_nOutputShown;
    const std::string added = m_run->board.TakeSince(showsPrevious ? m_nOutputShown : 0);
    if (showsPrevious && added.empty()) {
        return 0;
    }
    const std::wstring wide(added.begin(), added.end());  // the text is plain ASCII
    if (showsPrevious) {
        m_strOutput += wide;
        const auto end = static_cast<WPARAM>(m_nOutputShown);
        ::SendMessageW(output, EM_SETSEL, end, static_cast<LPARAM>(end));
        ::SendMessageW(output, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide.c_str()));
    } else {
        m_strOutput = wide;
        ::SetWindowTextW(output, m_strOutput.c_str());
    }
    ::SendMessageW(output, EM_SETMODIFY, FALSE, 0);
    m_nOutputShown = m_strOutput.size();
    return 0;
}

void CConverterDlg::OnBrowse() {
    UpdateData(true);
    if (auto path = win32::FileOpenDialog().Show(Window())) {
        m_strInputFile = std::move(*path);
        UpdateData(false);
    }
}

void CConverterDlg::OnUseAutoComplete() {
    UpdateData(true);
    const BOOL enable = m_bUseAutoComplete != 0 ? TRUE : FALSE;
    ::EnableWindow(Item(IDC_FILL_ZEROS), enable);
    ::EnableWindow(Item(IDC_FILL_ONES), enable);
    ::EnableWindow(Item(IDC_CENTER_IMAGE), enable);
}

void CConverterDlg::OnFillZeros() {
    UpdateData(true);
    m_nFillOnes = -1;
    UpdateData(false);
}

void CConverterDlg::OnFillOnes() {
    UpdateData(true);
    m_nFillZeros = -1;
    UpdateData(false);
}

void CConverterDlg::OnThresholdChange() {
    UpdateData(true);
    m_sliderThreshold.SetPosition(m_nThreshold, true);
    UpdateData(false);
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
