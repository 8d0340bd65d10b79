#include <windows.h>

#include <shlobj.h>

#include <algorithm>
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

// An 8-bit image over a grey palette (index = grey level), rows given top first.
void WriteGreys(const fs::path& path, std::int32_t width, std::vector<ByteVector> rows) {
    std::reverse(rows.begin(), rows.end());  // stored bottom-up
    rastelle::test::BmpBuilder bmp;
    bmp.width = width;
    bmp.height = static_cast<std::int32_t>(rows.size());
    bmp.bits = 8;
    for (int grey = 0; grey < 256; ++grey) {
        bmp.palette.insert(bmp.palette.end(), 3, static_cast<std::uint8_t>(grey));
        bmp.palette.push_back(0);
    }
    bmp.pixels = rastelle::test::PaddedRows(rows);
    const ByteVector bytes = bmp.Build();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
}

// 16 x kRows: row y shows y in binary (dark = 1), so every row of the text differs.
constexpr int kRows = 300;
constexpr int kHeldRow = 150;
std::wstring CountingText(int rows) {
    std::wstring text = L"\t.db 16," + std::to_wstring(kRows);
    for (int y = 0; y < rows; ++y) {
        text += L"\r\n\t.db %";
        for (int bit = 15; bit >= 0; --bit) {
            text += std::wstring(bit == 7 ? L",%" : L"") + ((y >> bit) & 1 ? L'1' : L'0');
        }
    }
    return rows == kRows ? text + L"\r\n" : text;
}

// The worker blocks before kHeldRow until released, and counts the rows it starts after.
std::atomic<DWORD> g_heldThread{0}, g_rowsAfter{0};
std::atomic<bool> g_release{false};
void HoldAtRow(std::int32_t y) {
    if (y == kHeldRow && g_heldThread == 0) {
        g_heldThread = ::GetCurrentThreadId();
        WaitUntil([] { return g_release.load(); }, 20s);
    } else if (g_heldThread == ::GetCurrentThreadId()) {
        ++g_rowsAfter;
    }
}

// Every text the output field shows after an update, as the user sees it.
std::vector<std::wstring> g_shown;  // of the field g_output
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
        WriteGreys(folder_ / "tiny.bmp", 3, {{0, 100, 200}, {255, 50, 9}});
        std::vector<ByteVector> counting(kRows);
        for (int y = 0; y < kRows; ++y) {
            for (int bit = 15; bit >= 0; --bit) {
                counting[static_cast<std::size_t>(y)].push_back((y >> bit) & 1 ? 0 : 255);
            }
        }
        WriteGreys(folder_ / "counting.bmp", 16, counting);
        fs::copy_file(fs::path(RASTELLE_JPEG_SAMPLES_DIR) / "tiny-grey.jpg",
                      folder_ / "tiny-grey.jpg");
        g_heldThread = g_rowsAfter = 0;
        g_release = false;
    }
    void TearDown() override {
        g_release = true;
        dialog_.EndAll();
        dialog_.WaitEnded();
        dialog_.Members([](CConverterDlg& d) { return StopWorker(d), true; });
        OutputLimits::pieceChars = pieceChars_;
        OutputLimits::textBytes = textBytes_;
        OutputLimits::beforeEachRow = nullptr;
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
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
        EXPECT_TRUE(WaitUntil([] { return g_heldThread != 0; }));
        EXPECT_TRUE(Shows(CountingText(kHeldRow)));
        return dialog_.Members([](CConverterDlg& d) { return d.m_run; });
    }
    // The one message box of the dialog, its text; closed with OK.
    std::wstring AnswerMessage(std::wstring_view caption = L"Rastelle") {
        HWND box = WaitForDialogBox(ui_.Id(), Window(), caption);
        const std::vector<std::wstring> texts = StaticTexts(box);
        PostClick(::GetDlgItem(box, IDOK));
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
        return texts.size() == 1 ? texts[0] : L"(no message, or not one text)";
    }

    fs::path folder_;
    const std::size_t pieceChars_ = OutputLimits::pieceChars;
    const std::uint64_t textBytes_ = OutputLimits::textBytes;
    UiThread ui_;
    RunningDialog<CConverterDlg> dialog_{ui_, static_cast<HWND>(nullptr)};
};

struct OptionsCase {
    std::vector<int> clicks;
    const wchar_t* threshold;  // typed, or "trackbar": the trackbar moved to 10
    const char* file;
    std::wstring text;
    const wchar_t* thresholdShown;  // after Convert
};
const std::wstring kOnes = L"\t.db 8,2\r\n\t.db %11011111\r\n\t.db %01111111\r\n";
const std::vector<OptionsCase> kOptionsCases = {
    OptionsCase({}, nullptr, "tiny.bmp", kTiny, L"128"),
    OptionsCase({IDC_FILL_ONES, IDC_CENTER_IMAGE, IDC_WIDTH_BYTES}, nullptr, "tiny.bmp",
                L"\t.db 1,2\r\n\t.db %11110111\r\n\t.db %11011111\r\n", L"128"),
    OptionsCase({IDC_WIDTH_BYTES, IDC_USE_AUTOCOMPLETE}, nullptr, "tiny.bmp",
                L"\t.db 3,2\r\n\t.db %110\r\n\t.db %011\r\n", L"128"),
    OptionsCase({}, L"77", "tiny.bmp", L"\t.db 8,2\r\n\t.db %10000000\r\n\t.db %01100000\r\n",
                L"77"),
    OptionsCase({}, L"trackbar", "tiny.bmp", L"\t.db 8,2\r\n\t.db %10000000\r\n\t.db %00100000\r\n",
                L"10"),
    OptionsCase({}, nullptr, "tiny", kTiny, L"128"),
    OptionsCase({}, nullptr, "tiny-grey.jpg", kTiny, L"128"),
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
    EXPECT_EQ(Text(Item(IDC_THRESHOLD)), c.thresholdShown);
    const std::string shown = std::string(c.file) == "tiny" ? "tiny.bmp" : c.file;
    EXPECT_EQ(Text(Item(IDC_INPUT_FILE)), (folder_ / shown).wstring());
    EXPECT_EQ(IsChecked(Item(IDC_WIDTH_BYTES)), c.text.compare(0, 7, L"\t.db 1,") == 0);
}

INSTANTIATE_TEST_SUITE_P(Table, OptionsTest, testing::ValuesIn(kOptionsCases));

// RGBA over white: half-transparent light blue, transparent, opaque dark.
TEST_F(ConversionTest, PngConvertsAsOnTheCommandLine) {
    fs::copy_file(RASTELLE_FIXTURES_DIR "/formats/good/rgba-8bit.png", folder_ / "sprite.png");
    Convert("sprite.png");
    EXPECT_TRUE(Shows(L"\t.db 8,1\r\n\t.db %00100000\r\n")) << testing::PrintToString(Output());
}

// Cleared while the worker is held: the run's next row must be told (the dialog had taken
// everything), and the text comes back whole from its start.
TEST_F(ConversionTest, TextArrivesInBoundedPiecesOfWholeRowsAlsoAfterClear) {
    OutputLimits::pieceChars = 1000;
    g_shown.clear();
    g_output = Item(IDC_OUTPUT);
    HHOOK hook = ui_.Invoke(
        [&] { return ::SetWindowsHookExW(WH_CALLWNDPROCRET, RecordOutput, nullptr, ui_.Id()); });
    ConvertAndHold();
    Click(Item(IDC_CLEAR));
    EXPECT_EQ(Output(), L"");
    g_release = true;
    EXPECT_TRUE(Shows(CountingText(kRows)));
    EXPECT_TRUE(::IsWindowVisible(g_output)) << "the field stayed hidden after an append";
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
    ASSERT_TRUE(WaitUntil([&] { return run->cancelled.load(); }));
    g_release = true;
    ASSERT_TRUE(WaitUntil([&] { return stopped.load(); }, 20s));
    EXPECT_EQ(g_rowsAfter, 0u) << "the worker went on after it was cancelled";
}

TEST_F(ConversionTest, ConvertDuringARunReplacesIt) {
    const auto run = ConvertAndHold();
    Click(Item(IDC_FILL_ONES));
    Convert("tiny.bmp");
    ASSERT_TRUE(WaitUntil([&] { return run->cancelled.load(); }));
    g_release = true;
    EXPECT_TRUE(Shows(kOnes));
    EXPECT_EQ(g_rowsAfter, 0u) << "the first run went on after it was cancelled";
}

TEST_F(ConversionTest, DroppedFilesConvertTheFirstWithTheOptionsShown) {
    Click(Item(IDC_FILL_ONES));
    const std::wstring files = (folder_ / "tiny.bmp").wstring() + L'\0' + L"other.bmp\0\0";
    HGLOBAL drop = ::GlobalAlloc(GHND, sizeof(DROPFILES) + files.size() * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(::GlobalLock(drop));
    *header = DROPFILES{sizeof(DROPFILES), {}, FALSE, TRUE};
    std::copy(files.begin(), files.end(), reinterpret_cast<wchar_t*>(header + 1));
    ::GlobalUnlock(drop);
    ::PostMessageW(Window(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    EXPECT_TRUE(Shows(kOnes));
    EXPECT_EQ(Text(Item(IDC_INPUT_FILE)), (folder_ / "tiny.bmp").wstring());
}

// Each failure is said in a message box, and the field keeps the last text it showed.
TEST_F(ConversionTest, FailuresAreSaidAndTheWindowGoesOn) {
    Convert("tiny.bmp");
    ASSERT_TRUE(Shows(kTiny));
    Convert("missing");
    EXPECT_EQ(AnswerMessage(win32::ApplicationName()), L"Could not open file");
    EXPECT_EQ(Output(), kTiny);
    EXPECT_EQ(Text(Item(IDC_INPUT_FILE)), (folder_ / "missing").wstring());
    OutputLimits::textBytes = 7812;  // one byte short of the counting image's text
    Convert("counting.bmp");
    EXPECT_EQ(AnswerMessage(),
              L"The text of this image is 7813 bytes, more than the 7812 bytes "
              L"this window can show.\n\nThe command-line tool rastelle-cli.exe, "
              L"beside Rastelle.exe, converts it to a file.");
    EXPECT_EQ(Output(), kTiny);
    OutputLimits::beforeEachRow = [](std::int32_t y) { y == 1 ? throw std::bad_alloc() : void(); };
    Convert("tiny.bmp");
    EXPECT_EQ(AnswerMessage(),
              L"Out of memory: the conversion stopped. The output shows the "
              L"rows converted so far.\n\nThe command-line tool rastelle-cli.exe "
              L"converts big images to a file.");
    EXPECT_EQ(Output(), L"\t.db 8,2\r\n\t.db %11000000");
    OutputLimits::beforeEachRow = nullptr;
    Convert("tiny.bmp");
    EXPECT_TRUE(Shows(kTiny));
}

}  // namespace
