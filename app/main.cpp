#include <windows.h>

#include "ConverterApp.h"

namespace {

CConverterApp theApp;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return theApp.Run();
}
