#include "Application.h"

#include <commctrl.h>

#include <exception>

#include "MessageBox.h"
#include "PixelView.h"

namespace win32 {
namespace {

Application* g_current = nullptr;

}  // namespace

Application::Application() noexcept {
    g_current = this;
}

Application::~Application() {
    if (g_current == this) {
        g_current = nullptr;
    }
}

Application* Application::Current() noexcept {
    return g_current;
}

int Application::Run() noexcept {
    RegisterCommonControls();
    try {
        Start();
        return 0;
    } catch (const std::exception& error) {
        const std::string what = error.what();
        ShowMessageBox(nullptr, L"Unexpected error: " + std::wstring(what.begin(), what.end()),
                       MB_OK | MB_ICONERROR);
    } catch (...) {
        ShowMessageBox(nullptr, L"Unexpected error.", MB_OK | MB_ICONERROR);
    }
    return 1;
}

void Application::ShowAboutBox(HWND) {}

std::wstring ApplicationName() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0) {
        name.resize(dot);
    }
    return name;
}

void RegisterCommonControls() noexcept {
    // The common controls are no KnownDLL, so the system would look for an imported copy,
    // and for the DLLs it imports in turn, beside the program first. Loaded here, after the
    // DLL search has been restricted, they come from the system alone (the manifest still
    // picks version 6). They stay loaded for the process's life, as an import would.
    using Initialise = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    if (const HMODULE library = ::LoadLibraryW(L"comctl32.dll")) {
        const auto initialise = reinterpret_cast<Initialise>(
            reinterpret_cast<void*>(::GetProcAddress(library, "InitCommonControlsEx")));
        if (initialise != nullptr) {
            INITCOMMONCONTROLSEX controls{};
            controls.dwSize = sizeof(controls);
            controls.dwICC = ICC_WIN95_CLASSES;
            initialise(&controls);
        }
    }
    RegisterPixelView();
}

}  // namespace win32
