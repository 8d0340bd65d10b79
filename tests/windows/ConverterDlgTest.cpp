#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "GuiDriver.h"
#include "UiThread.h"
#include "resource.h"
#include "ui/ConverterDlg.h"
#include "win32/Application.h"

namespace {

using namespace testing_ui;

class ConverterDialogTest : public testing::Test {
  protected:
    UiThread ui_;
    RunningDialog<CConverterDlg> dialog_{ui_, static_cast<HWND>(nullptr)};

    HWND Window() const { return dialog_.Window(); }
    HWND Item(int id) const { return dialog_.Item(id); }
    int TrackbarPosition() const {
        return static_cast<int>(::SendMessageW(Item(IDC_THRESHOLD_SLIDER), TBM_GETPOS, 0, 0));
    }
    // Focuses the threshold field and types over its whole text.
    void TypeThreshold(std::wstring_view text) { TypeOver(Window(), Item(IDC_THRESHOLD), text); }
    // Waits for the exchange's complaint about the threshold field and confirms it.
    void ConfirmNumberMessage() {
        HWND box = WaitForDialogBox(ui_.Id(), Window(), win32::ApplicationName());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(StaticTexts(box),
                  std::vector<std::wstring>{L"Please enter an integer between 0 and 255."});
        Click(::GetDlgItem(box, IDOK));
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
    }
};

struct ExpectedControl {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    int x, y, width, height;
    DWORD style;  // compared under kStyleMask
};

constexpr DWORD kStyleMask = WS_TABSTOP | WS_GROUP | WS_VSCROLL | WS_HSCROLL | 0xFFFF;
constexpr DWORD kEdit = WS_TABSTOP | ES_AUTOHSCROLL;

const ExpectedControl kControls[] = {
    {-1, L"Static", L"I&nputfile:", 7, 9, 28, 8, WS_GROUP | SS_LEFT},
    {IDC_INPUT_FILE, L"Edit", L"", 39, 7, 243, 13, kEdit},
    {IDC_BROWSE, L"Button", L"&Browse", 292, 7, 50, 14, WS_TABSTOP | BS_PUSHBUTTON},
    {-1, L"Button", L"AutoComplete", 14, 23, 133, 56, BS_GROUPBOX},
    {IDC_USE_AUTOCOMPLETE, L"Button", L"Use &AutoComplete", 20, 31, 75, 10,
     WS_TABSTOP | BS_AUTOCHECKBOX},
    {IDC_FILL_ZEROS, L"Button", L"AutoComplete with &0s", 27, 42, 84, 10,
     WS_GROUP | BS_AUTORADIOBUTTON},
    {IDC_FILL_ONES, L"Button", L"AutoComplete with &1s", 27, 52, 84, 10,
     WS_GROUP | BS_AUTORADIOBUTTON},
    {IDC_CENTER_IMAGE, L"Button", L"C&enter Image", 28, 63, 58, 10, WS_TABSTOP | BS_AUTOCHECKBOX},
    {-1, L"Button", L"Width", 168, 46, 86, 32, BS_GROUPBOX},
    {IDC_WIDTH_BITS, L"Button", L"Width in B&its", 174, 54, 55, 10, WS_GROUP | BS_AUTORADIOBUTTON},
    {IDC_WIDTH_BYTES, L"Button", L"Width in B&ytes", 174, 64, 61, 10, BS_AUTORADIOBUTTON},
    {IDC_CONVERT, L"Button", L"&Convert", 273, 50, 50, 14, WS_TABSTOP | BS_DEFPUSHBUTTON},
    {IDC_OUTPUT, L"Edit", L"", 7, 84, 335, 147,
     ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_HSCROLL},
    {IDC_THRESHOLD_SLIDER, L"msctls_trackbar32", L"Slider2", 157, 32, 131, 12,
     WS_TABSTOP | TBS_BOTH | TBS_NOTICKS},
    {-1, L"Static", L"Black/White Seperation", 179, 24, 77, 8, WS_GROUP | SS_LEFT},
    {IDC_THRESHOLD, L"Edit", L"", 289, 31, 35, 14, kEdit | ES_NUMBER},
    {IDC_CLEAR, L"Button", L"C&lear", 273, 64, 50, 14, WS_TABSTOP | BS_PUSHBUTTON},
};

TEST_F(ConverterDialogTest, WindowMatchesTheTemplate) {
    EXPECT_EQ(Text(Window()), L"Rastelle");
    const auto style = static_cast<DWORD>(::GetWindowLongW(Window(), GWL_STYLE));
    const DWORD expected = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    EXPECT_EQ(style & (expected | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD), expected);
    EXPECT_TRUE(::GetWindowLongW(Window(), GWL_EXSTYLE) & WS_EX_APPWINDOW);

    RECT client{};
    ::GetClientRect(Window(), &client);
    const RECT units = DialogUnits(Window(), 0, 0, 349, 238);
    EXPECT_EQ(client.right, units.right);
    EXPECT_EQ(client.bottom, units.bottom);

    // Centred on the screen's work area.
    RECT window{};
    ::GetWindowRect(Window(), &window);
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR(window.left - work.left, work.right - window.right, 1);
    EXPECT_NEAR(window.top - work.top, work.bottom - window.bottom, 1);
}

TEST_F(ConverterDialogTest, ControlsFollowTheTableInTabOrder) {
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(Window(), GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    ASSERT_EQ(children.size(), std::size(kControls));
    for (std::size_t i = 0; i < children.size(); ++i) {
        const ExpectedControl& want = kControls[i];
        HWND control = children[i];
        SCOPED_TRACE(testing::Message() << "control " << i << " (id " << want.id << ")");
        EXPECT_EQ(::GetDlgCtrlID(control), want.id);
        wchar_t className[64] = {};
        ::GetClassNameW(control, className, 64);
        EXPECT_EQ(_wcsicmp(className, want.className), 0) << testing::PrintToString(className);
        if (want.id != IDC_OUTPUT && want.id != IDC_INPUT_FILE && want.id != IDC_THRESHOLD) {
            EXPECT_EQ(Text(control), want.text);
        }
        const RECT rect = ClientRectOf(Window(), control);
        const RECT units = DialogUnits(Window(), want.x, want.y, want.width, want.height);
        EXPECT_EQ(rect.left, units.left);
        EXPECT_EQ(rect.top, units.top);
        EXPECT_EQ(rect.right, units.right);
        EXPECT_EQ(rect.bottom, units.bottom);
        const auto style = static_cast<DWORD>(::GetWindowLongW(control, GWL_STYLE));
        DWORD mask = kStyleMask;
        if ((want.style & BS_TYPEMASK) == BS_AUTORADIOBUTTON) {
            mask &= ~static_cast<DWORD>(WS_TABSTOP);  // the system moves it to the checked button
        }
        EXPECT_EQ(style & mask, want.style) << std::hex << style;
        if (want.className == std::wstring_view(L"Edit")) {
            // A border, in whichever form the system keeps it.
            const auto exStyle = static_cast<DWORD>(::GetWindowLongW(control, GWL_EXSTYLE));
            EXPECT_TRUE((style & WS_BORDER) || (exStyle & WS_EX_CLIENTEDGE));
        }
    }
}

TEST_F(ConverterDialogTest, OpensInItsInitialState) {
    EXPECT_EQ(Text(Item(IDC_INPUT_FILE)), L"");
    EXPECT_EQ(Text(Item(IDC_OUTPUT)), L"");
    EXPECT_EQ(Text(Item(IDC_THRESHOLD)), L"128");
    EXPECT_TRUE(IsChecked(Item(IDC_WIDTH_BITS)));
    EXPECT_FALSE(IsChecked(Item(IDC_WIDTH_BYTES)));
    EXPECT_TRUE(IsChecked(Item(IDC_USE_AUTOCOMPLETE)));
    EXPECT_TRUE(IsChecked(Item(IDC_FILL_ZEROS)));
    EXPECT_FALSE(IsChecked(Item(IDC_FILL_ONES)));
    EXPECT_FALSE(IsChecked(Item(IDC_CENTER_IMAGE)));
    for (int id : {IDC_FILL_ZEROS, IDC_FILL_ONES, IDC_CENTER_IMAGE}) {
        EXPECT_TRUE(IsEnabled(Item(id))) << id;
    }
    HWND trackbar = Item(IDC_THRESHOLD_SLIDER);
    EXPECT_EQ(::SendMessageW(trackbar, TBM_GETRANGEMIN, 0, 0), 0);
    EXPECT_EQ(::SendMessageW(trackbar, TBM_GETRANGEMAX, 0, 0), 255);
    EXPECT_EQ(TrackbarPosition(), 128);

    EXPECT_EQ(FocusedWindow(ui_.Id()), Item(IDC_INPUT_FILE));
    EXPECT_EQ(::SendMessageW(Window(), DM_GETDEFID, 0, 0), MAKELONG(IDC_CONVERT, DC_HASDEFID));
    EXPECT_GT(static_cast<DWORD>(::SendMessageW(Item(IDC_OUTPUT), EM_GETLIMITTEXT, 0, 0)), 30000u);

    dialog_.Members([&](CConverterDlg& d) {
        EXPECT_FALSE(d.m_hWorker);
        EXPECT_EQ(d.m_dwWorkerId, 0u);
        EXPECT_EQ(d.m_sliderThreshold.Window(), trackbar);
        EXPECT_EQ(d.m_strInputFile, L"");
        EXPECT_EQ(d.m_strOutput, L"");
        EXPECT_EQ(d.m_nWidthUnit, 0);
        EXPECT_EQ(d.m_bUseAutoComplete, 1);
        EXPECT_EQ(d.m_bCenterImage, 0);
        EXPECT_EQ(d.m_nFillZeros, 0);
        EXPECT_EQ(d.m_nFillOnes, -1);
        EXPECT_EQ(d.m_nThreshold, 128);
        EXPECT_TRUE(d.m_hIcon);
        return 0;
    });
}

TEST_F(ConverterDialogTest, FillButtonsExcludeEachOther) {
    struct Step {
        int click;
        bool zeros;
    };
    for (const Step step : {Step{IDC_FILL_ONES, false}, Step{IDC_FILL_ONES, false},
                            Step{IDC_FILL_ZEROS, true}, Step{IDC_FILL_ZEROS, true}}) {
        SCOPED_TRACE(step.click);
        Click(Item(step.click));
        EXPECT_EQ(IsChecked(Item(IDC_FILL_ZEROS)), step.zeros);
        EXPECT_EQ(IsChecked(Item(IDC_FILL_ONES)), !step.zeros);
        EXPECT_EQ(dialog_.Members([](CConverterDlg& d) { return d.m_nFillZeros; }),
                  step.zeros ? 0 : -1);
        EXPECT_EQ(dialog_.Members([](CConverterDlg& d) { return d.m_nFillOnes; }),
                  step.zeros ? -1 : 0);
    }
}

TEST_F(ConverterDialogTest, AutoCompleteSwitchesItsOptionsAndKeepsTheirMarks) {
    Click(Item(IDC_FILL_ONES));
    Click(Item(IDC_CENTER_IMAGE));

    Click(Item(IDC_USE_AUTOCOMPLETE));
    EXPECT_FALSE(IsChecked(Item(IDC_USE_AUTOCOMPLETE)));
    for (int id : {IDC_FILL_ZEROS, IDC_FILL_ONES, IDC_CENTER_IMAGE}) {
        EXPECT_FALSE(IsEnabled(Item(id))) << id;
    }
    EXPECT_TRUE(IsEnabled(Item(IDC_WIDTH_BITS)));
    EXPECT_FALSE(IsChecked(Item(IDC_FILL_ZEROS)));
    EXPECT_TRUE(IsChecked(Item(IDC_FILL_ONES)));
    EXPECT_TRUE(IsChecked(Item(IDC_CENTER_IMAGE)));
    EXPECT_EQ(dialog_.Members([](CConverterDlg& d) { return d.m_bUseAutoComplete; }), 0);

    Click(Item(IDC_USE_AUTOCOMPLETE));
    for (int id : {IDC_FILL_ZEROS, IDC_FILL_ONES, IDC_CENTER_IMAGE}) {
        EXPECT_TRUE(IsEnabled(Item(id))) << id;
    }
    EXPECT_TRUE(IsChecked(Item(IDC_FILL_ONES)));
    EXPECT_TRUE(IsChecked(Item(IDC_CENTER_IMAGE)));
}

TEST_F(ConverterDialogTest, TypedThresholdMovesTheTrackbarKeystrokeByKeystroke) {
    Focus(Window(), Item(IDC_THRESHOLD));
    SelectAll(Item(IDC_THRESHOLD));
    for (const auto& [key, value] : {std::pair{L"2", 2}, {L"0", 20}, {L"0", 200}}) {
        Type(Item(IDC_THRESHOLD), key);
        EXPECT_EQ(TrackbarPosition(), value);
        EXPECT_EQ(Text(Item(IDC_THRESHOLD)), std::to_wstring(value));
    }
    EXPECT_EQ(dialog_.Members([](CConverterDlg& d) { return d.m_nThreshold; }), 200);
}

TEST_F(ConverterDialogTest, MovedTrackbarShowsInTheFieldWhenItGainsTheFocus) {
    HWND trackbar = Item(IDC_THRESHOLD_SLIDER);
    MoveTrackbarWithKeys(Window(), trackbar, 40);
    ASSERT_EQ(TrackbarPosition(), 40);
    EXPECT_EQ(Text(Item(IDC_THRESHOLD)), L"128");

    PostKey(trackbar, VK_TAB);
    EXPECT_TRUE(WaitUntil([&] { return FocusedWindow(ui_.Id()) == Item(IDC_THRESHOLD); }));
    EXPECT_TRUE(WaitUntil([&] { return Text(Item(IDC_THRESHOLD)) == L"40"; }));
    EXPECT_EQ(TrackbarPosition(), 40);
    EXPECT_EQ(dialog_.Members([](CConverterDlg& d) { return d.m_nThreshold; }), 40);
}

TEST_F(ConverterDialogTest, EmptyThresholdIsReportedAndTheLastValueReturns) {
    TypeThreshold(L"20");
    ASSERT_EQ(TrackbarPosition(), 20);

    SelectAll(Item(IDC_THRESHOLD));
    PostType(Item(IDC_THRESHOLD), L"\b");
    ConfirmNumberMessage();
    EXPECT_TRUE(WaitUntil([&] { return Text(Item(IDC_THRESHOLD)) == L"20"; }));
    EXPECT_EQ(TrackbarPosition(), 20);
    EXPECT_EQ(dialog_.Members([](CConverterDlg& d) { return d.m_nThreshold; }), 20);
}

TEST_F(ConverterDialogTest, ThresholdAbove255IsReportedAndTheLastValueReturns) {
    TypeThreshold(L"30");
    ASSERT_EQ(TrackbarPosition(), 30);

    PostType(Item(IDC_THRESHOLD), L"0");
    ConfirmNumberMessage();
    EXPECT_TRUE(WaitUntil([&] { return Text(Item(IDC_THRESHOLD)) == L"30"; }));
    EXPECT_EQ(TrackbarPosition(), 30);
}

TEST_F(ConverterDialogTest, ClearEmptiesTheOutput) {
    Focus(Window(), Item(IDC_OUTPUT));
    Type(Item(IDC_OUTPUT), L"\t.db 1,1");
    ASSERT_EQ(Text(Item(IDC_OUTPUT)), L"\t.db 1,1");

    Click(Item(IDC_CLEAR));
    EXPECT_EQ(Text(Item(IDC_OUTPUT)), L"");
    EXPECT_EQ(dialog_.Members([](CConverterDlg& d) { return d.m_strOutput; }), L"");
    EXPECT_EQ(Text(Item(IDC_THRESHOLD)), L"128");
}

TEST_F(ConverterDialogTest, OutputHoldsMoreThanTheEditControlsDefault) {
    const std::wstring big(40000, L'1');
    dialog_.Members([&](CConverterDlg& d) {
        d.m_strOutput = big;
        return d.UpdateData(false);
    });
    EXPECT_EQ(::SendMessageW(Item(IDC_OUTPUT), WM_GETTEXTLENGTH, 0, 0),
              static_cast<LRESULT>(big.size()));
}

class BrowseTest : public ConverterDialogTest {
  protected:
    HWND OpenFileDialog() {
        PostClick(Item(IDC_BROWSE));
        return WaitForDialogBox(ui_.Id(), Window(), L"Open", 30s);
    }
};

TEST_F(BrowseTest, CancelLeavesTheInputField) {
    Focus(Window(), Item(IDC_INPUT_FILE));
    Type(Item(IDC_INPUT_FILE), L"typed.bmp");
    HWND box = OpenFileDialog();
    ASSERT_NE(box, nullptr);
    Click(::GetDlgItem(box, IDCANCEL));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
    EXPECT_EQ(Text(Item(IDC_INPUT_FILE)), L"typed.bmp");
    EXPECT_EQ(dialog_.Members([](CConverterDlg& d) { return d.m_strInputFile; }), L"typed.bmp");
}

TEST_F(BrowseTest, ConfirmedFileReplacesTheInputWithItsFullPath) {
    // A name outside any ANSI code page must come through intact.
    wchar_t folder[MAX_PATH] = {};
    ASSERT_GT(::GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring path = std::wstring(folder) + L"Bild \x00e9\x4e2d\x0416.bmp";
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::CloseHandle(file);

    Focus(Window(), Item(IDC_INPUT_FILE));
    Type(Item(IDC_INPUT_FILE), L"old.bmp");
    HWND box = OpenFileDialog();
    ASSERT_NE(box, nullptr);
    // The name field: a combo box in the explorer-style dialog, an edit in the older one.
    HWND name = ::GetDlgItem(box, 0x47C);
    if (HWND edit = ::FindWindowExW(name, nullptr, L"Edit", nullptr)) {
        name = edit;
    }
    if (name == nullptr) {
        name = ::GetDlgItem(box, 0x480);
    }
    ASSERT_NE(name, nullptr);
    ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    Click(::GetDlgItem(box, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));

    EXPECT_EQ(Text(Item(IDC_INPUT_FILE)), path);
    EXPECT_EQ(dialog_.Members([](CConverterDlg& d) { return d.m_strInputFile; }), path);
    ::DeleteFileW(path.c_str());
}

TEST_F(ConverterDialogTest, EscapeEndsTheDialog) {
    Focus(Window(), Item(IDC_THRESHOLD));
    PostKey(Item(IDC_THRESHOLD), VK_ESCAPE);
    ASSERT_TRUE(dialog_.WaitEnded());
    EXPECT_EQ(dialog_.Result(), IDCANCEL);
}

class EnterTest : public ConverterDialogTest, public testing::WithParamInterface<int> {};

TEST_P(EnterTest, ClicksConvert) {
    CommandSpy spy(ui_, Window());
    Focus(Window(), Item(GetParam()));
    PostKey(Item(GetParam()), VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return spy.Saw(IDC_CONVERT, BN_CLICKED); }));
    EXPECT_FALSE(dialog_.Ended());
}

INSTANTIATE_TEST_SUITE_P(FromFieldsAndCheckBoxes, EnterTest,
                         testing::Values(IDC_INPUT_FILE, IDC_THRESHOLD, IDC_USE_AUTOCOMPLETE));

TEST_F(ConverterDialogTest, EnterOnAnotherPushButtonPressesThatButton) {
    Focus(Window(), Item(IDC_OUTPUT));
    Type(Item(IDC_OUTPUT), L"text");
    CommandSpy spy(ui_, Window());
    Focus(Window(), Item(IDC_CLEAR));
    PostKey(Item(IDC_CLEAR), VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return Text(Item(IDC_OUTPUT)).empty(); }));
    EXPECT_TRUE(spy.Saw(IDC_CLEAR, BN_CLICKED));
    EXPECT_FALSE(spy.Saw(IDC_CONVERT, BN_CLICKED));
}

TEST_F(ConverterDialogTest, EnterInTheOutputStartsANewLine) {
    CommandSpy spy(ui_, Window());
    Focus(Window(), Item(IDC_OUTPUT));
    Type(Item(IDC_OUTPUT), L"a");
    PostKey(Item(IDC_OUTPUT), VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return Text(Item(IDC_OUTPUT)) == L"a\r\n"; }));
    EXPECT_FALSE(spy.Saw(IDC_CONVERT, BN_CLICKED));
}

}  // namespace
