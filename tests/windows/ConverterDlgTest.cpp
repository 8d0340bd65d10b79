#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "GuiDriver.h"
#include "app/ConverterApp.h"
#include "resource.h"
#include "ui/ConverterDlg.h"
#include "win32/DataExchange.h"

namespace {

using namespace testing_ui;

// The main dialog, run as the application runs it.
class ConverterDialogTest : public testing::Test {
  protected:
    CConverterApp application_;  // the window menu's About item goes through it
    UiThread ui_;
    RunningDialog<CConverterDlg> dialog_{ui_, static_cast<HWND>(nullptr)};

    HWND Window() const { return dialog_.Window(); }
    HWND Item(int id) const { return dialog_.Item(id); }
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
    EXPECT_GT(static_cast<DWORD>(::SendMessageW(Item(IDC_OUTPUT), EM_GETLIMITTEXT, 0, 0)), 30000u);
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
    {IDC_CLEAR, "110101", "111111"},  // any other click takes the buttons and shows them again
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
}

TEST_F(ConverterDialogTest, ThresholdFieldAndTrackbarFollowEachOther) {
    TypeOver(Window(), Item(IDC_THRESHOLD), L"");
    for (const auto& [key, value] : {std::pair{L"2", 2}, {L"0", 20}, {L"0", 200}}) {
        Type(Item(IDC_THRESHOLD), key);
        EXPECT_EQ(Trackbar(), value);
        EXPECT_EQ(Text(Item(IDC_THRESHOLD)), std::to_wstring(value));
    }
    // The field shows a moved trackbar once it gains the focus.
    MoveTrackbarWithKeys(Window(), Item(IDC_THRESHOLD_SLIDER), 40);
    ASSERT_EQ(Trackbar(), 40);
    EXPECT_EQ(Text(Item(IDC_THRESHOLD)), L"200");
    PostKey(Item(IDC_THRESHOLD_SLIDER), VK_TAB);
    ui_.Drain();
    EXPECT_EQ(Focused(), Item(IDC_THRESHOLD));
    EXPECT_EQ(Text(Item(IDC_THRESHOLD)), L"40");
    EXPECT_EQ(Trackbar(), 40);

    // An exchange on the dialog's own thread runs no handler: the field's would move the trackbar.
    dialog_.Members([](CConverterDlg& d) {
        d.m_nThreshold = 50;
        return d.UpdateData(false);
    });
    EXPECT_EQ(Text(Item(IDC_THRESHOLD)), L"50");
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
        Click(::GetDlgItem(box, IDOK));
        EXPECT_TRUE(WaitUntil([&] { return Text(Item(IDC_THRESHOLD)) == before; }));
        EXPECT_EQ(Trackbar(), trackbar);
    }
}

TEST_F(ConverterDialogTest, BrowseReplacesTheInputOnlyWhenConfirmed) {
    // A name outside any ANSI code page must come through intact.
    const std::wstring path = L"C:\\Bild \x00e9\x4e2d\x0416.bmp";
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
}

// Enter with the focus on a control: whether Convert runs, and the output afterwards ("a"
// before, the caret at its end).
class EnterTest : public ConverterDialogTest,
                  public testing::WithParamInterface<std::tuple<int, bool, const wchar_t*>> {};

TEST_P(EnterTest, ActsOnTheFocusedControl) {
    const auto [control, converts, output] = GetParam();
    ::SetWindowTextW(Item(IDC_OUTPUT), L"a");
    Focus(Window(), Item(control));
    ::SendMessageW(Item(IDC_OUTPUT), EM_SETSEL, 1, 1);
    PostKey(Item(control), VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return Text(Item(IDC_OUTPUT)) == output; }));
    ui_.Drain();  // Convert has started a worker by now, if it ran
    EXPECT_EQ(dialog_.Members([](CConverterDlg& d) { return d.m_dwWorkerId != 0; }), converts);
}

INSTANTIATE_TEST_SUITE_P(Controls, EnterTest,
                         testing::Values(std::tuple{IDC_INPUT_FILE, true, L"a"},
                                         std::tuple{IDC_THRESHOLD, true, L"a"},
                                         std::tuple{IDC_USE_AUTOCOMPLETE, true, L"a"},
                                         std::tuple{IDC_CLEAR, false, L""},
                                         std::tuple{IDC_OUTPUT, false, L"a\r\n"}));

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

TEST_F(ConverterDialogTest, WindowMenuEndsWithAnItemThatOpensTheAboutBox) {
    const auto [separator, command] = ui_.Invoke([&] {
        HMENU menu = ::GetSystemMenu(Window(), FALSE);
        const int items = ::GetMenuItemCount(menu);
        return std::pair{::GetMenuItemID(menu, items - 2) == 0, ::GetMenuItemID(menu, items - 1)};
    });
    EXPECT_TRUE(separator);

    // The item itself, and another command that is the same once the low four bits are masked;
    // a command beyond them opens nothing.
    for (const auto& [wParam, opens] :
         {std::pair{WPARAM{command}, true}, {0x1F, true}, {0x20, false}}) {
        SCOPED_TRACE(wParam);
        ::PostMessageW(Window(), WM_SYSCOMMAND, wParam, 0);
        ui_.Drain();  // an About box exists by now; it shows once its loop is idle
        ASSERT_EQ(DialogBoxes(ui_.Id()).size(), opens ? 2u : 1u);
        if (!opens) {
            continue;
        }
        HWND box = WaitForDialogBox(ui_.Id(), Window());
        ASSERT_NE(box, nullptr);
        HWND picture = ::FindWindowExW(box, nullptr, L"Static", nullptr);
        EXPECT_NE(::SendMessageW(picture, STM_GETICON, 0, 0), 0);
        EXPECT_FALSE(::IsWindowEnabled(Window()));
        RECT owner{};
        RECT about{};
        ::GetWindowRect(Window(), &owner);
        ::GetWindowRect(box, &about);
        EXPECT_NEAR(owner.left + owner.right, about.left + about.right, 2);
        EXPECT_NEAR(owner.top + owner.bottom, about.top + about.bottom, 2);
        Click(::GetDlgItem(box, IDOK));
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
        EXPECT_TRUE(::IsWindowEnabled(Window()));
    }
}

TEST_F(ConverterDialogTest, MinimizedWindowShowsTheProgramIcon) {
    const auto Send = [&](UINT message, WPARAM wParam) {
        return ::SendMessageW(Window(), message, wParam, 0);
    };
    const auto big = Send(WM_GETICON, ICON_BIG);
    EXPECT_EQ(Send(WM_GETICON, ICON_SMALL), big);
    // In one go on the dialog's thread: Wine may restore the window when it next reads X events.
    ui_.Invoke([&] {
        Send(WM_SYSCOMMAND, SC_MINIMIZE);
        EXPECT_TRUE(::IsIconic(Window()));
        EXPECT_EQ(Send(WM_QUERYDRAGICON, 0), big);
        ::RedrawWindow(Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);  // the icon
        Send(WM_SYSCOMMAND, SC_RESTORE);
        EXPECT_FALSE(::IsIconic(Window()));
    });
    ::PostMessageW(Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(dialog_.WaitEnded());
}

TEST(Application, RunsTheMainDialogUntilItCloses) {
    CConverterApp application;
    UiThread ui;
    std::atomic<int> status{-1};
    ui.Post([&] { status = application.Run(); });
    HWND window = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        window = ui.Invoke([&] {
            return application.MainWindow() ? application.MainWindow()->Window() : nullptr;
        });
        return window != nullptr;
    }));
    ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitUntil([&] { return status != -1; }));
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(::IsWindow(window));
}

}  // namespace
