#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "GuiDriver.h"
#include "UiThread.h"
#include "app/ConverterApp.h"
#include "resource.h"
#include "ui/ConverterDlg.h"

namespace {

using namespace testing_ui;

class ShellTest : public testing::Test {
  protected:
    CConverterApp application_;
    UiThread ui_;
    RunningDialog<CConverterDlg> dialog_{ui_, static_cast<HWND>(nullptr)};

    HWND Window() const { return dialog_.Window(); }
    HICON Icon() {
        return dialog_.Members([](CConverterDlg& d) { return d.m_hIcon.Get(); });
    }
};

TEST_F(ShellTest, WindowMenuEndsWithTheAboutItem) {
    const auto [count, separator, id, text] = ui_.Invoke([&] {
        HMENU menu = ::GetSystemMenu(Window(), FALSE);
        const int items = ::GetMenuItemCount(menu);
        MENUITEMINFOW before{};
        before.cbSize = sizeof(before);
        before.fMask = MIIM_FTYPE;
        ::GetMenuItemInfoW(menu, static_cast<UINT>(items - 2), TRUE, &before);
        wchar_t label[64] = {};
        ::GetMenuStringW(menu, static_cast<UINT>(items - 1), label, 64, MF_BYPOSITION);
        return std::tuple{items, (before.fType & MFT_SEPARATOR) != 0,
                          ::GetMenuItemID(menu, items - 1), std::wstring(label)};
    });
    ASSERT_GE(count, 3);
    EXPECT_TRUE(separator);
    EXPECT_EQ(id, static_cast<UINT>(IDM_ABOUTBOX));
    EXPECT_EQ(text, L"&About Rastelle...");
}

class AboutCommandTest : public ShellTest, public testing::WithParamInterface<WPARAM> {};

TEST_P(AboutCommandTest, OpensTheAboutBoxModallyOverTheMainWindow) {
    ::PostMessageW(Window(), WM_SYSCOMMAND, GetParam(), 0);
    HWND box = WaitForDialogBox(ui_.Id(), Window(), L"About Rastelle");
    ASSERT_NE(box, nullptr);

    const std::vector<std::wstring> texts = StaticTexts(box);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], L"Rastelle Version 1.0");
    EXPECT_FALSE(texts[1].empty());
    HWND ok = ::GetDlgItem(box, IDOK);
    EXPECT_EQ(Text(ok), L"OK");
    HWND picture = ::FindWindowExW(box, nullptr, L"Static", nullptr);
    ASSERT_NE(picture, nullptr);
    EXPECT_NE(::SendMessageW(picture, STM_GETICON, 0, 0), 0);

    EXPECT_FALSE(IsEnabled(Window()));
    RECT owner{};
    RECT about{};
    ::GetWindowRect(Window(), &owner);
    ::GetWindowRect(box, &about);
    EXPECT_NEAR(owner.left + owner.right, about.left + about.right, 2);
    EXPECT_NEAR(owner.top + owner.bottom, about.top + about.bottom, 2);

    Click(ok);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
    EXPECT_TRUE(IsEnabled(Window()));
    EXPECT_FALSE(dialog_.Ended());
}

INSTANTIATE_TEST_SUITE_P(LowBitsMasked, AboutCommandTest, testing::Values(0x10, 0x1F));

TEST_F(ShellTest, OtherSystemCommandsKeepTheirUsualMeaning) {
    // 0x20 lies outside the About item's range once masked: nothing opens.
    ::PostMessageW(Window(), WM_SYSCOMMAND, 0x20, 0);
    std::atomic<bool> passed{false};
    ui_.Post([&] { passed = true; });
    ASSERT_TRUE(WaitUntil([&] { return passed.load(); }));
    EXPECT_TRUE(OwnedDialogBoxes(ui_.Id(), Window()).empty());

    // Sent, not posted: Wine drops a minimize posted to an unmanaged window.
    ::SendMessageW(Window(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitUntil([&] { return ::IsIconic(Window()) != FALSE; }));
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(Window(), WM_QUERYDRAGICON, 0, 0)), Icon());
    // Painting the minimized window draws the icon without disturbing the dialog.
    ui_.Invoke([&] { ::RedrawWindow(Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); });

    ::SendMessageW(Window(), WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsIconic(Window()); }));
    EXPECT_FALSE(dialog_.Ended());

    ::PostMessageW(Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(dialog_.WaitEnded());
    EXPECT_EQ(dialog_.Result(), IDCANCEL);
}

TEST_F(ShellTest, ProgramIconIsTheWindowsBigAndSmallIcon) {
    const HICON icon = Icon();
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(Window(), WM_GETICON, ICON_BIG, 0)), icon);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(Window(), WM_GETICON, ICON_SMALL, 0)), icon);

    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(icon, &info));
    BITMAP mask{};
    ::GetObjectW(info.hbmMask, sizeof(mask), &mask);
    EXPECT_EQ(mask.bmWidth, ::GetSystemMetrics(SM_CXICON));
    ::DeleteObject(info.hbmMask);
    ::DeleteObject(info.hbmColor);
}

TEST(Application, RunsTheMainDialogUntilItCloses) {
    CConverterApp application;
    UiThread ui;
    std::atomic<int> status{-1};
    ui.Post([&] { status = application.Run(); });

    HWND window = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND box : DialogBoxes(ui.Id())) {
            if (::IsWindowVisible(box) && Text(box) == L"Rastelle") {
                window = box;
            }
        }
        return window != nullptr;
    }));
    EXPECT_EQ(ui.Invoke([&] { return application.MainWindow()->Window(); }), window);

    ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitUntil([&] { return status != -1; }));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(application.MainWindow(), nullptr);
    EXPECT_FALSE(::IsWindow(window));
}

}  // namespace
