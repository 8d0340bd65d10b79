#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "win32/Application.h"

namespace {

// Under Wine a crash would otherwise wait in the debugger and hold CTest until its timeout.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) noexcept {
    std::fprintf(stderr, "crash: exception 0x%08lx at %p\n",
                 exception->ExceptionRecord->ExceptionCode,
                 exception->ExceptionRecord->ExceptionAddress);
    std::fflush(stderr);
    ::ExitProcess(4);
}

}  // namespace

int main(int argc, char** argv) {
    ::SetUnhandledExceptionFilter(&ReportCrash);
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    win32::RegisterCommonControls();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
