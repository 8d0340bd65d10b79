#include <windows.h>

#include <commctrl.h>

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "GuiDriver.h"
#include "resource.h"
#include "win32/DataExchange.h"

namespace {

using namespace testing_ui;

class ConverterDialogTest : public MainDialogTest {
  protected:
    HWND Focused() {
        return ui_.Invoke([] { return ::GetFocus(); });
    }
    int Trackbar() const {
        return static_cast<int>(::SendMessageW(Item(IDC_THRESHOLD_SLIDER), TBM_GETPOS, 0, 0));
    }
};

TEST_F(ConverterDialogTest, OpensCentredWithEmptyFieldsAndTheMiddleThreshold) {
    RECT window{};
    RECT work{};
    ::GetWindowRect(Window(), &window);
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR(window.left - work.left, work.right - window.right, 1);
    EXPECT_NEAR(window.top - work.top, work.bottom - window.bottom, 1);

    EXPECT_EQ(Text(Item(IDC_INPUT_FILE)) + Text(Item(IDC_OUTPUT)), L"");
    EXPECT_EQ(Text(Item(IDC_THRESHOLD)), L"128");
    EXPECT_EQ(Trackbar(), 128);
    EXPECT_EQ(::SendMessageW(Item(IDC_THRESHOLD_SLIDER), TBM_GETRANGEMAX, 0, 0), 255);
    EXPECT_EQ(Focused(), Item(IDC_INPUT_FILE));
}

// A click (none: as the window opens), then the option buttons Use AutoComplete, 0s, 1s,
// Center Image, Bits and Bytes: checked, enabled.
constexpr struct {
    int click;
    const char* checked;
    const char* enabled;
} kOptionSteps[] = {
    {0, "110010", "111111"},
    {IDC_FILL_ONES, "101010", "111111"},
    {IDC_FILL_ONES, "101010", "111111"},
    {IDC_WIDTH_BYTES, "101001", "111111"},
    {IDC_CENTER_IMAGE, "101101", "111111"},
    {IDC_FILL_ZEROS, "110101", "111111"},
    {IDC_FILL_ZEROS, "110101", "111111"},
    {IDC_FILL_ONES, "101101", "111111"},
    {IDC_USE_AUTOCOMPLETE, "001101", "100011"},
    {IDC_USE_AUTOCOMPLETE, "101101", "111111"},
};

TEST_F(ConverterDialogTest, OptionButtonsFollowTheRules) {
    for (const auto& step : kOptionSteps) {
        if (step.click != 0) {
            Click(Item(step.click));
        }
        std::string checked;
        std::string enabled;
        for (int id : {IDC_USE_AUTOCOMPLETE, IDC_FILL_ZEROS, IDC_FILL_ONES, IDC_CENTER_IMAGE,
                       IDC_WIDTH_BITS, IDC_WIDTH_BYTES}) {
            checked += IsChecked(Item(id)) ? '1' : '0';
            enabled += ::IsWindowEnabled(Item(id)) ? '1' : '0';
        }
        EXPECT_EQ(checked, step.checked) << "after clicking " << step.click;
        EXPECT_EQ(enabled, step.enabled) << "after clicking " << step.click;
    }
}

TEST_F(ConverterDialogTest, TextsSurviveTheExchangeOfAClickAndClearEmptiesTheOutput) {
    const std::wstring path = L"C:\\Bilder\\\x00e9t\x00e9 \x4e2d.bmp";
    TypeOver(Window(), Item(IDC_INPUT_FILE), path);
    TypeOver(Window(), Item(IDC_OUTPUT), L"\t.db 1,1");
    Click(Item(IDC_FILL_ZEROS));  // takes the controls and shows them again
    EXPECT_EQ(Text(Item(IDC_INPUT_FILE)), path);
    EXPECT_EQ(Text(Item(IDC_OUTPUT)), L"\t.db 1,1");

    Click(Item(IDC_CLEAR));
    EXPECT_EQ(Text(Item(IDC_OUTPUT)), L"");
    Click(Item(IDC_FILL_ZEROS));
    EXPECT_EQ(Text(Item(IDC_OUTPUT)), L"");
}

TEST_F(ConverterDialogTest, TypedThresholdMovesTheTrackbarKeystrokeByKeystroke) {
    TypeOver(Window(), Item(IDC_THRESHOLD), L"");
    for (const auto& [key, value] : {std::pair{L"2", 2}, {L"0", 20}, {L"0", 200}}) {
        Type(Item(IDC_THRESHOLD), key);
        EXPECT_EQ(Trackbar(), value);
        EXPECT_EQ(Text(Item(IDC_THRESHOLD)), std::to_wstring(value));
    }
}

TEST_F(ConverterDialogTest, MovedTrackbarShowsInTheFieldWhenItGainsTheFocus) {
    MoveTrackbarWithKeys(Window(), Item(IDC_THRESHOLD_SLIDER), 40);
    ASSERT_EQ(Trackbar(), 40);
    EXPECT_EQ(Text(Item(IDC_THRESHOLD)), L"128");
    PostKey(Item(IDC_THRESHOLD_SLIDER), VK_TAB);
    ui_.Drain();
    EXPECT_EQ(Focused(), Item(IDC_THRESHOLD));
    EXPECT_EQ(Text(Item(IDC_THRESHOLD)), L"40");
    EXPECT_EQ(Trackbar(), 40);
}

TEST_F(ConverterDialogTest, ThresholdOutside0To255IsReportedAndTheLastValueReturns) {
    // The value typed first, then keys that make the field empty or too big.
    for (const auto& [before, keys] : {std::pair{L"7", L"\b"}, {L"30", L"0"}, {L"25", L"6"}}) {
        TypeOver(Window(), Item(IDC_THRESHOLD), before);
        const int trackbar = Trackbar();
        Type(Item(IDC_THRESHOLD), keys, true);
        HWND box = WaitForDialogBox(ui_.Id(), Window());
        ASSERT_NE(box, nullptr) << testing::PrintToString(keys);
        EXPECT_EQ(StaticTexts(box).size(), 1u);
        Click(::GetDlgItem(box, IDOK));
        EXPECT_TRUE(WaitUntil([&] { return Text(Item(IDC_THRESHOLD)) == before; }));
        EXPECT_EQ(Trackbar(), trackbar);
    }
}

TEST_F(ConverterDialogTest, ExchangeOnTheDialogsThreadRunsNoHandler) {
    dialog_.Members([](CConverterDlg& d) {
        d.m_nThreshold = 50;
        return d.UpdateData(false);
    });
    EXPECT_EQ(Text(Item(IDC_THRESHOLD)), L"50");
    EXPECT_EQ(Trackbar(), 128);  // the threshold's change handler would have moved it
}

TEST_F(ConverterDialogTest, BrowseReplacesTheInputOnlyWhenConfirmed) {
    // A name outside any ANSI code page must come through intact.
    wchar_t folder[MAX_PATH] = {};
    ASSERT_GT(::GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring path = std::wstring(folder) + L"Bild \x00e9\x4e2d\x0416.bmp";
    ::CloseHandle(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, 0));
    TypeOver(Window(), Item(IDC_INPUT_FILE), L"typed.bmp");
    for (const int button : {IDCANCEL, IDOK}) {
        PostClick(Item(IDC_BROWSE));
        HWND box = WaitForDialogBox(ui_.Id(), Window());
        ASSERT_NE(box, nullptr);
        // The name field: an edit inside the explorer-style dialog's combo box.
        HWND name = ::GetDlgItem(box, 0x47C);
        if (HWND edit = ::FindWindowExW(name, nullptr, L"Edit", nullptr)) {
            name = edit;
        }
        ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        Click(::GetDlgItem(box, button));
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
        EXPECT_EQ(Text(Item(IDC_INPUT_FILE)), button == IDOK ? path : L"typed.bmp");
    }
    ::DeleteFileW(path.c_str());
}

// Enter with the focus on `control`: whether Convert runs, and the output afterwards ("a"
// before, the caret at its end).
struct EnterCase {
    int control;
    bool converts;
    const wchar_t* output;
};

class EnterTest : public ConverterDialogTest, public testing::WithParamInterface<EnterCase> {};

TEST_P(EnterTest, ActsOnTheFocusedControl) {
    ::SetWindowTextW(Item(IDC_OUTPUT), L"a");
    Focus(Window(), Item(GetParam().control));
    ::SendMessageW(Item(IDC_OUTPUT), EM_SETSEL, 1, 1);
    PostKey(Item(GetParam().control), VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return Text(Item(IDC_OUTPUT)) == GetParam().output; }));
    ui_.Drain();  // Convert has started a worker by now, if it ran
    EXPECT_EQ(dialog_.Members([](CConverterDlg& d) { return d.m_dwWorkerId != 0; }),
              GetParam().converts);
}

constexpr EnterCase kEnterCases[] = {{IDC_INPUT_FILE, true, L"a"},
                                     {IDC_THRESHOLD, true, L"a"},
                                     {IDC_USE_AUTOCOMPLETE, true, L"a"},
                                     {IDC_CLEAR, false, L""},
                                     {IDC_OUTPUT, false, L"a\r\n"}};
INSTANTIATE_TEST_SUITE_P(Controls, EnterTest, testing::ValuesIn(kEnterCases));

TEST(ParseByte, TakesDecimalsFrom0To255Only) {
    // -1: refused. L"\x0661" is an Arabic-Indic one.
    const std::pair<const wchar_t*, int> cases[] = {
        {L"0", 0},      {L"255", 255}, {L"007", 7},  {L" 12\t", 12},
        {L"", -1},      {L"  ", -1},   {L"256", -1}, {L"-1", -1},
        {L"+1", -1},    {L"1a", -1},   {L"1 2", -1}, {L"99999999999999999999", -1},
        {L"\x0661", -1}};
    for (const auto& [text, value] : cases) {
        const auto parsed = win32::ParseByte(text);
        EXPECT_EQ(parsed ? int{*parsed} : -1, value) << testing::PrintToString(text);
    }
}

struct FailingDialog : CConverterDlg {
    bool OnInitDialog() override { throw std::runtime_error("handler failed"); }
};

TEST(Dialog, HandlerExceptionEndsTheDialogAndSurfacesFromRunModal) {
    UiThread ui;
    ui.Invoke([] { EXPECT_THROW(FailingDialog().RunModal(), std::runtime_error); });
}

}  // namespace
