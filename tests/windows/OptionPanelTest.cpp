// The option panel, the preview, Copy and resizing, through real messages to the dialog.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cwchar>
#include <cwctype>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "GuiDriver.h"
#include "OriginalDialog.h"
#include "image/ImageSource.h"
#include "picture/ShapedPicture.h"
#include "resource.h"
#include "text/PictureWriter.h"
#include "ui/ConversionWorker.h"
#include "ui/ConverterDlg.h"
#include "win32/Resources.h"

namespace {

using namespace testing_ui;
namespace fs = std::filesystem;

// The controls of the main dialog's template as the program carries it (DLGTEMPLATEEX), each
// as "id class 'text' style x,y,width,height", the class in lower case.
std::vector<std::wstring> TemplateControls() {
    HRSRC found = ::FindResourceW(win32::ResourceModule(), MAKEINTRESOURCEW(IDD_CONVERTER),
                                  MAKEINTRESOURCEW(5));  // RT_DIALOG
    const auto* bytes =
        static_cast<const BYTE*>(::LockResource(::LoadResource(win32::ResourceModule(), found)));
    const auto word = [&](std::size_t at) { return *reinterpret_cast<const WORD*>(bytes + at); };
    // A text, or an ordinal: a class's atom, given as its name.
    const auto nameAt = [&](std::size_t& at) {
        std::wstring name;
        if (word(at) == 0xFFFF) {
            const wchar_t* const atoms[] = {L"button", L"edit", L"static"};
            at += 4;
            return std::wstring(
                word(at - 2) >= 0x80 && word(at - 2) <= 0x82 ? atoms[word(at - 2) - 0x80] : L"?");
        }
        for (; word(at) != 0; at += 2) {
            name += static_cast<wchar_t>(word(at));
        }
        at += 2;
        return name;
    };
    std::size_t at = 26;
    for (int skipped = 0; skipped < 3; ++skipped) {
        nameAt(at);  // menu, class, caption
    }
    at += 6;  // the font's size, weight, italic and character set
    nameAt(at);
    std::vector<std::wstring> controls;
    for (WORD i = 0; i < word(16); ++i) {
        at = (at + 3) / 4 * 4;
        const auto dword = [&](std::size_t from) {
            return DWORD{word(from)} | DWORD{word(from + 2)} << 16;
        };
        wchar_t numbers[48];
        std::swprintf(numbers, 48, L"%lx %d,%d,%d,%d", static_cast<unsigned long>(dword(at + 8)),
                      static_cast<short>(word(at + 12)), static_cast<short>(word(at + 14)),
                      static_cast<short>(word(at + 16)), static_cast<short>(word(at + 18)));
        const auto id = static_cast<int>(dword(at + 20));
        at += 24;
        std::wstring windowClass = nameAt(at);
        std::transform(windowClass.begin(), windowClass.end(), windowClass.begin(), ::towlower);
        const std::wstring text = nameAt(at);
        at += 2 + std::size_t{word(at)};
        controls.push_back(std::to_wstring(id) + L" " + windowClass + L" '" + text + L"' " +
                           numbers);
    }
    return controls;
}

TEST(DialogTemplate, BeginsWithTheOriginalControlsAndEveryNewOneHasAMnemonic) {
    const std::vector<std::wstring> controls = TemplateControls();
    const std::size_t original = std::size(kOriginalControls);
    ASSERT_GT(controls.size(), original);
    EXPECT_EQ(
        std::vector<std::wstring>(controls.begin(), controls.begin() + original),
        std::vector<std::wstring>(std::begin(kOriginalControls), std::end(kOriginalControls)));
    // A control reached by Tab has its own mnemonic or the one of the label before it.
    for (std::size_t i = original; i < controls.size(); ++i) {
        const bool tabStop =
            std::stoul(controls[i].substr(controls[i].rfind(L"' ") + 2), nullptr, 16) & WS_TABSTOP;
        const bool own = controls[i].find(L'&') != std::wstring::npos;
        const bool label = controls[i - 1].find(L" static '") != std::wstring::npos &&
                           controls[i - 1].find(L'&') != std::wstring::npos;
        EXPECT_TRUE(!tabStop || own || label) << controls[i];
    }
}

class StringSink : public rastelle::TextSink {
  public:
    bool Write(std::string_view text) override { return text_.append(text), true; }
    std::wstring text_wide() const { return std::wstring(text_.begin(), text_.end()); }
    std::string text_;
};

class PanelTest : public testing::Test {
  protected:
    void SetUp() override {
        folder_ =
            fs::temp_directory_path() / ("rastelle-panel-" + std::to_string(::GetTickCount()));
        fs::create_directories(folder_);
        // Rows of the greys 0, 85, 170 and 255.
        fs::copy_file(RASTELLE_FIXTURES_DIR "/good/grey-8bpp-top-down-4x4.bmp",
                      folder_ / "grey.bmp");
        fs::copy_file(RASTELLE_FIXTURES_DIR "/formats/good/rgba-8bit.png", folder_ / "clear.png");
    }
    void TearDown() override {
        dialog_.EndAll();
        dialog_.WaitEnded();
        dialog_.Members([](CConverterDlg& d) { return StopWorker(d), true; });
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    HWND Window() const { return dialog_.Window(); }
    HWND Item(int id) const { return dialog_.Item(id); }
    std::wstring Output() const { return Text(Item(IDC_OUTPUT)); }
    void Select(int id, int index) {
        ::SendMessageW(Item(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(Item(id)));
    }
    void Choose(const fs::path& file) { TypeOver(Window(), Item(IDC_INPUT_FILE), file.wstring()); }
    void Convert(const char* name) {
        Choose(folder_ / name);
        PostClick(Item(IDC_CONVERT));
    }
    // The one message box of the dialog, its text; closed with OK.
    std::wstring AnswerMessage() {
        HWND box = WaitForDialogBox(ui_.Id(), Window());
        const std::vector<std::wstring> texts = StaticTexts(box);
        PostClick(::GetDlgItem(box, IDOK));
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
        return texts.empty() ? L"(no message)" : texts.back();
    }

    fs::path folder_;
    UiThread ui_;
    RunningDialog<CConverterDlg> dialog_{ui_, static_cast<HWND>(nullptr)};
};

// A change in the panel and the options it must give the engine.
struct PanelCase {
    const char* name;
    const char* file;
    int control;
    int index;             // the list's item, or -1
    const wchar_t* typed;  // into an edit, or null; with neither, a click
    void (*expect)(ChosenOptions&);
};

using namespace rastelle;
const PanelCase kPanelCases[] = {
    {"intel", "grey.bmp", IDC_SYNTAX, 2, nullptr,
     [](ChosenOptions& o) { o.syntax = FindSyntaxPreset("intel")->syntax; }},
    {"label", "grey.bmp", IDC_LABEL, -1, L"ghost_1", [](ChosenOptions& o) { o.label = "ghost_1"; }},
    {"atkinson", "grey.bmp", IDC_DITHER, 3, nullptr,
     [](ChosenOptions& o) { o.settings.dither = Dither::Atkinson; }},
    {"bit0", "grey.bmp", IDC_BYTES, 1, nullptr,
     [](ChosenOptions& o) { o.settings.bitOrder = BitOrder::Bit0First; }},
    {"pages", "grey.bmp", IDC_BYTES, 2, nullptr,
     [](ChosenOptions& o) { o.settings.layout = ByteLayout::Pages; }},
    {"cells", "grey.bmp", IDC_CELLS, -1, L"2x2",
     [](ChosenOptions& o) {
         o.settings.cellWidth = 2, o.settings.cellHeight = 2, o.label = "grey";
     }},
    {"mask_block", "clear.png", IDC_MASK, 3, nullptr,
     [](ChosenOptions& o) {
         o.settings.mask = MaskSource::Alpha, o.settings.maskLayout = MaskLayout::Block,
         o.label = "clear";
     }},
    {"no_header", "grey.bmp", IDC_HEADER, -1, nullptr,
     [](ChosenOptions& o) { o.settings.header = false; }},
    {"resize", "grey.bmp", IDC_RESIZE, -1, L"x2",
     [](ChosenOptions& o) { o.geometry.resizeHeight = 2; }},
    {"rotate", "grey.bmp", IDC_ROTATE, 1, nullptr,
     [](ChosenOptions& o) { o.geometry.rotate = 90; }},
    {"flip", "grey.bmp", IDC_FLIP, 1, nullptr,
     [](ChosenOptions& o) { o.geometry.flip = Flip::Horizontal; }},
    {"trim", "grey.bmp", IDC_TRIM, -1, nullptr, [](ChosenOptions& o) { o.trim = true; }},
    {"hex", "grey.bmp", IDC_RADIX, 1, nullptr,
     [](ChosenOptions& o) { o.settings.radix = Radix::Hex; }},
    {"comment", "grey.bmp", IDC_COMMENT, -1, nullptr,
     [](ChosenOptions& o) { o.settings.comment = true; }},
    // A target sets the Bytes, Radix, Invert and Assembler controls.
    {"ssd1306", "grey.bmp", IDC_TARGET, 1, nullptr,
     [](ChosenOptions& o) {
         o.settings.layout = ByteLayout::Pages, o.settings.radix = Radix::Hex;
     }},
    {"u8g2", "grey.bmp", IDC_TARGET, 3, nullptr,
     [](ChosenOptions& o) {
         o.syntax = FindSyntaxPreset("xbm")->syntax, o.settings.bitOrder = BitOrder::Bit0First;
         o.settings.radix = Radix::Hex;
     }},
    {"epaper", "grey.bmp", IDC_TARGET, 5, nullptr,
     [](ChosenOptions& o) { o.settings.invert = true, o.settings.radix = Radix::Hex; }},
};

class PanelOptionTest : public PanelTest, public testing::WithParamInterface<PanelCase> {};

TEST_P(PanelOptionTest, ConvertGivesTheEnginesTextForTheOption) {
    const PanelCase& c = GetParam();
    if (c.index >= 0) {
        Select(c.control, c.index);
    } else if (c.typed != nullptr) {
        TypeOver(Window(), Item(c.control), c.typed);
    } else {
        Click(Item(c.control));
    }
    ChosenOptions options;
    c.expect(options);
    ImageSource source;
    ASSERT_TRUE(source.Open(folder_ / c.file).opened);
    const ShapedPicture shaped(source, options.geometry, options.trim, options.settings);
    StringSink expected;
    WritePicture(shaped.Picture(), shaped.Settings(), options.syntax, options.label, expected,
                 false);

    Convert(c.file);
    EXPECT_TRUE(WaitUntil([&] { return Output() == expected.text_wide(); }, 20s))
        << testing::PrintToString(Output()) << "\nexpected\n"
        << expected.text_;
}

INSTANTIATE_TEST_SUITE_P(Table, PanelOptionTest, testing::ValuesIn(kPanelCases),
                         [](const auto& row) { return std::string(row.param.name); });

// Unique and Mirror with cells: the engine's tiles, map and flips, and the tiles counted (grey's
// top rows are black, its bottom rows white: two tiles of 2 x 2).
TEST_F(PanelTest, UniqueTilesGiveTheMapAndTheirCount) {
    TypeOver(Window(), Item(IDC_CELLS), L"2x2");
    Click(Item(IDC_UNIQUE));
    Click(Item(IDC_MIRROR));
    ChosenOptions options;
    options.settings.cellWidth = options.settings.cellHeight = 2;
    options.settings.unique = options.settings.mirror = true;
    ImageSource source;
    ASSERT_TRUE(source.Open(folder_ / "grey.bmp").opened);
    StringSink expected;
    TileSet tiles("grey");
    WritePicture(source, options.settings, options.syntax, "grey", expected, false, &tiles);

    Convert("grey.bmp");
    EXPECT_TRUE(WaitUntil([&] { return Output() == expected.text_wide(); }, 20s))
        << testing::PrintToString(Output()) << "\nexpected\n"
        << expected.text_;
    EXPECT_TRUE(WaitUntil([&] { return Text(Item(IDC_TILE_COUNT)) == L"2 tiles"; }, 20s));
}

// Unique and Mirror are greyed while they would change nothing: without cells, and Mirror
// without Unique, as the command line refuses them.
TEST_F(PanelTest, TileBoxesAreGreyedWhileTheyChangeNothing) {
    const struct {
        const wchar_t* cells;  // typed over the field first, unless null ("\b": emptied)
        bool clickUnique;
        bool unique, mirror;  // enabled afterwards
    } steps[] = {
        {nullptr, false, false, false}, {L"2x2", false, true, false},  {nullptr, true, true, true},
        {L"\b", false, false, false},   {L"2x0", false, false, false}, {L"8x8", false, true, true},
        {nullptr, true, true, false},
    };
    for (const auto& step : steps) {
        if (step.cells != nullptr)
            TypeOver(Window(), Item(IDC_CELLS), step.cells);
        if (step.clickUnique)
            Click(Item(IDC_UNIQUE));
        SCOPED_TRACE(Text(Item(IDC_CELLS)));
        EXPECT_EQ(::IsWindowEnabled(Item(IDC_UNIQUE)) != 0, step.unique);
        EXPECT_EQ(::IsWindowEnabled(Item(IDC_MIRROR)) != 0, step.mirror);
    }
}

TEST_F(PanelTest, BadValuesAreSaidAndConvertNothing) {
    const struct {
        int control;
        const wchar_t* typed;
        const wchar_t* message;
    } cases[] = {
        {IDC_CELLS, L"3x2",
         L"4 x 4 pixels are no whole number of 3 x 2 cells: 1 columns and 0 rows left over."},
        {IDC_CELLS, L"8x0",
         L"Cells must be a width and a height in pixels, as 8x8, or empty for "
         L"the whole picture."},
        {IDC_LABEL, L"9lives",
         L"The label must be letters, digits and _, not starting with a "
         L"digit, or empty for none."},
        {IDC_LABEL, L"caf\x00e9", nullptr},
        {IDC_RESIZE, L"x",
         L"Resize must be a width and a height in pixels, as 128x64, one of them (128x or x64) "
         L"to keep the proportions, or empty for the size as it is."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.typed));
        ::SetWindowTextW(Item(IDC_CELLS), L"");
        ::SetWindowTextW(Item(IDC_LABEL), L"");
        ::SetWindowTextW(Item(IDC_RESIZE), L"");
        TypeOver(Window(), Item(c.control), c.typed);
        Convert("grey.bmp");
        const std::wstring message = AnswerMessage();
        if (c.message != nullptr) {
            EXPECT_EQ(message, c.message);
        }
        ui_.Drain();
        EXPECT_EQ(Output(), L"");
    }
}

TEST_F(PanelTest, CopyPutsTheWholeTextOnTheClipboardAlsoAfterClear) {
    std::wstring text = L"\t.db 8,4\r\n";
    for (int row = 0; row < 4; ++row) {
        text += L"\t.db %00110000\r\n";
    }
    Click(Item(IDC_INVERT));
    Convert("grey.bmp");
    ASSERT_TRUE(WaitUntil([&] { return Output() == text; }));
    Click(Item(IDC_CLEAR));
    Click(Item(IDC_COPY));
    ASSERT_TRUE(::OpenClipboard(nullptr));
    HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    const std::wstring copied = data ? static_cast<const wchar_t*>(::GlobalLock(data)) : L"";
    if (data) {
        ::GlobalUnlock(data);
    }
    ::CloseClipboard();
    EXPECT_EQ(copied, text);
}

RECT PlaceOf(HWND control) {
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

TEST_F(PanelTest, TheOutputAndThePreviewTakeTheRoomAndTheTemplateIsTheSmallestSize) {
    EXPECT_TRUE(::GetWindowLongW(Window(), GWL_STYLE) & WS_MAXIMIZEBOX);
    RECT start{};
    ::GetWindowRect(Window(), &start);
    const int ids[] = {IDC_OUTPUT, IDC_PREVIEW, IDC_SYNTAX, IDC_BROWSE};
    std::vector<RECT> before;
    for (const int id : ids) {
        before.push_back(PlaceOf(Item(id)));
    }
    ::SetWindowPos(Window(), nullptr, 0, 0, start.right - start.left + 200,
                   start.bottom - start.top + 100, SWP_NOMOVE | SWP_NOZORDER);
    // Moved by (left, top), grown by (width, height).
    const std::array<int, 4> changes[] = {
        {0, 0, 100, 100}, {100, 0, 100, 100}, {100, 0, 0, 0}, {0, 0, 0, 0}};
    for (std::size_t i = 0; i < std::size(ids); ++i) {
        const RECT after = PlaceOf(Item(ids[i]));
        const RECT& was = before[i];
        EXPECT_EQ((std::array<int, 4>{after.left - was.left, after.top - was.top,
                                      (after.right - after.left) - (was.right - was.left),
                                      (after.bottom - after.top) - (was.bottom - was.top)}),
                  changes[i])
            << "control " << ids[i];
    }
    ::SetWindowPos(Window(), nullptr, 0, 0, 50, 50, SWP_NOMOVE | SWP_NOZORDER);
    RECT smallest{};
    ::GetWindowRect(Window(), &smallest);
    EXPECT_EQ(smallest.right - smallest.left, start.right - start.left);
    EXPECT_EQ(smallest.bottom - smallest.top, start.bottom - start.top);
    EXPECT_EQ(PlaceOf(Item(IDC_OUTPUT)).right, before[0].right);
}

// The preview's pixels, read back from the control: each pixel of the picture must be a square
// of one colour, '#' ink, '.' paper or '-' fill; '?' a square of several, '!' another colour.
std::string PreviewPixels(HWND view, int columns, int rows) {
    RECT client{};
    ::GetClientRect(view, &client);
    HDC dc = ::CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader = {
        sizeof(BITMAPINFOHEADER), client.right, client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    ::SendMessageW(view, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    RECT box{client.right, client.bottom, 0, 0};  // of what differs from the background
    for (int y = 0; y < client.bottom; ++y) {
        for (int x = 0; x < client.right; ++x) {
            if (::GetPixel(dc, x, y) != ::GetSysColor(COLOR_BTNFACE)) {
                box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                       std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
            }
        }
    }
    const LONG size = (box.right - box.left) / columns;
    const bool squares =
        size > 0 && box.bottom - box.top == size * rows && box.right - box.left == size * columns;
    std::string pixels = squares ? "" : "(not squares)";
    for (int row = 0; row < rows && squares; ++row) {
        for (int column = 0; column < columns; ++column) {
            const COLORREF colour = ::GetPixel(dc, box.left + column * size, box.top + row * size);
            const bool crisp = ::GetPixel(dc, box.left + column * size + size - 1,
                                          box.top + row * size + size - 1) == colour;
            pixels += !crisp                         ? '?'
                      : colour == RGB(0, 0, 0)       ? '#'
                      : colour == RGB(255, 255, 255) ? '.'
                      : colour == RGB(200, 220, 255) ? '-'
                                                     : '!';
        }
        pixels += row + 1 < rows ? '|' : '\n';
    }
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    return pixels;
}

TEST_F(PanelTest, PreviewShowsTheDigitsAndFillAndFollowsTheOptions) {
    HWND view = Item(IDC_PREVIEW);
    const auto shows = [&](int columns, int rows, const std::string& pixels) {
        std::string last;
        const bool seen =
            WaitUntil([&] { return (last = PreviewPixels(view, columns, rows)) == pixels; });
        EXPECT_TRUE(seen) << last << pixels;
    };
    Choose(folder_ / "grey");  // typed without ".bmp": opens as Convert would
    shows(8, 4, "##..----|##..----|##..----|##..----\n");
    MoveTrackbarWithKeys(Window(), Item(IDC_THRESHOLD_SLIDER), 70);  // 85 is light now
    shows(8, 4, "#...----|#...----|#...----|#...----\n");
    Click(Item(IDC_INVERT));
    shows(8, 4, ".###----|.###----|.###----|.###----\n");
}

}  // namespace
