#include <windows.h>

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "GuiDriver.h"
#include "LayerTestIds.h"
#include "UiThread.h"
#include "win32/Application.h"
#include "win32/DataExchange.h"
#include "win32/Dialog.h"
#include "win32/TrackbarControl.h"

namespace {

using namespace testing_ui;

constexpr UINT kDoubleIt = WM_APP + 7;

class LayerDialog : public win32::Dialog {
  public:
    LayerDialog() : Dialog(IDD_LAYER_TEST, nullptr) {
        BindEditChange(IDC_LT_TEXT, [this] {
            ++textChanges;
            changedOn = ::GetCurrentThreadId();
        });
        BindClick(IDC_LT_THROW, [] { throw std::runtime_error("handler failed"); });
        BindMessage(kDoubleIt, [this](WPARAM value, LPARAM) -> win32::MessageResult {
            handledOn = ::GetCurrentThreadId();
            return static_cast<LRESULT>(value * 2);
        });
    }

    win32::TrackbarControl trackbar;
    std::uint8_t number = 7;
    std::wstring text = L"first";
    int check = BST_CHECKED;
    int radio = 1;

    std::atomic<int> textChanges{0};
    std::atomic<DWORD> changedOn{0};
    std::atomic<DWORD> handledOn{0};

  protected:
    void DoDataExchange(win32::DataExchange& exchange) override {
        exchange.Control(IDC_LT_TRACKBAR, trackbar);
        exchange.Text(IDC_LT_NUMBER, number);
        exchange.Text(IDC_LT_TEXT, text);
        exchange.Check(IDC_LT_CHECK, check);
        exchange.Radio(IDC_LT_RADIO_A, radio);
    }
};

TEST(ParseByte, AcceptsDecimalsUpTo255) {
    EXPECT_EQ(win32::ParseByte(L"0"), 0);
    EXPECT_EQ(win32::ParseByte(L"255"), 255);
    EXPECT_EQ(win32::ParseByte(L"007"), 7);
    EXPECT_EQ(win32::ParseByte(L" 12\t"), 12);
}

TEST(ParseByte, RefusesEverythingElse) {
    for (const wchar_t* text : {L"", L"  ", L"256", L"300", L"-1", L"+1", L"1a", L"1 2",
                                L"99999999999999999999", L"\x0661"}) {
        EXPECT_FALSE(win32::ParseByte(text).has_value())
            << "text: " << testing::PrintToString(text);
    }
}

class LayerTest : public testing::Test {
  protected:
    UiThread ui_;
    RunningDialog<LayerDialog> dialog_{ui_};

    HWND Item(int id) const { return dialog_.Item(id); }
};

TEST_F(LayerTest, ShowsMembersAndTakesTheControlsBack) {
    EXPECT_EQ(Text(Item(IDC_LT_TEXT)), L"first");
    EXPECT_EQ(Text(Item(IDC_LT_NUMBER)), L"7");
    EXPECT_TRUE(IsChecked(Item(IDC_LT_CHECK)));
    EXPECT_FALSE(IsChecked(Item(IDC_LT_RADIO_A)));
    EXPECT_TRUE(IsChecked(Item(IDC_LT_RADIO_B)));
    EXPECT_EQ(dialog_.Members([](LayerDialog& d) { return d.trackbar.Window(); }),
              Item(IDC_LT_TRACKBAR));

    // The push button between B and C belongs to the group but is not counted.
    Click(Item(IDC_LT_RADIO_C));
    Click(Item(IDC_LT_CHECK));
    Focus(dialog_.Window(), Item(IDC_LT_TEXT));
    SelectAll(Item(IDC_LT_TEXT));
    Type(Item(IDC_LT_TEXT), L"\x00e9t\x00e9 \x4e2d");
    SelectAll(Item(IDC_LT_NUMBER));
    Type(Item(IDC_LT_NUMBER), L"42");

    EXPECT_TRUE(dialog_.Members([](LayerDialog& d) { return d.UpdateData(true); }));
    EXPECT_EQ(dialog_.Members([](LayerDialog& d) { return d.radio; }), 2);
    EXPECT_EQ(dialog_.Members([](LayerDialog& d) { return d.check; }), BST_UNCHECKED);
    EXPECT_EQ(dialog_.Members([](LayerDialog& d) { return d.text; }), L"\x00e9t\x00e9 \x4e2d");
    EXPECT_EQ(dialog_.Members([](LayerDialog& d) { return d.number; }), 42);
}

TEST_F(LayerTest, RadioGroupWithNothingCheckedIsMinusOne) {
    dialog_.Members([](LayerDialog& d) {
        d.radio = -1;
        return d.UpdateData(false);
    });
    EXPECT_FALSE(IsChecked(Item(IDC_LT_RADIO_A)));
    EXPECT_FALSE(IsChecked(Item(IDC_LT_RADIO_B)));
    EXPECT_FALSE(IsChecked(Item(IDC_LT_RADIO_C)));

    dialog_.Members([](LayerDialog& d) {
        d.radio = 0;
        return d.UpdateData(true);
    });
    EXPECT_EQ(dialog_.Members([](LayerDialog& d) { return d.radio; }), -1);
}

TEST_F(LayerTest, FailingNumberIsReportedKeptAndTheOthersAreStillTaken) {
    for (const wchar_t* bad : {L"300", L""}) {
        SCOPED_TRACE(testing::PrintToString(bad));
        ::SetWindowTextW(Item(IDC_LT_NUMBER), bad);
        ::SetWindowTextW(Item(IDC_LT_TEXT), L"second");
        std::atomic<int> result{-1};
        ui_.Post(
            [&] { result = dialog_.Members([](LayerDialog& d) { return d.UpdateData(true); }); });

        HWND box = WaitForDialogBox(ui_.Id(), dialog_.Window(), win32::ApplicationName());
        ASSERT_NE(box, nullptr);
        ASSERT_EQ(StaticTexts(box).size(), 1u);
        EXPECT_EQ(StaticTexts(box)[0], L"Please enter an integer between 0 and 255.");
        Click(::GetDlgItem(box, IDOK));

        ASSERT_TRUE(WaitUntil([&] { return result != -1; }));
        EXPECT_EQ(result, 0);
        EXPECT_EQ(dialog_.Members([](LayerDialog& d) { return d.number; }), 7);
        EXPECT_EQ(dialog_.Members([](LayerDialog& d) { return d.text; }), L"second");
    }
}

TEST_F(LayerTest, ShowingLeavesUnchangedControlsAlone) {
    HWND text = Item(IDC_LT_TEXT);
    ::SendMessageW(text, EM_SETSEL, 2, 2);
    dialog_.Members([](LayerDialog& d) { return d.UpdateData(false); });
    DWORD start = 0;
    DWORD end = 0;
    ::SendMessageW(text, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 2u);
    EXPECT_EQ(end, 2u);

    // An exchange from another thread, as a worker's: notifications reach the handlers, but
    // only for controls whose content really changed.
    const int before = dialog_.Members([](LayerDialog& d) { return d.textChanges.load(); });
    dialog_.Members([](LayerDialog& d) { return &d; })->UpdateData(false);
    EXPECT_EQ(dialog_.Members([](LayerDialog& d) { return d.textChanges.load(); }), before);

    dialog_.Members([](LayerDialog& d) {
        d.text = L"changed";
        return 0;
    });
    dialog_.Members([](LayerDialog& d) { return &d; })->UpdateData(false);
    EXPECT_EQ(Text(text), L"changed");
    EXPECT_EQ(dialog_.Members([](LayerDialog& d) { return d.textChanges.load(); }), before + 1);
    EXPECT_EQ(dialog_.Members([](LayerDialog& d) { return d.changedOn.load(); }), ui_.Id());
}

TEST_F(LayerTest, NotificationsOfAnExchangeOnTheDialogsThreadAreLockedOut) {
    const int before = dialog_.Members([](LayerDialog& d) { return d.textChanges.load(); });
    dialog_.Members([](LayerDialog& d) {
        d.text = L"quiet";
        return d.UpdateData(false);
    });
    EXPECT_EQ(Text(Item(IDC_LT_TEXT)), L"quiet");
    EXPECT_EQ(dialog_.Members([](LayerDialog& d) { return d.textChanges.load(); }), before);

    // Outside an exchange the same change is dispatched.
    Type(Item(IDC_LT_TEXT), L"!");
    EXPECT_EQ(dialog_.Members([](LayerDialog& d) { return d.textChanges.load(); }), before + 1);
}

TEST_F(LayerTest, PrivateMessageRunsItsHandlerOnTheDialogsThread) {
    LRESULT answer = 0;
    std::thread worker([&] { answer = ::SendMessageW(dialog_.Window(), kDoubleIt, 21, 0); });
    worker.join();
    EXPECT_EQ(answer, 42);
    EXPECT_EQ(dialog_.Members([](LayerDialog& d) { return d.handledOn.load(); }), ui_.Id());
}

TEST_F(LayerTest, HandlerExceptionEndsTheDialogAndSurfacesFromRunModal) {
    PostClick(Item(IDC_LT_THROW));
    ASSERT_TRUE(dialog_.WaitEnded());
    ASSERT_TRUE(dialog_.Failure());
    try {
        std::rethrow_exception(dialog_.Failure());
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "handler failed");
    }
}

}  // namespace
