// The option panel, the preview, Copy and resizing, through real messages to the dialog.
#include <windows.h>

#include <commctrl.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "BmpBuilder.h"
#include "GuiDriver.h"
#include "ImageSource.h"
#include "OriginalDialog.h"
#include "PictureWriter.h"
#include "resource.h"
#include "ui/ConversionWorker.h"
#include "ui/ConverterDlg.h"
#include "win32/Resources.h"

namespace {

using namespace testing_ui;
namespace fs = std::filesystem;

struct TemplateControl {
    int id;
    std::wstring windowClass;
    std::wstring text;
    DWORD style;
    short x, y, width, height;
};

// The controls of the main dialog's template as the program carries it (DLGTEMPLATEEX).
std::vector<TemplateControl> TemplateControls() {
    HRSRC found = ::FindResourceW(win32::ResourceModule(), MAKEINTRESOURCEW(IDD_CONVERTER),
                                  MAKEINTRESOURCEW(5));  // RT_DIALOG
    const auto* bytes =
        static_cast<const BYTE*>(::LockResource(::LoadResource(win32::ResourceModule(), found)));
    const auto word = [&](std::size_t at) { return *reinterpret_cast<const WORD*>(bytes + at); };
    const auto dword = [&](std::size_t at) { return *reinterpret_cast<const DWORD*>(bytes + at); };
    // A name or an ordinal: the text, or the class's atom as a name.
    const auto nameAt = [&](std::size_t& at) {
        std::wstring name;
        if (word(at) == 0xFFFF) {
            constexpr const wchar_t* kAtoms[] = {L"Button",  L"Edit",      L"Static",
                                                 L"ListBox", L"ScrollBar", L"ComboBox"};
            const WORD atom = word(at + 2);
            name = atom >= 0x80 && atom <= 0x85 ? kAtoms[atom - 0x80] : L"?";
            at += 4;
            return name;
        }
        for (; word(at) != 0; at += 2) {
            name += static_cast<wchar_t>(word(at));
        }
        at += 2;
        return name;
    };
    const DWORD style = dword(12);
    const WORD count = word(16);
    std::size_t at = 26;
    nameAt(at);  // menu
    nameAt(at);  // class
    nameAt(at);  // caption
    if (style & DS_SETFONT) {
        at += 6;
        nameAt(at);
    }
    std::vector<TemplateControl> controls;
    for (WORD i = 0; i < count; ++i) {
        at = (at + 3) / 4 * 4;
        TemplateControl control{};
        control.style = dword(at + 8);
        control.x = static_cast<short>(word(at + 12));
        control.y = static_cast<short>(word(at + 14));
        control.width = static_cast<short>(word(at + 16));
        control.height = static_cast<short>(word(at + 18));
        control.id = static_cast<int>(dword(at + 20));
        at += 24;
        control.windowClass = nameAt(at);
        control.text = nameAt(at);
        at += 2 + std::size_t{word(at)};
        controls.push_back(control);
    }
    return controls;
}

TEST(DialogTemplate, BeginsWithTheOriginalControlsAndEveryNewOneHasAMnemonic) {
    const std::vector<TemplateControl> controls = TemplateControls();
    ASSERT_GT(controls.size(), std::size(kOriginalControls));
    for (std::size_t i = 0; i < std::size(kOriginalControls); ++i) {
        const OriginalControl& was = kOriginalControls[i];
        const TemplateControl& is = controls[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(is.id, was.id);
        EXPECT_EQ(_wcsicmp(is.windowClass.c_str(), was.windowClass), 0) << is.windowClass;
        EXPECT_EQ(is.text, was.text);
        EXPECT_EQ(is.style, was.style);
        EXPECT_EQ((std::array<short, 4>{is.x, is.y, is.width, is.height}),
                  (std::array<short, 4>{was.x, was.y, was.width, was.height}));
    }
    // A control reached by Tab has its own mnemonic or the one of the label before it.
    for (std::size_t i = std::size(kOriginalControls); i < controls.size(); ++i) {
        if (controls[i].style & WS_TABSTOP) {
            const bool own = controls[i].text.find(L'&') != std::wstring::npos;
            const bool label = controls[i - 1].windowClass == L"Static" &&
                               controls[i - 1].text.find(L'&') != std::wstring::npos;
            EXPECT_TRUE(own || label) << "control " << controls[i].id;
        }
    }
}

// An 8 x 4 grey image: dark left half in rows 0 and 2, a grey ramp in rows 1 and 3.
void WriteImage(const fs::path& path) {
    rastelle::test::BmpBuilder bmp;
    bmp.width = 8;
    bmp.height = 4;
    std::vector<rastelle::test::ByteVector> rows;
    for (int y = 3; y >= 0; --y) {  // stored bottom-up
        rastelle::test::ByteVector row;
        for (int x = 0; x < 8; ++x) {
            const auto grey = static_cast<std::uint8_t>(y % 2 == 0 ? (x < 4 ? 20 : 230) : x * 32);
            row.insert(row.end(), {grey, grey, grey});
        }
        rows.push_back(row);
    }
    bmp.pixels = rastelle::test::PaddedRows(rows);
    const auto bytes = bmp.Build();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
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
        WriteImage(folder_ / "grey.bmp");
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

// A change in the panel and the settings it must give the engine.
struct PanelCase {
    const char* name;
    const char* file;
    int control;
    int index;             // the list's item, or -1
    const wchar_t* typed;  // into an edit, or null; with neither, a click
    void (*expect)(rastelle::ConversionSettings&, rastelle::AssemblerSyntax&, std::string&);
};

const PanelCase kPanelCases[] = {
    {"intel", "grey.bmp", IDC_SYNTAX, 2, nullptr,
     [](auto&, auto& syntax, auto&) { syntax = rastelle::FindSyntaxPreset("intel")->syntax; }},
    {"label", "grey.bmp", IDC_LABEL, -1, L"ghost_1",
     [](auto&, auto&, auto& name) { name = "ghost_1"; }},
    {"invert", "grey.bmp", IDC_INVERT, -1, nullptr, [](auto& s, auto&, auto&) { s.invert = true; }},
    {"atkinson", "grey.bmp", IDC_DITHER, 3, nullptr,
     [](auto& s, auto&, auto&) { s.dither = rastelle::Dither::Atkinson; }},
    {"bit0", "grey.bmp", IDC_BYTES, 1, nullptr,
     [](auto& s, auto&, auto&) { s.bitOrder = rastelle::BitOrder::Bit0First; }},
    {"pages", "grey.bmp", IDC_BYTES, 2, nullptr,
     [](auto& s, auto&, auto&) { s.layout = rastelle::ByteLayout::Pages; }},
    {"cells", "grey.bmp", IDC_CELLS, -1, L"4x2",
     [](auto& s, auto&, auto& name) { s.cellWidth = 4, s.cellHeight = 2, name = "grey"; }},
    {"mask_after", "clear.png", IDC_MASK, 2, nullptr,
     [](auto& s, auto&, auto&) {
         s.mask = rastelle::MaskSource::Alpha, s.maskLayout = rastelle::MaskLayout::After;
     }},
    {"mask_block", "clear.png", IDC_MASK, 3, nullptr,
     [](auto& s, auto&, auto& name) {
         s.mask = rastelle::MaskSource::Alpha, s.maskLayout = rastelle::MaskLayout::Block;
         name = "clear";
     }},
    {"no_header", "grey.bmp", IDC_HEADER, -1, nullptr,
     [](auto& s, auto&, auto&) { s.header = false; }},
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
    rastelle::ConversionSettings settings;
    rastelle::AssemblerSyntax syntax;
    std::string name;
    c.expect(settings, syntax, name);
    rastelle::ImageSource source;
    ASSERT_TRUE(source.Open(folder_ / c.file).opened);
    StringSink expected;
    rastelle::WritePicture(source, settings, syntax, name, expected, false);

    Convert(c.file);
    EXPECT_TRUE(WaitUntil([&] { return Output() == expected.text_wide(); }, 20s))
        << testing::PrintToString(Output()) << "\nexpected\n"
        << expected.text_;
}

INSTANTIATE_TEST_SUITE_P(Table, PanelOptionTest, testing::ValuesIn(kPanelCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(PanelTest, BadValuesAreSaidAndConvertNothing) {
    const struct {
        int control;
        const wchar_t* typed;
        const wchar_t* message;
    } cases[] = {
        {IDC_CELLS, L"3x2",
         L"8 x 4 pixels are no whole number of 3 x 2 cells: 2 columns and 0 rows left over."},
        {IDC_CELLS, L"8x0",
         L"Cells must be a width and a height in pixels, as 8x8, or empty for "
         L"the whole picture."},
        {IDC_CELLS, L"8", nullptr},
        {IDC_LABEL, L"9lives",
         L"The label must be letters, digits and _, not starting with a "
         L"digit, or empty for none."},
        {IDC_LABEL, L"caf\x00e9", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.typed));
        ::SetWindowTextW(Item(IDC_CELLS), L"");
        ::SetWindowTextW(Item(IDC_LABEL), L"");
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
    const std::wstring text =
        L"\t.db 8,4\r\n\t.db %00001111\r\n\t.db %00001111\r\n\t.db %00001111\r\n\t.db "
        L"%00001111\r\n";
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
    const int ids[] = {IDC_OUTPUT, IDC_PREVIEW, IDC_SYNTAX, IDC_COPY, IDC_BROWSE, IDC_CONVERT};
    std::vector<RECT> before;
    for (const int id : ids) {
        before.push_back(PlaceOf(Item(id)));
    }
    ::SetWindowPos(Window(), nullptr, 0, 0, start.right - start.left + 200,
                   start.bottom - start.top + 100, SWP_NOMOVE | SWP_NOZORDER);
    // Moved by (left, top), grown by (width, height).
    const std::array<int, 4> changes[] = {{0, 0, 100, 100}, {100, 0, 100, 100}, {100, 0, 0, 0},
                                          {100, 0, 0, 0},   {0, 0, 0, 0},       {0, 0, 0, 0}};
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

// The preview's pixels, read back from the control: each laid-out pixel a square of one
// colour. '#' ink, '.' paper, '-' fill, 'x' / 'o' the checkerboard of transparent pixels.
std::string PreviewPixels(HWND view, int columns, int rows) {
    RECT client{};
    ::GetClientRect(view, &client);
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, client.right, client.bottom);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    ::SendMessageW(view, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    // The picture: the box of what differs from the background.
    const COLORREF background = ::GetSysColor(COLOR_BTNFACE);
    RECT box{client.right, client.bottom, 0, 0};
    for (int y = 0; y < client.bottom; ++y) {
        for (int x = 0; x < client.right; ++x) {
            if (::GetPixel(dc, x, y) != background) {
                box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                       std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
            }
        }
    }
    std::string pixels;
    const LONG size = (box.right - box.left) / columns;
    const bool squares =
        size > 0 && box.bottom - box.top == size * rows && box.right - box.left == size * columns;
    if (!squares) {
        pixels = "(not " + std::to_string(columns) + " x " + std::to_string(rows) + " squares)";
    }
    for (int row = 0; row < rows && squares; ++row) {
        for (int column = 0; column < columns; ++column) {
            const LONG left = box.left + column * size;
            const LONG top = box.top + row * size;
            const COLORREF colour = ::GetPixel(dc, left, top);
            const bool crisp = ::GetPixel(dc, left + size - 1, top + size - 1) == colour;
            const char* const names[] = {"#", ".", "-", "x", "o"};
            const COLORREF colours[] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(200, 220, 255),
                                        RGB(204, 204, 204), RGB(153, 153, 153)};
            const auto found = std::find(std::begin(colours), std::end(colours), colour);
            pixels += !crisp ? "?" : found == std::end(colours) ? "!" : names[found - colours];
        }
        pixels += '\n';
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
        EXPECT_TRUE(seen) << last << "expected\n" << pixels;
    };
    Choose(folder_ / "grey");  // typed without ".bmp": opens as Convert would
    shows(8, 4, "####....\n####....\n####....\n####....\n");
    MoveTrackbarWithKeys(Window(), Item(IDC_THRESHOLD_SLIDER), 70);  // 0, 32 and 64 are dark
    shows(8, 4, "####....\n###.....\n####....\n###.....\n");
    Click(Item(IDC_INVERT));
    shows(8, 4, "....####\n...#####\n....####\n...#####\n");
    MoveTrackbarWithKeys(Window(), Item(IDC_THRESHOLD_SLIDER), 128);
    Click(Item(IDC_INVERT));
    Choose(folder_ / "clear.png");  // 3 x 1: light blue, white, dark; the fill is tinted
    shows(8, 1, "..#-----\n");
}

}  // namespace
