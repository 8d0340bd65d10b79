#include <windows.h>

#include <atomic>

#include <gtest/gtest.h>

#include "GuiDriver.h"

namespace {

using namespace testing_ui;

class ShellTest : public MainDialogTest {
  protected:
    LRESULT Send(UINT message, WPARAM wParam) {
        return ::SendMessageW(Window(), message, wParam, 0);
    }
};

TEST_F(ShellTest, WindowMenuEndsWithAnItemThatOpensTheAboutBox) {
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

TEST_F(ShellTest, MinimizedWindowShowsTheProgramIcon) {
    const auto big = Send(WM_GETICON, ICON_BIG);
    EXPECT_NE(big, 0);
    EXPECT_EQ(Send(WM_GETICON, ICON_SMALL), big);
    // Sent, not posted: Wine drops a minimize posted to an unmanaged window.
    Send(WM_SYSCOMMAND, SC_MINIMIZE);
    EXPECT_TRUE(::IsIconic(Window()));
    EXPECT_EQ(Send(WM_QUERYDRAGICON, 0), big);
    // Painting the minimized window draws the icon without disturbing the dialog.
    ui_.Invoke([&] { ::RedrawWindow(Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); });
    Send(WM_SYSCOMMAND, SC_RESTORE);
    EXPECT_FALSE(::IsIconic(Window()));
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
        return window != nullptr && ::IsWindowVisible(window);
    }));
    ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitUntil([&] { return status != -1; }));
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(::IsWindow(window));
}

}  // namespace
