#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BmpBuilder.h"
#include "GuiDriver.h"
#include "UiThread.h"
#include "resource.h"
#include "ui/ConversionWorker.h"
#include "ui/ConverterDlg.h"
#include "win32/Application.h"

namespace {

using namespace testing_ui;
namespace fs = std::filesystem;
using rastelle::test::ByteVector;

// A 24-bit image from grey levels given top row first.
ByteVector Greys(const std::vector<std::vector<std::uint8_t>>& top) {
    rastelle::test::BmpBuilder bmp;
    bmp.width = static_cast<std::int32_t>(top[0].size());
    bmp.height = static_cast<std::int32_t>(top.size());
    std::vector<ByteVector> stored;  // bottom-up
    for (auto row = top.rbegin(); row != top.rend(); ++row) {
        ByteVector& out = stored.emplace_back();
        for (const std::uint8_t grey : *row) {
            out.insert(out.end(), {grey, grey, grey});
        }
    }
    bmp.pixels = rastelle::test::PaddedRows(stored);
    return bmp.Build();
}

// 16 x kRows: row y shows y in binary (dark = 1), so every row of the text differs.
constexpr int kRows = 300;
constexpr int kHeldRow = 150;
std::wstring Bits(int value) {
    std::wstring bits;
    for (int bit = 7; bit >= 0; --bit) {
        bits += (value >> bit) & 1 ? L'1' : L'0';
    }
    return bits;
}
std::wstring CountingText(int rows) {
    std::wstring text = L"\t.db 16," + std::to_wstring(kRows);
    for (int y = 0; y < rows; ++y) {
        text += L"\r\n\t.db %" + Bits(y >> 8) + L",%" + Bits(y & 0xFF);
    }
    return rows == kRows ? text + L"\r\n" : text;
}

// The worker blocks before kHeldRow until released, and counts the rows it starts after that.
struct Hold {
    win32::EventHandle reached{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    win32::EventHandle release{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<DWORD> thread{0};
    std::atomic<int> rowsAfter{0};
} g_hold;

void HoldAtRow(std::int32_t y) {
    if (y == kHeldRow && g_hold.thread == 0) {
        g_hold.thread = ::GetCurrentThreadId();
        ::SetEvent(g_hold.reached.Get());
        ::WaitForSingleObject(g_hold.release.Get(), 20000);
    } else if (g_hold.thread == ::GetCurrentThreadId()) {
        ++g_hold.rowsAfter;
    }
}

// Every text the output field shows after an update, as the user sees it.
std::vector<std::wstring> g_shown;
HWND g_output = nullptr;
LRESULT CALLBACK RecordOutput(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && call->hwnd == g_output &&
        (call->message == WM_SETTEXT || call->message == EM_REPLACESEL)) {
        g_shown.push_back(Text(g_output));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

const std::wstring kTiny = L"\t.db 8,2\r\n\t.db %11000000\r\n\t.db %01100000\r\n";

class ConversionTest : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("rastelle-run-" + std::to_string(::GetTickCount()));
        fs::create_directories(folder_);
        Write("tiny.bmp", Greys({{0, 100, 200}, {255, 50, 9}}));
        std::vector<std::vector<std::uint8_t>> counting(kRows, std::vector<std::uint8_t>(16));
        for (int y = 0; y < kRows; ++y) {
            for (int x = 0; x < 16; ++x) {
                counting[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
                    (y >> (15 - x)) & 1 ? 0 : 255;
            }
        }
        Write("counting.bmp", Greys(counting));
        ::ResetEvent(g_hold.reached.Get());
        ::ResetEvent(g_hold.release.Get());
        g_hold.thread = 0;
        g_hold.rowsAfter = 0;
    }
    void TearDown() override {
        ::SetEvent(g_hold.release.Get());
        dialog_.EndAll();
        dialog_.WaitEnded();
        dialog_.Members([](CConverterDlg& d) {
            StopWorker(d);
            return 0;
        });
        OutputLimits::pieceChars = limits_.pieceChars;
        OutputLimits::textBytes = limits_.textBytes;
        OutputLimits::beforeEachRow = nullptr;
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    fs::path Write(const char* name, const ByteVector& bytes) {
        std::ofstream(folder_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return folder_ / name;
    }
    HWND Window() const { return dialog_.Window(); }
    HWND Item(int id) const { return dialog_.Item(id); }
    std::wstring Output() const { return Text(Item(IDC_OUTPUT)); }
    bool Shows(const std::wstring& text) {
        return WaitUntil([&] { return Output() == text; }, 20s);
    }
    void Convert(const char* name) {
        TypeOver(Window(), Item(IDC_INPUT_FILE), (folder_ / name).wstring());
        PostClick(Item(IDC_CONVERT));
    }
    // Converts the counting image and waits until the worker is held with the field showing
    // everything before kHeldRow.
    std::shared_ptr<ConversionRun> ConvertAndHold() {
        OutputLimits::beforeEachRow = HoldAtRow;
        Convert("counting.bmp");
        EXPECT_EQ(::WaitForSingleObject(g_hold.reached.Get(), 20000), WAIT_OBJECT_0);
        EXPECT_TRUE(Shows(CountingText(kHeldRow)));
        return dialog_.Members([](CConverterDlg& d) { return d.m_run; });
    }
    void ReleaseOnceCancelled(const ConversionRun& run) {
        ASSERT_TRUE(WaitUntil([&] { return run.cancelled.load(); }));
        ::SetEvent(g_hold.release.Get());
    }
    // The one message box of the dialog, its text; closed with OK.
    std::wstring AnswerMessage() {
        HWND box = WaitForDialogBox(ui_.Id(), Window(), L"Rastelle", 20s);
        if (box == nullptr) {
            return L"(no message)";
        }
        const std::vector<std::wstring> texts = StaticTexts(box);
        PostClick(::GetDlgItem(box, IDOK));
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
        return texts.empty() ? L"" : texts.back();
    }

    fs::path folder_;
    OutputLimits limits_;
    UiThread ui_;
    RunningDialog<CConverterDlg> dialog_{ui_, static_cast<HWND>(nullptr)};
};

struct OptionsCase {
    const char* name;
    std::vector<int> clicks;
    const wchar_t* threshold;  // typed, or with "trackbar" the trackbar's position
    const char* file;
    std::wstring text;
    const wchar_t* thresholdShown;  // after Convert
};

const std::vector<OptionsCase> kOptionsCases = {
    {"defaults", {}, nullptr, "tiny.bmp", kTiny, L"128"},
    {"onesCentredInBytes",
     {IDC_FILL_ONES, IDC_CENTER_IMAGE, IDC_WIDTH_BYTES},
     nullptr,
     "tiny.bmp",
     L"\t.db 1,2\r\n\t.db %11110111\r\n\t.db %11011111\r\n",
     L"128"},
    {"noFillTurnsBytesIntoBits",
     {IDC_WIDTH_BYTES, IDC_USE_AUTOCOMPLETE},
     nullptr,
     "tiny.bmp",
     L"\t.db 3,2\r\n\t.db %110\r\n\t.db %011\r\n",
     L"128"},
    {"typedThreshold",
     {},
     L"77",
     "tiny.bmp",
     L"\t.db 8,2\r\n\t.db %10000000\r\n\t.db %01100000\r\n",
     L"77"},
    {"trackbarAlone",
     {},
     L"trackbar",
     "tiny.bmp",
     L"\t.db 8,2\r\n\t.db %10000000\r\n\t.db %00100000\r\n",
     L"10"},
    {"pathCompleted", {}, nullptr, "tiny", kTiny, L"128"},
};

class OptionsTest : public ConversionTest, public testing::WithParamInterface<OptionsCase> {};

TEST_P(OptionsTest, RunUsesTheOptionsShown) {
    const OptionsCase& c = GetParam();
    for (const int id : c.clicks) {
        Click(Item(id));
    }
    if (c.threshold != nullptr && std::wstring(c.threshold) == L"trackbar") {
        MoveTrackbarWithKeys(Window(), Item(IDC_THRESHOLD_SLIDER), 10);
    } else if (c.threshold != nullptr) {
        TypeOver(Window(), Item(IDC_THRESHOLD), c.threshold);
    }
    Convert(c.file);
    EXPECT_TRUE(Shows(c.text)) << testing::PrintToString(Output());
    EXPECT_TRUE(dialog_.Members([&](CConverterDlg& d) { return d.m_strOutput == c.text; }));
    EXPECT_EQ(Text(Item(IDC_THRESHOLD)), c.thresholdShown);
    EXPECT_EQ(Text(Item(IDC_INPUT_FILE)), (folder_ / "tiny.bmp").wstring());
    EXPECT_EQ(IsChecked(Item(IDC_WIDTH_BYTES)), c.text.compare(0, 7, L"\t.db 1,") == 0);
}

INSTANTIATE_TEST_SUITE_P(Table, OptionsTest, testing::ValuesIn(kOptionsCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ConversionTest, UnopenableFileIsReportedAndThePreviousOutputKept) {
    Convert("tiny.bmp");
    ASSERT_TRUE(Shows(kTiny));
    Write("notes.txt", {'h', 'i'});
    for (const char* bad : {"missing", "notes.txt"}) {
        Convert(bad);
        HWND box = WaitForDialogBox(ui_.Id(), Window(), win32::ApplicationName());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(StaticTexts(box), std::vector<std::wstring>{L"Could not open file"});
        Click(::GetDlgItem(box, IDOK));
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
        EXPECT_EQ(Output(), kTiny);
        EXPECT_EQ(Text(Item(IDC_INPUT_FILE)), (folder_ / bad).wstring());
    }
}

TEST_F(ConversionTest, TextArrivesInBoundedPiecesOfWholeRowsAndEndsExact) {
    OutputLimits::pieceChars = 1000;
    g_shown.clear();
    g_output = Item(IDC_OUTPUT);
    HHOOK hook = ui_.Invoke(
        [&] { return ::SetWindowsHookExW(WH_CALLWNDPROCRET, RecordOutput, nullptr, ui_.Id()); });
    ConvertAndHold();
    ::SetEvent(g_hold.release.Get());  // the board was drained: the next row must be told
    EXPECT_TRUE(Shows(CountingText(kRows)));
    ui_.Invoke([&] { ::UnhookWindowsHookEx(hook); });

    const std::wstring whole = CountingText(kRows);
    std::size_t before = 0;
    int appends = 0;
    for (const std::wstring& text : g_shown) {
        ASSERT_EQ(whole.compare(0, text.size(), text), 0) << "not a start of the text";
        EXPECT_TRUE(text.empty() || text.size() == whole.size() || whole[text.size()] == L'\r')
            << "a row cut at " << text.size();
        EXPECT_LE(text.size(), before + 1000) << "a piece over the bound";
        appends += text.size() > before ? 1 : 0;
        before = text.size();
    }
    EXPECT_GE(appends, 8);
}

TEST_F(ConversionTest, ClosingDuringARunEndsItBetweenRows) {
    const auto run = ConvertAndHold();
    PostKey(Item(IDC_INPUT_FILE), VK_ESCAPE);
    ASSERT_TRUE(dialog_.WaitEnded(20s)) << "closing waited for the worker";
    CConverterDlg* dialog = dialog_.Members([](CConverterDlg& d) { return &d; });
    std::atomic<bool> stopped{false};
    ui_.Post([&] { StopWorker(*dialog), stopped = true; });
    ReleaseOnceCancelled(*run);
    ASSERT_TRUE(WaitUntil([&] { return stopped.load(); }, 20s));
    EXPECT_EQ(g_hold.rowsAfter, 0) << "the worker went on after it was cancelled";
    EXPECT_TRUE(dialog_.Members([](CConverterDlg& d) { return !d.m_hWorker && !d.m_run; }));
}

TEST_F(ConversionTest, ConvertDuringARunReplacesIt) {
    const auto run = ConvertAndHold();
    Click(Item(IDC_FILL_ONES));
    Convert("tiny.bmp");
    ReleaseOnceCancelled(*run);
    EXPECT_TRUE(Shows(L"\t.db 8,2\r\n\t.db %11011111\r\n\t.db %01111111\r\n"));
    EXPECT_EQ(g_hold.rowsAfter, 0);
    std::atomic<bool> queueDrained{false};  // what the first run left queued stays out
    ui_.Post([&] { queueDrained = true; });
    ASSERT_TRUE(WaitUntil([&] { return queueDrained.load(); }));
    EXPECT_EQ(Output(), L"\t.db 8,2\r\n\t.db %11011111\r\n\t.db %01111111\r\n");
}

TEST_F(ConversionTest, ClearDuringARunEmptiesTheFieldAndTheRunShowsItsWholeText) {
    ConvertAndHold();
    Click(Item(IDC_CLEAR));
    EXPECT_EQ(Output(), L"");
    ::SetEvent(g_hold.release.Get());
    EXPECT_TRUE(Shows(CountingText(kRows)));
}

TEST_F(ConversionTest, DroppedFilesConvertTheFirstWithTheOptionsShown) {
    Click(Item(IDC_FILL_ONES));
    const std::wstring files = (folder_ / "tiny.bmp").wstring() + L'\0' +
                               (folder_ / "counting.bmp").wstring() + L'\0' + L'\0';
    HGLOBAL drop = ::GlobalAlloc(GHND, sizeof(DROPFILES) + files.size() * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(::GlobalLock(drop));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::copy(files.begin(), files.end(), reinterpret_cast<wchar_t*>(header + 1));
    ::GlobalUnlock(drop);
    ::PostMessageW(Window(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    EXPECT_TRUE(Shows(L"\t.db 8,2\r\n\t.db %11011111\r\n\t.db %01111111\r\n"));
    EXPECT_EQ(Text(Item(IDC_INPUT_FILE)), (folder_ / "tiny.bmp").wstring());
}

TEST_F(ConversionTest, TextOverTheWindowsLimitIsRefusedBeforeConverting) {
    Convert("tiny.bmp");
    ASSERT_TRUE(Shows(kTiny));
    OutputLimits::textBytes = 7812;  // one byte short of the counting image's text
    Convert("counting.bmp");
    EXPECT_EQ(AnswerMessage(),
              L"The text of this image is 7813 bytes, more than the 7812 bytes "
              L"this window can show.\n\nThe command-line tool rastelle-cli "
              L"converts it to a file.");
    EXPECT_EQ(Output(), kTiny);
}

TEST_F(ConversionTest, OutOfMemoryInTheWorkerIsSaidAndTheNextRunWorks) {
    OutputLimits::beforeEachRow = [](std::int32_t y) {
        if (y == 1) {
            throw std::bad_alloc();
        }
    };
    Convert("tiny.bmp");
    EXPECT_EQ(AnswerMessage(),
              L"Out of memory: the conversion stopped. The output shows the "
              L"rows converted so far.\n\nThe command-line tool rastelle-cli "
              L"converts big images to a file.");
    EXPECT_EQ(Output(), L"\t.db 8,2\r\n\t.db %11000000");
    OutputLimits::beforeEachRow = nullptr;
    Convert("tiny.bmp");
    EXPECT_TRUE(Shows(kTiny));
}

}  // namespace
