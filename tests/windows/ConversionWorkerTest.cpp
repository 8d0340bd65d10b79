#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BmpBuilder.h"
#include "GuiDriver.h"
#include "ImageSource.h"
#include "RowEncoder.h"
#include "UiThread.h"
#include "resource.h"
#include "ui/ConversionWorker.h"
#include "ui/ConverterDlg.h"
#include "win32/Application.h"

namespace {

using namespace testing_ui;
namespace fs = std::filesystem;
using rastelle::ConversionSettings;
using rastelle::FillMode;
using rastelle::WidthUnit;

// A 24-bit image whose grey levels run through the whole range, so every threshold matters.
std::vector<std::uint8_t> GreyRamp(std::int32_t width, std::int32_t height) {
    rastelle::test::BmpBuilder bmp;
    bmp.width = width;
    bmp.height = height;
    std::vector<rastelle::test::ByteVector> rows;
    for (std::int32_t y = 0; y < height; ++y) {
        rastelle::test::ByteVector row;
        for (std::int32_t x = 0; x < width; ++x) {
            const auto grey = static_cast<std::uint8_t>((x * 53 + y * 29) % 256);
            row.insert(row.end(), {grey, grey, grey});
        }
        rows.push_back(row);
    }
    bmp.pixels = rastelle::test::PaddedRows(rows);
    return bmp.Build();
}

std::string ExpectedText(const fs::path& path, const ConversionSettings& settings) {
    rastelle::ImageSource source;
    EXPECT_TRUE(source.Open(path).opened);
    return rastelle::EncodeImage(source, settings);
}

std::wstring Widen(const std::string& text) {
    return {text.begin(), text.end()};
}

class ConversionTest : public testing::Test {
  protected:
    void SetUp() override {
        folder_ =
            fs::temp_directory_path() / ("rastelle-worker-" + std::to_string(::GetTickCount()));
        fs::create_directories(folder_);
        Write("ramp.bmp", GreyRamp(21, 7));
    }
    void TearDown() override {
        dialog_.EndAll();
        dialog_.WaitEnded();
        dialog_.Members([](CConverterDlg& d) {
            StopWorker(d);
            return 0;
        });
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    fs::path Write(const char* name, const std::vector<std::uint8_t>& bytes) {
        const fs::path path = folder_ / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    HWND Window() const { return dialog_.Window(); }
    HWND Item(int id) const { return dialog_.Item(id); }
    std::wstring Output() const { return Text(Item(IDC_OUTPUT)); }

    void TypeInto(int id, const std::wstring& text) { TypeOver(Window(), Item(id), text); }
    // Converts the file with the options the dialog shows and waits for `expected`.
    void ConvertAndExpect(const fs::path& path, const std::string& expected) {
        TypeInto(IDC_INPUT_FILE, path.wstring());
        Click(Item(IDC_CONVERT));
        EXPECT_TRUE(WaitUntil([&] { return Output() == Widen(expected); }, 20s))
            << "shown: " << testing::PrintToString(Output()).substr(0, 400);
        EXPECT_EQ(dialog_.Members([](CConverterDlg& d) { return d.m_strOutput; }), Widen(expected));
    }

    fs::path folder_;
    UiThread ui_;
    RunningDialog<CConverterDlg> dialog_{ui_, static_cast<HWND>(nullptr)};
};

TEST_F(ConversionTest, DefaultOptions) {
    const fs::path path = folder_ / "ramp.bmp";
    ConvertAndExpect(path, ExpectedText(path, {FillMode::Zeros, false, WidthUnit::Bits, 128}));
    EXPECT_TRUE(dialog_.Members([](CConverterDlg& d) { return static_cast<bool>(d.m_hWorker); }));
}

TEST_F(ConversionTest, OnesCentredInBytes) {
    Click(Item(IDC_FILL_ONES));
    Click(Item(IDC_CENTER_IMAGE));
    Click(Item(IDC_WIDTH_BYTES));
    const fs::path path = folder_ / "ramp.bmp";
    ConvertAndExpect(path, ExpectedText(path, {FillMode::Ones, true, WidthUnit::Bytes, 128}));
}

TEST_F(ConversionTest, WithoutFillTheBytesButtonGivesWayToBits) {
    Click(Item(IDC_WIDTH_BYTES));
    Click(Item(IDC_USE_AUTOCOMPLETE));
    const fs::path path = folder_ / "ramp.bmp";
    ConvertAndExpect(path, ExpectedText(path, {FillMode::None, false, WidthUnit::Bits, 128}));
    EXPECT_TRUE(IsChecked(Item(IDC_WIDTH_BITS)));
    EXPECT_FALSE(IsChecked(Item(IDC_WIDTH_BYTES)));
    EXPECT_EQ(Output().substr(0, 11), L"\t.db 21,7\r\n");
}

TEST_F(ConversionTest, TypedThreshold) {
    TypeInto(IDC_THRESHOLD, L"77");
    const fs::path path = folder_ / "ramp.bmp";
    ConvertAndExpect(path, ExpectedText(path, {FillMode::Zeros, false, WidthUnit::Bits, 77}));
}

TEST_F(ConversionTest, TrackbarAloneSetsTheThresholdAndShowsInTheField) {
    HWND trackbar = Item(IDC_THRESHOLD_SLIDER);
    MoveTrackbarWithKeys(Window(), trackbar, 10);
    ASSERT_EQ(Text(Item(IDC_THRESHOLD)), L"128");
    const fs::path path = folder_ / "ramp.bmp";
    ConvertAndExpect(path, ExpectedText(path, {FillMode::Zeros, false, WidthUnit::Bits, 10}));
    EXPECT_EQ(Text(Item(IDC_THRESHOLD)), L"10");
    EXPECT_EQ(::SendMessageW(trackbar, TBM_GETPOS, 0, 0), 10);
}

TEST_F(ConversionTest, PathWithoutExtensionIsCompletedInTheField) {
    const fs::path path = folder_ / "ramp.bmp";
    const std::string expected = ExpectedText(path, {});
    ConvertAndExpect(folder_ / "ramp", expected);
    EXPECT_EQ(Text(Item(IDC_INPUT_FILE)), path.wstring());
}

TEST_F(ConversionTest, UnopenableFileIsReportedAndThePreviousOutputKept) {
    const fs::path path = folder_ / "ramp.bmp";
    const std::string expected = ExpectedText(path, {});
    ConvertAndExpect(path, expected);

    Write("notes.txt", {'h', 'e', 'l', 'l', 'o'});
    for (const fs::path& bad : {folder_ / "missing", folder_ / "notes.txt"}) {
        TypeInto(IDC_INPUT_FILE, bad.wstring());
        PostClick(Item(IDC_CONVERT));
        HWND box = WaitForDialogBox(ui_.Id(), Window(), win32::ApplicationName());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(StaticTexts(box), std::vector<std::wstring>{L"Could not open file"});
        EXPECT_EQ(::GetDlgItem(box, IDCANCEL), nullptr);
        Click(::GetDlgItem(box, IDOK));
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
        EXPECT_EQ(Output(), Widen(expected));
        EXPECT_EQ(Text(Item(IDC_INPUT_FILE)), bad.wstring());
    }
}

// Records every text the output field shows, as the user would see it.
std::vector<std::wstring>* g_shown = nullptr;
HWND g_output = nullptr;

LRESULT CALLBACK RecordOutput(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && call->hwnd == g_output &&
        (call->message == WM_SETTEXT || call->message == EM_REPLACESEL)) {
        g_shown->push_back(Text(g_output));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(ConversionTest, OutputGrowsInWholeRowsAndEndsComplete) {
    const fs::path path = Write("tall.bmp", GreyRamp(64, 3000));
    const std::string expected = ExpectedText(path, {});
    std::vector<std::wstring> shown;
    g_shown = &shown;
    g_output = Item(IDC_OUTPUT);
    HHOOK hook = ui_.Invoke(
        [&] { return ::SetWindowsHookExW(WH_CALLWNDPROCRET, RecordOutput, nullptr, ui_.Id()); });
    ASSERT_NE(hook, nullptr);

    ConvertAndExpect(path, expected);
    ui_.Invoke([&] { ::UnhookWindowsHookEx(hook); });

    const std::wstring whole = Widen(expected);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), whole);
    for (const std::wstring& text : shown) {
        ASSERT_LE(text.size(), whole.size());
        EXPECT_EQ(whole.compare(0, text.size(), text), 0);
        // Header plus whole rows: the next character of the full text starts a line end.
        if (text.size() < whole.size()) {
            EXPECT_EQ(whole[text.size()], L'\r') << "cut inside a row at " << text.size();
        }
    }
}

TEST_F(ConversionTest, SecondConvertReplacesTheRunningOne) {
    const fs::path big = Write("big.bmp", GreyRamp(1024, 2000));
    const fs::path small = folder_ / "ramp.bmp";
    TypeInto(IDC_INPUT_FILE, big.wstring());
    Click(Item(IDC_CONVERT));
    Click(Item(IDC_FILL_ONES));
    const std::string expected = ExpectedText(small, {FillMode::Ones, false, WidthUnit::Bits, 128});
    ConvertAndExpect(small, expected);

    // Whatever the first run had published and is still queued stays out of the field.
    std::atomic<bool> queueDrained{false};
    ui_.Post([&] { queueDrained = true; });
    ASSERT_TRUE(WaitUntil([&] { return queueDrained.load(); }));
    EXPECT_EQ(Output(), Widen(expected));
}

TEST_F(ConversionTest, ClosingDuringARunStopsItPromptly) {
    const fs::path big = Write("big.bmp", GreyRamp(1024, 4000));
    TypeInto(IDC_INPUT_FILE, big.wstring());
    Click(Item(IDC_CONVERT));
    ASSERT_TRUE(WaitUntil([&] { return !Output().empty(); }));
    PostKey(Item(IDC_INPUT_FILE), VK_ESCAPE);
    ASSERT_TRUE(dialog_.WaitEnded(2s));

    const auto start = std::chrono::steady_clock::now();
    const bool cleared = dialog_.Members([](CConverterDlg& d) {
        StopWorker(d);
        return !d.m_hWorker && d.m_dwWorkerId == 0 && !d.m_run;
    });
    EXPECT_TRUE(cleared);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

}  // namespace
