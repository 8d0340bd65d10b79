#pragma once

// The main dialog's controls as they were before the option panel was added, in tab order, as
// the resource compiler wrote them: id, class, text, style, rectangle in dialog units. The
// program's template must still begin with exactly these.
inline const wchar_t* const kOriginalControls[] = {
    L"-1 static 'I&nputfile:' 50020000 7,9,28,8",
    L"1000 edit '' 50810080 39,7,243,13",
    L"1011 button '&Browse' 50010000 292,7,50,14",
    L"-1 button 'AutoComplete' 50000007 14,23,133,56",
    L"1016 button 'Use &AutoComplete' 50010003 20,31,75,10",
    L"1013 button 'AutoComplete with &0s' 50020009 27,42,84,10",
    L"1014 button 'AutoComplete with &1s' 50020009 27,52,84,10",
    L"1017 button 'C&enter Image' 50010003 28,63,58,10",
    L"-1 button 'Width' 50000007 168,46,86,32",
    L"1008 button 'Width in B&its' 50020009 174,54,55,10",
    L"1009 button 'Width in B&ytes' 50000009 174,64,61,10",
    L"1005 button '&Convert' 50010001 273,50,50,14",
    L"1003 edit '' 50b010c4 7,84,335,147",
    L"1019 msctls_trackbar32 'Slider2' 50010018 157,32,131,12",
    L"-1 static 'Black/White Seperation' 50020000 179,24,77,8",
    L"1020 edit '' 50812080 289,31,35,14",
    L"1021 button 'C&lear' 50010000 273,64,50,14",
};
