#pragma once

// The main dialog's controls as they were before the option panel was added, in tab order, as
// the resource compiler wrote them (ids, class, text, style, rectangle in dialog units). The
// program's template must still begin with exactly these.
struct OriginalControl {
    int id;
    const wchar_t* windowClass;
    const wchar_t* text;
    unsigned long style;
    short x, y, width, height;
};

inline constexpr OriginalControl kOriginalControls[] = {
    {-1, L"Static", L"I&nputfile:", 0x50020000, 7, 9, 28, 8},
    {1000, L"Edit", L"", 0x50810080, 39, 7, 243, 13},
    {1011, L"Button", L"&Browse", 0x50010000, 292, 7, 50, 14},
    {-1, L"Button", L"AutoComplete", 0x50000007, 14, 23, 133, 56},
    {1016, L"Button", L"Use &AutoComplete", 0x50010003, 20, 31, 75, 10},
    {1013, L"Button", L"AutoComplete with &0s", 0x50020009, 27, 42, 84, 10},
    {1014, L"Button", L"AutoComplete with &1s", 0x50020009, 27, 52, 84, 10},
    {1017, L"Button", L"C&enter Image", 0x50010003, 28, 63, 58, 10},
    {-1, L"Button", L"Width", 0x50000007, 168, 46, 86, 32},
    {1008, L"Button", L"Width in B&its", 0x50020009, 174, 54, 55, 10},
    {1009, L"Button", L"Width in B&ytes", 0x50000009, 174, 64, 61, 10},
    {1005, L"Button", L"&Convert", 0x50010001, 273, 50, 50, 14},
    {1003, L"Edit", L"", 0x50b010c4, 7, 84, 335, 147},
    {1019, L"msctls_trackbar32", L"Slider2", 0x50010018, 157, 32, 131, 12},
    {-1, L"Static", L"Black/White Seperation", 0x50020000, 179, 24, 77, 8},
    {1020, L"Edit", L"", 0x50812080, 289, 31, 35, 14},
    {1021, L"Button", L"C&lear", 0x50010000, 273, 64, 50, 14},
};
