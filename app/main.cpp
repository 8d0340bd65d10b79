#include <windows.h>

#include "ConverterApp.h"
#include "win32/DllSearch.h"

namespace {

CConverterApp theApp;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    win32::RestrictDllSearch();
    return theApp.Run();
}
